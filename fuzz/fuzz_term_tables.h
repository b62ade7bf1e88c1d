// Small hostile list tables for the termscan and termclean targets, and a plain matcher written
// from the rules in termscan.h to compare the compiled automata with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "termscan.h"

namespace qf_fuzz {

// Bytes that make matches likely: letters in both cases, white space, the wildcard, word
// separators and a byte above 0x7F.
inline std::string narrow(const std::string& in) {
    static const char kAlphabet[] = {'a', 'b', 'A', ' ', '*', '-', '.', '\t', '\n', 'c', '\xE9', '\0'};
    std::string out(in);
    for (char& c : out) c = kAlphabet[static_cast<unsigned char>(c) % sizeof kAlphabet];
    return out;
}

// A table of exactly its entries' slots, so that a read past the last slot is caught. An entry of
// 180 bytes or more fills its slot without a terminator.
struct FuzzTable {
    std::unique_ptr<TermSlot[]> slots;
    INT count = 0;

    FuzzTable(FuzzedDataProvider& input, bool narrowed, int maxEntries) {
        count = input.ConsumeIntegralInRange<INT>(0, maxEntries);
        slots.reset(new TermSlot[count ? count : 1]);
        memset(slots.get(), 0, sizeof(TermSlot) * (count ? count : 1));
        for (INT i = 0; i < count; ++i) {
            std::string entry = input.ConsumeRandomLengthString(200);
            if (narrowed) entry = narrow(entry);
            memcpy(slots[i], entry.data(), entry.size() < sizeof(TermSlot) ? entry.size() : sizeof(TermSlot));
        }
    }
    const TermSlot* get() const { return slots.get(); }
};

inline bool word_char(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}
inline bool space_char(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline unsigned char fold_char(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// One entry as the rules read it: folded literals, -1 for a run of white space, and whether a
// wildcard stood at either end.
struct RefEntry {
    std::vector<int> items;
    bool lead = false;
    bool trail = false;
    bool operator<(const RefEntry& o) const {
        if (items != o.items) return items < o.items;
        if (lead != o.lead) return lead < o.lead;
        return trail < o.trail;
    }
};

inline bool ref_parse(const char* slot, char wildcard, RefEntry& out) {
    size_t end = 0;
    while (end < TERMSCAN_SLOT_SIZE - 1 && slot[end] != '\0') ++end;
    size_t begin = 0;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(slot);
    const unsigned char wild = static_cast<unsigned char>(wildcard);
    out = RefEntry();
    while (begin < end && (space_char(s[begin]) || (wild && s[begin] == wild))) out.lead |= s[begin++] == wild;
    while (end > begin && (space_char(s[end - 1]) || (wild && s[end - 1] == wild))) out.trail |= s[--end] == wild;
    if (begin == end) return false;
    for (size_t i = begin; i < end; ++i) {
        if (space_char(s[i])) {
            if (out.items.back() != -1) out.items.push_back(-1);
        } else {
            out.items.push_back(fold_char(s[i]));
        }
    }
    return true;
}

// A match in content: the entry's text runs from start to textEnd; with the wildcards' runs of
// word characters it covers start..end.
struct RefMatch {
    size_t start, textEnd, end;
};

// Every match of every entry in content, by the rules of ref_count below, from each place where
// one may begin.
inline std::vector<RefMatch> ref_matches(const TermSlot* table, int count, const unsigned char* text, size_t n) {
    std::vector<RefMatch> found;
    for (int i = 0; i < count; ++i) {
        RefEntry e;
        if (!ref_parse(table[i], '*', e)) continue;
        const bool needLeft = !e.lead && word_char(static_cast<unsigned char>(e.items.front()));
        const bool needRight = !e.trail && word_char(static_cast<unsigned char>(e.items.back()));
        for (size_t t = 0; t < n; ++t) {
            if (needLeft && t > 0 && word_char(text[t - 1])) continue;
            size_t u = t;
            bool ok = true;
            for (int item : e.items) {
                if (item == -1) {
                    ok = u < n && space_char(text[u]);
                    while (u < n && space_char(text[u])) ++u;
                } else {
                    ok = u < n && fold_char(text[u]) == item;
                    ++u;
                }
                if (!ok) break;
            }
            if (!ok || (needRight && u < n && word_char(text[u]))) continue;
            RefMatch m{t, u, u};
            if (e.lead)
                while (m.start > 0 && word_char(text[m.start - 1])) --m.start;
            if (e.trail)
                while (m.end < n && word_char(text[m.end])) ++m.end;
            found.push_back(m);
        }
    }
    return found;
}

// Counts the matches of the table's distinct entries in text: for each entry, the number of
// distinct places where a match of it ends. Content: an entry that begins (ends) with a word
// character needs a non-word character or the text's edge before (after) it, unless a wildcard
// stands there; a trailing wildcard's match counts where the entry's text ends. Names: the
// entry without its wildcards anywhere.
inline uint64_t ref_count(const TermSlot* table, int count, char wildcard, bool name, const unsigned char* text,
                          size_t n) {
    std::set<RefEntry> entries;
    for (int i = 0; i < count; ++i) {
        RefEntry e;
        if (!ref_parse(table[i], wildcard, e)) continue;
        if (name) e.lead = e.trail = false;
        entries.insert(e);
    }
    uint64_t total = 0;
    for (const RefEntry& e : entries) {
        const bool needLeft = !name && !e.lead && word_char(static_cast<unsigned char>(e.items.front()));
        const bool needRight = !name && !e.trail && e.items.back() >= 0 && word_char(static_cast<unsigned char>(e.items.back()));
        std::set<size_t> ends;
        for (size_t t = 0; t < n; ++t) {
            if (needLeft && t > 0 && word_char(text[t - 1])) continue;
            size_t u = t;
            bool ok = true;
            for (int item : e.items) {
                if (item == -1) {
                    ok = u < n && space_char(text[u]);
                    while (u < n && space_char(text[u])) ++u;
                } else {
                    ok = u < n && fold_char(text[u]) == item;
                    ++u;
                }
                if (!ok) break;
            }
            if (!ok) continue;
            if (needRight && u < n && word_char(text[u])) continue;
            ends.insert(u);
        }
        total += ends.size();
    }
    return total;
}

}  // namespace qf_fuzz
