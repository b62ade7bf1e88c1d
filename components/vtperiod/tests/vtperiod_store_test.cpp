#include "vtperiod.h"

#include "store_contract.h"

namespace {

struct PeriodTraits {
    using Record = AccessTimeTable;
    static const char* relative() { return "db\\period.dat"; }
    static const char* tag() { return "PERD"; }
    static int init(Record* r) { return vtperiod_init(r); }
    static int read(Record* r) { return vtperiod_read(r); }
    static int write(Record* r) { return vtperiod_write(r); }
    static int regen(Record* r) { return vtperiod_regen(r); }
    static Record sample() {
        Record r;
        memset(&r, 0, sizeof(r));
        r.enabled = 1;
        r.warningMinutes = 15;
        for (int day = 0; day < ACCESS_DAYS; ++day)
            for (int slot = 0; slot < ACCESS_SLOTS_PER_DAY; ++slot) r.slots[day][slot] = (day + slot) % 3 == 0;
        return r;
    }
    static void expect_factory(const Record& r) {
        EXPECT_EQ(0, r.enabled);
        EXPECT_EQ(5, r.warningMinutes);
        for (int day = 0; day < ACCESS_DAYS; ++day)
            for (int slot = 0; slot < ACCESS_SLOTS_PER_DAY; ++slot)
                EXPECT_EQ(1, r.slots[day][slot]) << "day " << day << " slot " << slot;
    }
    static std::vector<qf_test::Mutation<Record>> out_of_range() {
        return {
            {"enabled 2", [](Record& r) { r.enabled = 2; }},
            {"warning 0", [](Record& r) { r.warningMinutes = 0; }},
            {"warning 7", [](Record& r) { r.warningMinutes = 7; }},
            {"warning 20", [](Record& r) { r.warningMinutes = 20; }},
            {"slot 2 on Sunday", [](Record& r) { r.slots[0][0] = 2; }},
            {"slot -1 on Saturday night", [](Record& r) { r.slots[6][47] = -1; }},
        };
    }
};

}  // namespace

namespace qf_test {
INSTANTIATE_TYPED_TEST_SUITE_P(Period, StoreContract, PeriodTraits);
}
