/* Where a match that the automaton reported begins (internal to termclean). */
#ifndef TERMCLEAN_SPAN_H
#define TERMCLEAN_SPAN_H

#include <stddef.h>

#include "termscan_pattern.h"

namespace termclean {

/* What precedes the chunk: nothing (the connection's first data, or state that could not be
 * restored), or earlier data whose last byte was or was not a word character. */
struct ChunkStart {
    bool continued;
    bool previousWasWord;
};

constexpr size_t kNoStart = static_cast<size_t>(-1);

/* The first byte of the match of `pattern` that ends just before data[end]: the earliest start
 * that the pattern and its boundaries allow, with a wildcard's run taken whole. 0 when the match
 * runs on into the previous chunk; kNoStart when there is no such match. */
size_t match_start(const termscan::Pattern& pattern, const unsigned char* data, size_t end, ChunkStart before);

}  // namespace termclean

#endif
