#include "termscan_dfa.h"

#include <stdint.h>

#include <algorithm>
#include <unordered_map>

#include "termscan_text.h"

#include <qfportable.h>

namespace termscan {
namespace {

/* Positions of the pattern automaton before determinisation, as 32-bit codes: the kind in the top
 * three bits, a trie node or a pattern number below. */
enum Kind : uint32_t {
    kNode = 0,        // inside a pattern: a node of one of the two prefix tries
    kPendingOnce = 1, // pattern complete; the next byte must not be a word character
    kAcceptNow = 2,   // the pattern ended on the byte just read
    kAcceptBefore = 3 // the pattern ended on the byte before (a boundary has just been seen)
};
constexpr uint32_t kIdMask = (1u << 29) - 1;
inline uint32_t code(Kind kind, uint32_t id) { return (static_cast<uint32_t>(kind) << 29) | id; }
inline Kind kind_of(uint32_t c) { return static_cast<Kind>(c >> 29); }
inline uint32_t id_of(uint32_t c) { return c & kIdMask; }

/* Node 0 roots the patterns that may start anywhere, node 1 those that need a boundary first. */
struct Trie {
    struct Node {
        std::vector<std::pair<uint16_t, uint32_t>> next;
        std::vector<uint32_t> ends;  // patterns that are complete here
        bool spaceLoop = false;      // reached through a white space run, which may go on
    };
    std::vector<Node> nodes{2};

    uint32_t child(uint32_t node, uint16_t item) const {
        for (const auto& edge : nodes[node].next)
            if (edge.first == item) return edge.second;
        return 0;  // no node has the root as a child, so 0 means "none"
    }
    void add(const Pattern& pattern, uint32_t id) {
        uint32_t node = pattern.needLeft ? 1 : 0;
        for (uint16_t item : pattern.items) {
            uint32_t next = child(node, item);
            if (next == 0) {
                next = static_cast<uint32_t>(nodes.size());
                nodes[node].next.emplace_back(item, next);
                nodes.emplace_back();
                nodes.back().spaceLoop = item == kSpaceRun;
            }
            node = next;
        }
        nodes[node].ends.push_back(id);
    }
};

struct ClassInfo {
    int lit;  // the folded byte when some pattern names it, else -1
    bool word;
    bool space;
};

struct Builder {
    const std::vector<Pattern>& patterns;
    Trie trie;
    std::vector<ClassInfo> classes;

    void enter(uint32_t node, std::vector<uint32_t>& out) const {
        const Trie::Node& n = trie.nodes[node];
        if (!n.next.empty() || n.spaceLoop) out.push_back(code(kNode, node));
        for (uint32_t id : n.ends) {
            const Pattern& p = patterns[id];
            // With a trailing wildcard the word's end is bound to come (a non-word byte or the
            // text's end), so the match counts where its text ends. Waiting for the word's end
            // would make the automaton remember every such entry seen in the current word, which
            // multiplies its states beyond any bound.
            if (!p.needRight || p.trailWild)
                out.push_back(code(kAcceptNow, id));
            else
                out.push_back(code(kPendingOnce, id));
        }
    }

    void step(uint32_t c, const ClassInfo& cls, std::vector<uint32_t>& out) const {
        const uint32_t id = id_of(c);
        switch (kind_of(c)) {
        case kNode: {
            if (trie.nodes[id].spaceLoop && cls.space) out.push_back(c);
            const int item = cls.space ? kSpaceRun : cls.lit;
            if (item >= 0) {
                uint32_t next = trie.child(id, static_cast<uint16_t>(item));
                if (next != 0) enter(next, out);
            }
            break;
        }
        case kPendingOnce:
            if (!cls.word) out.push_back(code(kAcceptBefore, id));
            break;
        default:
            break;
        }
    }
};

struct KeyHash {
    size_t operator()(const std::vector<uint32_t>& key) const {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t v : key) h = (h ^ v) * 1099511628211ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

}  // namespace

std::unique_ptr<Dfa> Dfa::build(const std::vector<Pattern>& patterns, const std::vector<uint32_t>& ids,
                                size_t maxCells) {
    Builder b{patterns, Trie(), {}};
    bool used[256] = {};
    for (uint32_t id : ids) {
        b.trie.add(patterns[id], id);
        for (uint16_t item : patterns[id].items)
            if (item < 256) used[item] = true;
    }

    std::unique_ptr<Dfa> dfa(new Dfa());
    {
        std::unordered_map<int, uint8_t> classOf;
        for (int byte = 0; byte < 256; ++byte) {
            const unsigned char c = static_cast<unsigned char>(byte);
            const ClassInfo info{used[fold(c)] ? fold(c) : -1, is_word_char(c), is_space_char(c)};
            const int key = (info.lit + 1) | info.word << 9 | info.space << 10;
            auto it = classOf.find(key);
            if (it == classOf.end()) {
                it = classOf.emplace(key, static_cast<uint8_t>(b.classes.size())).first;
                b.classes.push_back(info);
            }
            dfa->classes_[byte] = it->second;
        }
    }
    const size_t nc = b.classes.size();
    // Each trie node with a way on is in a state of its own: a table that cannot fit is refused
    // without building.
    if (b.trie.nodes.size() * nc > maxCells) return nullptr;

    // What the two roots lead to on each class: added to every state, the boundary root's only
    // where the byte before was not a word character.
    std::vector<std::vector<uint32_t>> fromAny(nc), fromBoundary(nc);
    for (size_t c = 0; c < nc; ++c) {
        b.step(code(kNode, 0), b.classes[c], fromAny[c]);
        b.step(code(kNode, 1), b.classes[c], fromBoundary[c]);
    }

    // Subset construction. A state is its sorted set of codes, preceded by 1 when the byte read
    // last was not a word character (or nothing has been read).
    std::vector<std::vector<uint32_t>> sets;
    std::unordered_map<std::vector<uint32_t>, uint32_t, KeyHash> index;
    auto intern = [&](const std::vector<uint32_t>& key) {
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        const uint32_t id = static_cast<uint32_t>(sets.size());
        sets.push_back(key);
        index.emplace(key, id);
        return id;
    };
    intern({1});
    intern({0});
    std::vector<uint32_t> transitions;
    std::vector<uint32_t> out;
    // Where a class leads when nothing of the state goes on: only the roots' moves remain, so the
    // target depends on the class and the boundary flag alone (most transitions are of this kind).
    std::vector<uint32_t> rootsOnly[2];
    for (int wb = 0; wb < 2; ++wb) rootsOnly[wb].assign(nc, UINT32_MAX);
    for (size_t s = 0; s < sets.size(); ++s) {
        if (sets.size() * nc > maxCells) return nullptr;
        const std::vector<uint32_t> current = sets[s];
        const int wb = current[0] ? 1 : 0;
        for (size_t c = 0; c < nc; ++c) {
            out.clear();
            out.push_back(b.classes[c].word ? 0 : 1);
            for (size_t i = 1; i < current.size(); ++i) b.step(current[i], b.classes[c], out);
            const bool rootsAlone = out.size() == 1;
            if (rootsAlone && rootsOnly[wb][c] != UINT32_MAX) {
                transitions.push_back(rootsOnly[wb][c]);
                continue;
            }
            if (wb) out.insert(out.end(), fromBoundary[c].begin(), fromBoundary[c].end());
            out.insert(out.end(), fromAny[c].begin(), fromAny[c].end());
            std::sort(out.begin() + 1, out.end());
            out.erase(std::unique(out.begin() + 1, out.end()), out.end());
            const uint32_t target = intern(out);
            if (rootsAlone) rootsOnly[wb][c] = target;
            transitions.push_back(target);
        }
    }
    index.clear();

    // Renumber: states where a match ends go last.
    const uint32_t n = static_cast<uint32_t>(sets.size());
    std::vector<uint32_t> accepts(n, 0), ends(n, 0);
    for (uint32_t s = 0; s < n; ++s)
        for (size_t i = 1; i < sets[s].size(); ++i) {
            const Kind k = kind_of(sets[s][i]);
            if (k == kAcceptNow || k == kAcceptBefore) ++accepts[s];
            if (k == kPendingOnce) ++ends[s];
        }
    std::vector<uint32_t> order;
    order.reserve(n);
    for (uint32_t s = 0; s < n; ++s)
        if (!accepts[s]) order.push_back(s);
    const uint32_t firstAccepting = static_cast<uint32_t>(order.size());
    for (uint32_t s = 0; s < n; ++s)
        if (accepts[s]) order.push_back(s);
    std::vector<uint32_t> newIndex(n);
    for (uint32_t i = 0; i < n; ++i) newIndex[order[i]] = i;

    dfa->stride_ = static_cast<uint32_t>(nc);
    dfa->stateCount_ = n;
    dfa->acceptBase_ = firstAccepting * dfa->stride_;
    dfa->startAtBoundary_ = newIndex[0] * dfa->stride_;
    dfa->startInWord_ = newIndex[1] * dfa->stride_;
    dfa->table_.resize(static_cast<size_t>(n) * nc);
    dfa->endCount_.resize(n);
    dfa->previousWord_.resize(n);
    dfa->pendingOffsets_.push_back(0);
    dfa->acceptOffsets_.push_back(0);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t s = order[i];
        for (size_t c = 0; c < nc; ++c)
            dfa->table_[static_cast<size_t>(i) * nc + c] = newIndex[transitions[s * nc + c]] * dfa->stride_;
        dfa->endCount_[i] = ends[s];
        dfa->previousWord_[i] = sets[s][0] ? 0 : 1;
        for (size_t k = 1; k < sets[s].size(); ++k) {
            const uint32_t c = sets[s][k];
            if (kind_of(c) == kPendingOnce) dfa->pendingList_.push_back(id_of(c));
        }
        dfa->pendingOffsets_.push_back(static_cast<uint32_t>(dfa->pendingList_.size()));
        if (i >= firstAccepting) {
            dfa->acceptCount_.push_back(accepts[s]);
            for (size_t k = 1; k < sets[s].size(); ++k) {
                const uint32_t c = sets[s][k];
                if (kind_of(c) == kAcceptNow || kind_of(c) == kAcceptBefore)
                    dfa->acceptList_.push_back(MatchEnd{id_of(c), kind_of(c) == kAcceptBefore});
            }
            dfa->acceptOffsets_.push_back(static_cast<uint32_t>(dfa->acceptList_.size()));
        }
    }
    return dfa;
}

uint32_t Dfa::fresh_after(unsigned char previous) const {
    return is_word_char(previous) ? startInWord_ : startAtBoundary_;
}

void Dfa::accepts(uint32_t state, const MatchEnd** first, size_t* n) const {
    if (!accepting(state)) {
        *first = nullptr;
        *n = 0;
        return;
    }
    const uint32_t i = (state - acceptBase_) / stride_;
    *first = acceptList_.data() + acceptOffsets_[i];
    *n = acceptOffsets_[i + 1] - acceptOffsets_[i];
}

void Dfa::pending(uint32_t state, const uint32_t** first, size_t* n) const {
    const uint32_t i = state / stride_;
    *first = pendingList_.data() + pendingOffsets_[i];
    *n = pendingOffsets_[i + 1] - pendingOffsets_[i];
}

size_t Dfa::memory_bytes() const {
    return sizeof(*this) + table_.size() * 4 + acceptCount_.size() * 4 + endCount_.size() * 4 + previousWord_.size() +
           acceptOffsets_.size() * 4 + acceptList_.size() * sizeof(MatchEnd) + pendingOffsets_.size() * 4 +
           pendingList_.size() * 4;
}

uint64_t Dfa::count_run(uint32_t state, const unsigned char* data, size_t length, uint32_t* last) const {
    const uint32_t* table = table_.data();
    const uint32_t base = acceptBase_;
    uint64_t total = 0;
    for (size_t i = 0; i < length; ++i) {
        state = table[state + classes_[data[i]]];
        if (QF_UNLIKELY(state >= base)) total += accept_count(state);
    }
    *last = state;
    return total;
}

uint64_t Dfa::count(const unsigned char* data, size_t length) const {
    uint32_t last = startAtBoundary_;
    constexpr size_t kParallelFrom = 4096;
    if (length < kParallelFrom) {
        const uint64_t total = count_run(startAtBoundary_, data, length, &last);
        return total + end_count(last);
    }

    // Independent runs over kParts parts, interleaved so that their table look-ups overlap (each
    // step waits on the previous one's look-up, so one run alone would leave the processor idle).
    // A part after the first starts from the state of an empty history; each seam is then mended
    // by running the true state and that fresh state side by side from the seam until they meet
    // (usually within a word), correcting the count by what the two saw in between.
    constexpr int kParts = 8;
    const size_t part = length / kParts;
    size_t bounds[kParts + 1];
    for (int k = 0; k < kParts; ++k) bounds[k] = part * static_cast<size_t>(k);
    bounds[kParts] = length;
    uint32_t starts[kParts];
    starts[0] = startAtBoundary_;
    for (int k = 1; k < kParts; ++k) starts[k] = fresh_after(data[bounds[k] - 1]);
    uint32_t s[kParts];
    uint64_t counts[kParts] = {};
    for (int k = 0; k < kParts; ++k) s[k] = starts[k];
    const uint32_t* table = table_.data();
    const uint8_t* cls = classes_;
    const uint32_t base = acceptBase_;
    const unsigned char* end = data + part;
    for (const unsigned char* p = data; p < end; ++p) {
        bool any = false;
#pragma GCC unroll 8
        for (int k = 0; k < kParts; ++k) {
            s[k] = table[s[k] + cls[p[k * part]]];
            any |= s[k] >= base;
        }
        if (QF_UNLIKELY(any)) {
            for (int k = 0; k < kParts; ++k)
                if (s[k] >= base) counts[k] += accept_count(s[k]);
        }
    }
    uint32_t finals[kParts];
    for (int k = 0; k < kParts; ++k) finals[k] = s[k];
    const size_t tailFrom = bounds[kParts - 1] + part;
    counts[kParts - 1] += count_run(s[kParts - 1], data + tailFrom, length - tailFrom, &finals[kParts - 1]);

    uint64_t total = counts[0];
    uint32_t truth = finals[0];
    for (int k = 1; k < kParts; ++k) {
        uint32_t a = truth;
        uint32_t b = starts[k];
        uint64_t seenTrue = 0, seenFresh = 0;
        size_t j = bounds[k];
        while (a != b && j < bounds[k + 1]) {
            a = next(a, data[j]);
            b = next(b, data[j]);
            if (a >= base) seenTrue += accept_count(a);
            if (b >= base) seenFresh += accept_count(b);
            ++j;
        }
        total += counts[k] - seenFresh + seenTrue;
        truth = (a == b) ? finals[k] : a;
    }
    return total + end_count(truth);
}

}  // namespace termscan
