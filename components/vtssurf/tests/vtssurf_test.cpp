#include "vtssurf.h"

#include "store_contract.h"

namespace {

struct SafeSurfTraits {
    using Record = SafeSurfSettings;
    static const char* relative() { return "db\\ssurf.dat"; }
    static const char* tag() { return "SSRF"; }
    static int init(Record* r) { return vtssurf_init(r); }
    static int read(Record* r) { return vtssurf_read(r); }
    static int write(Record* r) { return vtssurf_write(r); }
    static int regen(Record* r) { return vtssurf_regen(r); }
    static Record sample() { return Record{1, {8, 7, 6, 5, 4, 3, 2, 1, 0, 8, 1}}; }
    static void expect_factory(const Record& r) {
        EXPECT_EQ(0, r.enabled);
        for (int i = 0; i < SAFESURF_CATEGORY_COUNT; ++i) EXPECT_EQ(0, r.levels[i]) << "category " << i;
    }
    static std::vector<qf_test::Mutation<Record>> out_of_range() {
        return {
            {"enabled 2", [](Record& r) { r.enabled = 2; }},
            {"first level 9", [](Record& r) { r.levels[0] = 9; }},
            {"gambling level -1", [](Record& r) { r.levels[10] = -1; }},
            {"middle level huge", [](Record& r) { r.levels[5] = -2147483647 - 1; }},
        };
    }
};

}  // namespace

namespace qf_test {
INSTANTIATE_TYPED_TEST_SUITE_P(SafeSurf, StoreContract, SafeSurfTraits);
}
