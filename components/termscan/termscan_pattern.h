/* List entries turned into match patterns (internal to termscan/termclean). */
#ifndef TERMSCAN_PATTERN_H
#define TERMSCAN_PATTERN_H

#include <stdint.h>

#include <vector>

#include "termscan.h"

namespace termscan {

/* A pattern item: a folded byte (0-255) or a run of one or more white space characters. */
constexpr uint16_t kSpaceRun = 256;

enum class Mode : uint8_t {
    Content,  // words on word boundaries; '*' at an end matches the rest of the word
    Name,     // inside a host name: the entry (without its '*') anywhere
};

struct Pattern {
    std::vector<uint16_t> items;  // never empty; no two white space runs in a row
    bool leadWild = false;        // the entry began with the wildcard
    bool trailWild = false;       // the entry ended with the wildcard
    bool needLeft = false;        // a non-word character (or the text start) must precede it
    bool needRight = false;       // a non-word character (or the text end) must follow it
};

/* Reads one slot. False for an entry that can match nothing (empty, only white space or only
 * wildcards). The wildcard is only recognised at the ends; inside an entry it is an ordinary
 * character. */
bool parse_entry(const char* slot, char wildcard, Mode mode, Pattern& out);

/* Every usable entry of the table once (identical patterns are merged, so an occurrence is
 * counted once however often the table lists it). */
std::vector<Pattern> parse_table(const TermSlot* table, int count, char wildcard, Mode mode);

}  // namespace termscan

#endif
