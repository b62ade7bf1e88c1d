#include "termclean_span.h"

#include <vector>

#include "termscan_text.h"

namespace termclean {
namespace {

using termscan::is_space_char;
using termscan::is_word_char;

/* The pattern as a sequence read backwards: literals, one white space character, and runs that
 * may be empty (of white space after a first one, or of word characters for a wildcard). */
enum : int { kWordRun = -1, kSpaceOne = -2, kSpaceRun = -3 };

std::vector<int> elements(const termscan::Pattern& p) {
    std::vector<int> e;
    if (p.leadWild) e.push_back(kWordRun);
    for (uint16_t item : p.items) {
        if (item == termscan::kSpaceRun) {
            e.push_back(kSpaceOne);
            e.push_back(kSpaceRun);
        } else {
            e.push_back(item);
        }
    }
    if (p.trailWild) e.push_back(kWordRun);
    return e;
}

bool is_run(int element) { return element == kWordRun || element == kSpaceRun; }

/* Adds j and, through runs that may be empty, every position before it. */
void reach(const std::vector<int>& e, size_t j, std::vector<char>& set) {
    for (;;) {
        set[j] = 1;
        if (j == 0 || !is_run(e[j - 1])) return;
        --j;
    }
}

bool takes(int element, unsigned char c) {
    switch (element) {
    case kWordRun:
        return is_word_char(c);
    case kSpaceOne:
    case kSpaceRun:
        return is_space_char(c);
    default:
        return termscan::fold(c) == element;
    }
}

}  // namespace

size_t match_start(const termscan::Pattern& pattern, const unsigned char* data, size_t end, ChunkStart before) {
    const std::vector<int> e = elements(pattern);
    const size_t m = e.size();
    // A match that must begin a word: its start must follow a non-word character.
    const bool needsBoundary = pattern.leadWild || is_word_char(static_cast<unsigned char>(pattern.items.front()));
    auto boundary_at = [&](size_t x) {
        if (!needsBoundary) return true;
        if (x > 0) return !is_word_char(data[x - 1]);
        return !(before.continued && before.previousWasWord);
    };

    // Position j: elements j..m-1 have been matched by data[x, end).
    std::vector<char> current(m + 1, 0), next(m + 1, 0);
    reach(e, m, current);
    size_t x = end;
    size_t best = kNoStart;
    bool alive = true;
    for (;;) {
        if (current[0] && boundary_at(x)) best = x;
        if (!alive || x == 0) break;
        const unsigned char c = data[x - 1];
        std::fill(next.begin(), next.end(), 0);
        alive = false;
        for (size_t j = 1; j <= m; ++j) {
            if (!current[j] || !takes(e[j - 1], c)) continue;
            alive = true;
            if (is_run(e[j - 1])) reach(e, j, next);  // a run may take more
            reach(e, j - 1, next);
        }
        current.swap(next);
        --x;
    }
    if (best != kNoStart) return best;
    // Still inside the pattern at the chunk's first byte: the match began in earlier data.
    if (alive && x == 0 && before.continued) return 0;
    return kNoStart;
}

}  // namespace termclean
