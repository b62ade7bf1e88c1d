// The SafeSurf label check on any bytes: the first eleven bytes give the stored levels (-1 to 9),
// the rest is the data, in an allocation of exactly its size.
//
// Checked besides the sanitizers: the result is 0, 1 or 2; lower levels never turn a page rated
// above into one that is not; letter case changes nothing.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vtpicsssurf.h"

using qf_fuzz::check;

namespace {

int validate(const std::vector<char>& data, const int* l) {
    return vtpics_safesurf_validate(data.data(), static_cast<DWORD>(data.size()), l[0], l[1], l[2], l[3], l[4], l[5],
                                    l[6], l[7], l[8], l[9], l[10]);
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
    if (size < 11) return 0;
    int levels[11];
    for (int i = 0; i < 11; ++i) levels[i] = data[i] % 11 - 1;
    const std::vector<char> page(data + 11, data + size);

    const int result = validate(page, levels);
    check(result >= 0 && result <= 2);
    int strictest[11];
    for (int& l : strictest) l = -1;
    if (result == 2) check(validate(page, strictest) == 2);
    check(validate(with_case(page, true), levels) == result);
    check(validate(with_case(page, false), levels) == result);
    return 0;
}
