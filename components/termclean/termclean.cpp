/* termclean_process: stars out topic words and disallowed words in inbound web data.
 *
 * The same rules and compiled tables as termscan's content scans find the words. Each match is
 * replaced, from its first to its last byte (a wildcard's run included), by '*' characters; the
 * length never changes.
 *
 * Chunks. The five state words carry the automata's state from one chunk of a connection to the
 * next (words 1-2: the topic words', 3-4: the disallowed words', 5: which compilation they belong
 * to). A match that spans two chunks is found in the second, and the part of it in the second
 * chunk is cleaned: the first chunk has already gone to the program. A chunk that ends where a
 * match could end (a word that could still go on in the next chunk) is cleaned up to its end, so
 * such a word is never let through whole. State that does not fit the current tables (other
 * tables, or a table too large for one automaton) is not carried: the chunk is read as new text. */
#include "termclean.h"

#include <cstdint>
#include <new>
#include <vector>

#include "termclean_span.h"
#include "termscan_automaton.h"
#include "termscan_text.h"

using termscan::Automaton;
using termscan::Dfa;

namespace {

struct Span {
    size_t start;
    size_t end;
};

/* Spans to clean, applied once both tables are read (cleaning earlier would hide the bytes that a
 * later match must be traced back over). */
class Spans {
public:
    // A span that overlaps or touches the one added last joins it: many matches inside one long
    // word (an entry with wildcards at both ends) then cost one span, not one each.
    void add(size_t start, size_t end) {
        if (start >= end) return;
        if (Span* last = last_span()) {
            if (start <= last->end && end >= last->start) {
                if (start < last->start) last->start = start;
                if (end > last->end) last->end = end;
                return;
            }
        }
        if (used_ < kFixed)
            fixed_[used_++] = Span{start, end};
        else
            more_.push_back(Span{start, end});
    }
    void apply(char* data) const {
        for (size_t i = 0; i < used_; ++i) star(data, fixed_[i]);
        for (const Span& s : more_) star(data, s);
    }

private:
    Span* last_span() {
        if (!more_.empty()) return &more_.back();
        return used_ ? &fixed_[used_ - 1] : nullptr;
    }
    static void star(char* data, const Span& s) {
        for (size_t i = s.start; i < s.end; ++i) data[i] = '*';
    }
    static constexpr size_t kFixed = 128;
    Span fixed_[kFixed];
    size_t used_ = 0;
    std::vector<Span> more_;
};

uint32_t join(WORD low, WORD high) { return static_cast<uint32_t>(low) | static_cast<uint32_t>(high) << 16; }

/* Reads one chunk with one automaton, from `state` (a state offset), collecting the spans of its
 * matches; returns the state after the chunk. *wordGoesOn is set when a match runs to the chunk's
 * end inside a word that the next chunk may continue. */
/* The end of the run of word characters that goes on from a position. Matches come in the order
 * of the text, so the run found last is kept: a chunk that is one long word is walked once, not
 * once for every match inside it. */
class WordEnds {
public:
    size_t from(const unsigned char* data, size_t length, size_t at) {
        if (at >= start_ && at <= end_) return end_;
        start_ = end_ = at;
        while (end_ < length && termscan::is_word_char(data[end_])) ++end_;
        return end_;
    }

private:
    size_t start_ = 1, end_ = 0;  // no run yet
};

/* Where the match of a pattern that ends at a given place begins, kept for the last end of each
 * pattern (a few patterns share a slot): every match of an entry with wildcards at both ends in
 * one word ends at the word's end, and the walk back to the word's start is then made once. */
class MatchStarts {
public:
    size_t find(const termscan::Pattern& pattern, uint32_t id, const unsigned char* data, size_t end,
                termclean::ChunkStart before) {
        Slot& slot = slots_[id % kSlots];
        if (slot.id != id || slot.end != end) {
            slot.id = id;
            slot.end = end;
            slot.start = termclean::match_start(pattern, data, end, before);
        }
        return slot.start;
    }

private:
    static constexpr size_t kSlots = 64;
    struct Slot {
        uint32_t id = UINT32_MAX;
        size_t end = 0;
        size_t start = 0;
    };
    Slot slots_[kSlots];
};

uint32_t clean_part(const Automaton& automaton, const Dfa& dfa, uint32_t state, bool continued,
                    const unsigned char* data, size_t length, Spans& spans, bool* wordGoesOn) {
    const termclean::ChunkStart before{continued, continued && dfa.previous_was_word(state)};
    WordEnds wordEnds;
    MatchStarts starts;
    auto mark = [&](uint32_t pattern, size_t end) {
        const size_t start = starts.find(automaton.patterns()[pattern], pattern, data, end, before);
        if (start != termclean::kNoStart) spans.add(start, end);
    };
    for (size_t i = 0; i < length; ++i) {
        state = dfa.next(state, data[i]);
        if (dfa.accepting(state)) {
            const termscan::MatchEnd* ends;
            size_t n;
            dfa.accepts(state, &ends, &n);
            for (size_t k = 0; k < n; ++k) {
                size_t end = ends[k].endedBefore ? i : i + 1;
                if (automaton.patterns()[ends[k].pattern].trailWild && !ends[k].endedBefore) {
                    // Reported where its text ends: the match takes the rest of the word.
                    end = wordEnds.from(data, length, end);
                    if (end == length) *wordGoesOn = true;
                }
                mark(ends[k].pattern, end);
            }
        }
    }
    const uint32_t* pending;
    size_t n;
    dfa.pending(state, &pending, &n);
    for (size_t k = 0; k < n; ++k) mark(pending[k], length);
    return state;
}

/* Cleans with one table; *saved is the carried state (index + 1, 0 for none), updated. */
void clean_table(const Automaton* automaton, bool restore, uint32_t* saved, const unsigned char* data,
                 size_t length, Spans& spans, bool* wordGoesOn) {
    if (!automaton || automaton->parts().empty()) {
        *saved = 0;
        return;
    }
    const auto& parts = automaton->parts();
    if (parts.size() == 1) {
        const Dfa& dfa = *parts[0];
        const bool continued = restore && *saved != 0 && *saved <= dfa.state_count();
        const uint32_t start = continued ? dfa.state_at(*saved - 1) : dfa.start();
        const uint32_t last = clean_part(*automaton, dfa, start, continued, data, length, spans, wordGoesOn);
        *saved = dfa.index_of(last) + 1;
        return;
    }
    for (const auto& part : parts)
        clean_part(*automaton, *part, part->start(), false, data, length, spans, wordGoesOn);
    *saved = 0;
}

}  // namespace

extern "C" int termclean_process(char* data, DWORD length, const TermSlot* topics, INT topicCount,
                                 const TermSlot* words, INT wordCount, WORD port, WORD* state1, WORD* state2,
                                 WORD* state3, WORD* state4, WORD* state5) {
    (void)port;
    if (!data || length == 0 || !state1 || !state2 || !state3 || !state4 || !state5) return 0;
    try {
        const int nTopics = topics ? termscan::usable_count(topicCount) : 0;
        const int nWords = words ? termscan::usable_count(wordCount) : 0;
        std::shared_ptr<const Automaton> a, b;
        if (nTopics) a = termscan::automaton_for(topics, nTopics, '*', termscan::Mode::Content);
        if (nWords) b = termscan::automaton_for(words, nWords, '*', termscan::Mode::Content);

        // Word 5: which compilations the carried states belong to (15 bits), and whether the
        // previous chunk ended inside a word that a match is cleaning (top bit).
        WORD tag = static_cast<WORD>(((a ? a->tag() : 0) * 31u + (b ? b->tag() : 0) * 7u + 1u) & 0x7FFF);
        if (tag == 0) tag = 1;
        const bool restore = (*state5 & 0x7FFF) == tag;
        const bool wordWentOn = restore && (*state5 & 0x8000) != 0;
        uint32_t savedA = join(*state1, *state2);
        uint32_t savedB = join(*state3, *state4);

        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        Spans spans;
        bool wordGoesOn = false;
        if (wordWentOn) {
            size_t run = 0;
            while (run < length && termscan::is_word_char(bytes[run])) ++run;
            spans.add(0, run);
            wordGoesOn = run == length;  // the whole chunk was more of that word
        }
        clean_table(a.get(), restore, &savedA, bytes, length, spans, &wordGoesOn);
        clean_table(b.get(), restore, &savedB, bytes, length, spans, &wordGoesOn);
        spans.apply(data);
        *state1 = static_cast<WORD>(savedA & 0xFFFF);
        *state2 = static_cast<WORD>(savedA >> 16);
        *state3 = static_cast<WORD>(savedB & 0xFFFF);
        *state4 = static_cast<WORD>(savedB >> 16);
        *state5 = static_cast<WORD>(tag | (wordGoesOn ? 0x8000 : 0));
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
