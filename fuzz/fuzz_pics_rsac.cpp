// The RSACi label check on any bytes: the first four bytes give the limits S, V, N, L (-1 to 5),
// the rest is the data, in an allocation of exactly its size.
//
// Checked besides the sanitizers: the result is 0, 1 or 2; lower limits never turn a page rated
// above into one that is not; letter case changes nothing (every keyword, name and the service
// compare without it).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    int limits[4];
    for (int i = 0; i < 4; ++i) limits[i] = data[i] % 7 - 1;
    const std::vector<char> page(data + 4, data + size);

    const int result = validate(page, limits);
    check(result >= 0 && result <= 2);
    const int strictest[4] = {-1, -1, -1, -1};
    if (result == 2) check(validate(page, strictest) == 2);
    check(validate(with_case(page, true), limits) == result);
    check(validate(with_case(page, false), limits) == result);
    return 0;
}
