#include "termscan_pattern.h"

#include <string.h>

#include <string>
#include <unordered_set>

#include "termscan_text.h"

namespace termscan {

size_t slot_length(const char* slot) {
    const void* end = memchr(slot, '\0', TERMSCAN_SLOT_SIZE - 1);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - slot) : TERMSCAN_SLOT_SIZE - 1;
}

bool parse_entry(const char* slot, char wildcard, Mode mode, Pattern& out) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(slot);
    size_t begin = 0;
    size_t end = slot_length(slot);
    const unsigned char wild = static_cast<unsigned char>(wildcard);
    bool leadWild = false;
    bool trailWild = false;
    // Surrounding white space and wildcards, in any mix, are trimmed; a wildcard among them marks
    // its end of the entry.
    for (;;) {
        if (begin < end && is_space_char(text[begin])) {
            ++begin;
        } else if (wild != 0 && begin < end && text[begin] == wild) {
            leadWild = true;
            ++begin;
        } else {
            break;
        }
    }
    for (;;) {
        if (end > begin && is_space_char(text[end - 1])) {
            --end;
        } else if (wild != 0 && end > begin && text[end - 1] == wild) {
            trailWild = true;
            --end;
        } else {
            break;
        }
    }
    if (begin == end) return false;

    out = Pattern();
    for (size_t i = begin; i < end; ++i) {
        if (is_space_char(text[i])) {
            if (out.items.back() != kSpaceRun) out.items.push_back(kSpaceRun);
        } else {
            out.items.push_back(fold(text[i]));
        }
    }
    if (mode == Mode::Content) {
        out.leadWild = leadWild;
        out.trailWild = trailWild;
        // A leading wildcard stands for the start of the word, so the entry may begin anywhere
        // inside a word; without it a word-character start needs a boundary before it.
        out.needLeft = !leadWild && is_word_char(static_cast<unsigned char>(out.items.front()));
        out.needRight = trailWild || is_word_char(static_cast<unsigned char>(out.items.back()));
    }
    return true;
}

std::vector<Pattern> parse_table(const TermSlot* table, int count, char wildcard, Mode mode) {
    std::vector<Pattern> patterns;
    std::unordered_set<std::string> seen;
    Pattern pattern;
    for (int i = 0; i < count; ++i) {
        if (!parse_entry(table[i], wildcard, mode, pattern)) continue;
        std::string key;
        key.reserve(pattern.items.size() * 2 + 2);
        key.push_back(static_cast<char>(pattern.leadWild | pattern.trailWild << 1));
        for (uint16_t item : pattern.items) {
            key.push_back(static_cast<char>(item & 0xFF));
            key.push_back(static_cast<char>(item >> 8));
        }
        if (seen.insert(key).second) patterns.push_back(pattern);
    }
    return patterns;
}

}  // namespace termscan
