/* Deterministic automaton over a set of patterns (internal to termscan/termclean).
 *
 * The automaton reads one byte at a time through a class table (bytes that every pattern treats
 * alike share a class) and a transition table, so a scan costs the same per byte whatever the
 * number of patterns. States are numbered so that every state in which a match ends lies at or
 * above `acceptBase`; the scan loop only looks further at those. A match that needs a word boundary
 * after it is reported on the byte that follows it (or, at the end of the text, through
 * `endCount`). */
#ifndef TERMSCAN_DFA_H
#define TERMSCAN_DFA_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <vector>

#include "termscan_pattern.h"

namespace termscan {

/* One match ending in a state: the pattern and whether it ended on the byte before the one just
 * read (a boundary had to be seen) rather than on that byte. An entry with a trailing wildcard is
 * reported where its text (without the wildcard) ends; the rest of the word belongs to the match. */
struct MatchEnd {
    uint32_t pattern;
    bool endedBefore;
};

class Dfa {
public:
    /* Builds the automaton for patterns[ids]; null when it would exceed `maxCells` transitions. */
    static std::unique_ptr<Dfa> build(const std::vector<Pattern>& patterns, const std::vector<uint32_t>& ids,
                                      size_t maxCells);

    /* States are handed around as offsets into the transition table (index * stride). */
    uint32_t start() const { return startAtBoundary_; }
    uint32_t fresh_after(unsigned char previous) const;
    uint32_t next(uint32_t state, unsigned char byte) const { return table_[state + classes_[byte]]; }
    bool accepting(uint32_t state) const { return state >= acceptBase_; }
    uint32_t accept_count(uint32_t state) const { return acceptCount_[(state - acceptBase_) / stride_]; }
    uint32_t end_count(uint32_t state) const { return endCount_[state / stride_]; }

    /* Counts the matches in data[0, length) read from the start of a text. */
    uint64_t count(const unsigned char* data, size_t length) const;

    /* For the cleaner: state numbers (0 .. state_count()-1) and the match details. */
    uint32_t state_count() const { return stateCount_; }
    uint32_t index_of(uint32_t state) const { return state / stride_; }
    uint32_t state_at(uint32_t index) const { return index * stride_; }
    bool previous_was_word(uint32_t state) const { return previousWord_[state / stride_] != 0; }
    void accepts(uint32_t state, const MatchEnd** first, size_t* n) const;
    void pending(uint32_t state, const uint32_t** first, size_t* n) const;
    size_t memory_bytes() const;

private:
    Dfa() = default;
    uint64_t count_run(uint32_t state, const unsigned char* data, size_t length, uint32_t* last) const;

    uint8_t classes_[256] = {};
    uint32_t stride_ = 1;
    uint32_t stateCount_ = 0;
    uint32_t acceptBase_ = 0;
    uint32_t startAtBoundary_ = 0;
    uint32_t startInWord_ = 0;
    std::vector<uint32_t> table_;
    std::vector<uint32_t> acceptCount_;  // per accepting state, from acceptBase
    std::vector<uint32_t> endCount_;     // per state: matches that end with the text
    std::vector<uint8_t> previousWord_;  // per state: the byte read last was a word character
    std::vector<uint32_t> acceptOffsets_;
    std::vector<MatchEnd> acceptList_;
    std::vector<uint32_t> pendingOffsets_;
    std::vector<uint32_t> pendingList_;
};

}  // namespace termscan

#endif
