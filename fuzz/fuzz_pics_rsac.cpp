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

#include "fuzz_check.h"
#include "fuzz_pics_label.h"
#include "vtpicsrsac.h"

using qf_fuzz::check;

namespace {

int validate(const std::vector<char>& data, const int* limits) {
    return vtpics_rsac_validate(data.data(), static_cast<DWORD>(data.size()), limits[0], limits[1], limits[2],
                                limits[3]);
}

std::vector<char> with_case(const std::vector<char>& data, bool upper) {
    std::vector<char> out(data);
    for (char& c : out) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
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
    if (size < 4) return 0;
    int limits[4];
    for (int i = 0; i < 4; ++i) limits[i] = data[i] % 7 - 1;
    std::vector<char> page(data + 4, data + size);
    if (data[0] & 0x80) {
        FuzzedDataProvider input(data + 4, size - 4);
        int expected = 0;
        std::vector<char> label = written_label(input, limits, &expected);
        check(validate(label, limits) == expected);
        const std::string rest = input.ConsumeRemainingBytesAsString();
        label.insert(label.end(), rest.begin(), rest.end());
        const int withRest = validate(label, limits);
        check(withRest == expected || withRest == 2);
        page = label;
    }

    const int result = validate(page, limits);
    check(result >= 0 && result <= 2);
    const int strictest[4] = {-1, -1, -1, -1};
    if (result == 2) check(validate(page, strictest) == 2);
    check(validate(with_case(page, true), limits) == result);
    check(validate(with_case(page, false), limits) == result);
    return 0;
}
