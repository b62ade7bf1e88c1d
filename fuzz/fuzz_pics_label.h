// PICS-1.1 labels written in the ways pages write them, for the two rating check targets: in a
// META tag (either quote style) or a header line, with long or short keywords, in any letter case;
// and the checks both targets make on a verdict.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"

namespace qf_fuzz {

inline std::string flip_case(std::string text, uint8_t how) {
    for (size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        const bool up = (how >> (i % 8)) & 1;
        if (up && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (!up && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

// A label of service with the given (category, value text) ratings, shaped by the input.
inline std::string pics_label(FuzzedDataProvider& input, const std::string& service,
                              const std::vector<std::pair<std::string, std::string>>& ratings) {
    const uint8_t style = input.ConsumeIntegral<uint8_t>();
    const bool meta = style & 1;
    const bool singleQuoted = style & 2;
    std::string list = "(";
    for (const auto& rating : ratings)
        list += flip_case(rating.first, input.ConsumeIntegral<uint8_t>()) + " " + rating.second + " ";
    list.back() = ')';
    // Inside a META content value in double quotes, the label's own quotes are written &quot;.
    const std::string quote = meta && !singleQuoted ? "&quot;" : "\"";
    std::string url = flip_case(service, input.ConsumeIntegral<uint8_t>());
    if (style & 4) {
        // The same service with or without its trailing slash.
        if (url.back() == '/')
            url.pop_back();
        else
            url += '/';
    }
    const std::string label = "(" + flip_case("PICS-1.1", style) + " " + quote + url + quote +
                              ((style & 8) ? " labels " : " l ") + ((style & 16) ? "on " + quote + "1997.01.01T00:00-0000" + quote + " " : "") +
                              ((style & 32) ? "ratings " : "r ") + list + ")";
    if (!meta) return flip_case("PICS-Label", style >> 2) + ":" + ((style & 64) ? "\r\n " : " ") + label + "\r\n";
    const char q = singleQuoted ? '\'' : '"';
    return "<" + flip_case("meta", style >> 3) + " http-equiv=" + q + flip_case("PICS-Label", style >> 4) + q +
           " content=" + q + label + q + ">";
}

inline std::vector<char> with_case(const std::vector<char>& data, bool upper) {
    std::vector<char> out(data);
    for (char& c : out) {
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

// One fuzz input for a rating check with N limits: the first N bytes give the limits (-1 to
// levelCount - 2), the rest is the data. validate(data, limits) runs the check;
// written_label(input, limits, &expected) writes a label from the input and its verdict.
template <int N, class Validate, class WrittenLabel>
int pics_fuzz_one(const uint8_t* data, size_t size, int levelCount, Validate validate, WrittenLabel written_label) {
    if (size < N) return 0;
    int limits[N];
    for (int i = 0; i < N; ++i) limits[i] = data[i] % levelCount - 1;
    std::vector<char> page(data + N, data + size);
    if (data[0] & 0x80) {
        FuzzedDataProvider input(data + N, size - N);
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
    int strictest[N];
    for (int& l : strictest) l = -1;
    if (result == 2) check(validate(page, strictest) == 2);
    check(validate(with_case(page, true), limits) == result);
    check(validate(with_case(page, false), limits) == result);
    return 0;
}

}  // namespace qf_fuzz
