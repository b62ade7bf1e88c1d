// The RSACi label check on any bytes: the first four bytes give the limits S, V, N, L (-1 to 5),
// the rest is the data, in an allocation of exactly its size. When the first byte's top bit is
// set, the data is a label written from the input (values, order, keywords, quotes, case) and
// followed by the rest of the input.
//
// Checked besides the sanitizers: the result is 0, 1 or 2; lower limits never turn a page rated
// above into one that is not; letter case changes nothing (every keyword, name and the service
// compare without it); a written label gives 2 exactly when one of its values (rounded up) is
// above its limit, and data after it can only add an objection.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_pics_label.h"
#include "vtpicsrsac.h"


namespace {

int validate(const std::vector<char>& data, const int* limits) {
    return vtpics_rsac_validate(data.data(), static_cast<DWORD>(data.size()), limits[0], limits[1], limits[2],
                                limits[3]);
}


// A label of the four categories in an order and with values from the input; its verdict.
std::vector<char> written_label(FuzzedDataProvider& input, const int* limits, int* expected) {
    // Categories in the order of the limits: S, V, N, L.
    const char* const names[4] = {"s", "v", "n", "l"};
    std::vector<std::pair<std::string, std::string>> ratings;
    bool above = false;
    for (int i = 0; i < 4; ++i) {
        const uint8_t v = input.ConsumeIntegral<uint8_t>();
        const int whole = v % 6;
        const bool half = (v & 0x40) != 0;
        const int level = whole + (half ? 1 : 0);  // 2.5 counts as 3
        above = above || level > limits[i];
        ratings.emplace_back(names[i], std::to_string(whole) + (half ? ".5" : ""));
    }
    const uint8_t order = input.ConsumeIntegral<uint8_t>();
    for (int i = 3; i > 0; --i) std::swap(ratings[i], ratings[(order >> (2 * i)) % (i + 1)]);
    const std::string label = qf_fuzz::pics_label(input, "http://www.rsac.org/ratingsv01.html", ratings);
    *expected = above ? 2 : 1;
    return std::vector<char>(label.begin(), label.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qf_fuzz::pics_fuzz_one<4>(data, size, 7, validate, written_label);
}
