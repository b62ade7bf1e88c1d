#include "vtfw.h"

#include "store_contract.h"

namespace {

struct ProtocolTraits {
    using Record = ProtocolRuleTable;
    static const char* relative() { return "db\\fw.dat"; }
    static const char* tag() { return "PRFW"; }
    static int init(Record* r) { return vtfw_init(r); }
    static int read(Record* r) { return vtfw_read(r); }
    static int write(Record* r) { return vtfw_write(r); }
    static int regen(Record* r) { return vtfw_regen(r); }

    // All twenty rules in use, names of every length up to 29 characters.
    static Record sample() {
        Record r;
        memset(&r, 0, sizeof(r));
        r.count = PROTOCOL_RULE_CAPACITY;
        for (int i = 0; i < PROTOCOL_RULE_CAPACITY; ++i) {
            r.rules[i].port = i == 0 ? 0 : (i == 1 ? 65535 : 1000 + i);
            memset(r.rules[i].name, 'a' + i, (size_t)(i + 10 > 29 ? 29 : i + 10));
            r.rules[i].blocked = i % 2;
        }
        return r;
    }

    static void expect_factory(const Record& r) {
        struct Rule {
            int port;
            const char* name;
        };
        const Rule expected[] = {
            {80, "World Wide Web (HTTP)"}, {25, "Electronic mail (e-mail)"}, {119, "News (NNTP)"}, {6667, "Chat (IRC)"},
            {21, "File transfer (FTP)"},   {23, "Telnet"},                   {443, "Secure sockets (SSL)"},
        };
        ASSERT_EQ(7, r.count);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(expected[i].port, r.rules[i].port);
            EXPECT_STREQ(expected[i].name, r.rules[i].name);
            EXPECT_EQ(0, r.rules[i].blocked) << "factory rules block nothing";
        }
        for (int i = 7; i < PROTOCOL_RULE_CAPACITY; ++i) {
            EXPECT_EQ(-1, r.rules[i].port);
            EXPECT_STREQ("", r.rules[i].name);
            EXPECT_EQ(0, r.rules[i].blocked);
        }
    }

    static std::vector<qf_test::Mutation<Record>> out_of_range() {
        return {
            {"count 21", [](Record& r) { r.count = 21; }},
            {"count -1", [](Record& r) { r.count = -1; }},
            {"port 65536", [](Record& r) { r.rules[3].port = 65536; }},
            {"port -1 in use", [](Record& r) { r.rules[19].port = -1; }},
            {"blocked 2", [](Record& r) { r.rules[0].blocked = 2; }},
            {"name without terminator", [](Record& r) { memset(r.rules[7].name, 'x', PROTOCOL_NAME_SIZE); }},
            {"unused name without terminator",
             [](Record& r) {
                 r.count = 2;
                 memset(r.rules[15].name, 'x', PROTOCOL_NAME_SIZE);
             }},
        };
    }
};

}  // namespace

namespace qf_test {
INSTANTIATE_TYPED_TEST_SUITE_P(Protocols, StoreContract, ProtocolTraits);
}

TEST(VtfwStore, ReservedBytesAreStoredAsZero) {
    qf_test::StoreRoot root;
    ProtocolRuleTable table = ProtocolTraits::sample();
    for (ProtocolRule& rule : table.rules) memset(rule.reserved, 0xEE, sizeof(rule.reserved));
    ASSERT_EQ(1, vtfw_write(&table));
    ProtocolRuleTable read;
    ASSERT_EQ(1, vtfw_read(&read));
    ProtocolRuleTable expected = ProtocolTraits::sample();
    EXPECT_EQ(0, memcmp(&expected, &read, sizeof(read)));
}
