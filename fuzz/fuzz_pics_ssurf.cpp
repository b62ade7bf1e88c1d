// The SafeSurf label check on any bytes: the first eleven bytes give the stored levels (-1 to 9),
// the rest is the data, in an allocation of exactly its size. When the first byte's top bit is
// set, the data is a label written from the input (categories, values, keywords, quotes, case)
// and followed by the rest of the input.
//
// Checked besides the sanitizers: the result is 0, 1 or 2; lower levels never turn a page rated
// above into one that is not; letter case changes nothing; a written label gives 2 exactly when
// one of its values is above its category's stored level plus one, and data after it can only
// add an objection.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_pics_label.h"
#include "vtpicsssurf.h"


namespace {

int validate(const std::vector<char>& data, const int* l) {
    return vtpics_safesurf_validate(data.data(), static_cast<DWORD>(data.size()), l[0], l[1], l[2], l[3], l[4], l[5],
                                    l[6], l[7], l[8], l[9], l[10]);
}


// A label of some of the eleven categories, in an order and with page levels (1 to 9) from the
// input; its verdict against the stored levels.
std::vector<char> written_label(FuzzedDataProvider& input, const int* levels, int* expected) {
    static const char* const names[11] = {"SS~~000", "SS~~001", "SS~~002", "SS~~003", "SS~~004", "SS~~005",
                                          "SS~~006", "SS~~007", "SS~~008", "SS~~009", "SS~~00A"};
    std::vector<std::pair<std::string, std::string>> ratings;
    bool above = false;
    const int n = input.ConsumeIntegralInRange<int>(1, 6);
    for (int i = 0; i < n; ++i) {
        const int category = input.ConsumeIntegralInRange<int>(0, 10);
        const int page = input.ConsumeIntegralInRange<int>(1, 9);
        above = above || page > levels[category] + 1;
        ratings.emplace_back(names[category], std::to_string(page));
    }
    const std::string label = qf_fuzz::pics_label(input, "http://www.classify.org/safesurf/", ratings);
    *expected = above ? 2 : 1;
    return std::vector<char>(label.begin(), label.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qf_fuzz::pics_fuzz_one<11>(data, size, 11, validate, written_label);
}
