#include "vtrsac.h"

#include "store_contract.h"

namespace {

struct RsacTraits {
    using Record = RsacSettings;
    static const char* relative() { return "db\\rsac.dat"; }
    static const char* tag() { return "RSAC"; }
    static int init(Record* r) { return vtrsac_init(r); }
    static int read(Record* r) { return vtrsac_read(r); }
    static int write(Record* r) { return vtrsac_write(r); }
    static int regen(Record* r) { return vtrsac_regen(r); }
    static Record sample() { return Record{1, 4, 3, 2, 1}; }
    static void expect_factory(const Record& r) {
        EXPECT_EQ(0, r.enabled);
        EXPECT_EQ(0, r.sexLevel);
        EXPECT_EQ(0, r.violenceLevel);
        EXPECT_EQ(0, r.languageLevel);
        EXPECT_EQ(0, r.nudityLevel);
    }
    static std::vector<qf_test::Mutation<Record>> out_of_range() {
        return {
            {"enabled 2", [](Record& r) { r.enabled = 2; }},
            {"enabled -1", [](Record& r) { r.enabled = -1; }},
            {"sex level 5", [](Record& r) { r.sexLevel = 5; }},
            {"violence level -1", [](Record& r) { r.violenceLevel = -1; }},
            {"language level 5", [](Record& r) { r.languageLevel = 5; }},
            {"nudity level huge", [](Record& r) { r.nudityLevel = 0x7FFFFFFF; }},
        };
    }
};

}  // namespace

namespace qf_test {
INSTANTIATE_TYPED_TEST_SUITE_P(Rsac, StoreContract, RsacTraits);
}
