// PICS-1.1 labels written in the ways pages write them, for the two rating check targets: in a
// META tag (either quote style) or a header line, with long or short keywords, in any letter case.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

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

}  // namespace qf_fuzz
