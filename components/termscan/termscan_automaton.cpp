#include "termscan_automaton.h"

#include <atomic>

namespace termscan {
namespace {
std::atomic<uint16_t> g_nextTag{0};
}

size_t Automaton::max_cells() { return size_t(1) << 23; }

std::shared_ptr<const Automaton> Automaton::compile(std::vector<Pattern> patterns, Mode mode, size_t maxCells) {
    std::shared_ptr<Automaton> a(new Automaton());
    a->patterns_ = std::move(patterns);
    a->mode_ = mode;
    uint16_t tag;
    do tag = ++g_nextTag;
    while (tag == 0);
    a->tag_ = tag;
    std::vector<uint32_t> ids(a->patterns_.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<uint32_t>(i);
    if (!ids.empty()) a->build_parts(ids, maxCells);
    return a;
}

void Automaton::build_parts(const std::vector<uint32_t>& ids, size_t maxCells) {
    // A single entry (at most 179 characters) always gets its automaton, whatever the limit.
    std::unique_ptr<Dfa> dfa = Dfa::build(patterns_, ids, ids.size() == 1 ? SIZE_MAX : maxCells);
    if (dfa) {
        parts_.push_back(std::move(dfa));
        return;
    }
    const size_t half = ids.size() / 2;
    build_parts(std::vector<uint32_t>(ids.begin(), ids.begin() + half), maxCells);
    build_parts(std::vector<uint32_t>(ids.begin() + half, ids.end()), maxCells);
}

uint64_t Automaton::count(const unsigned char* data, size_t length) const {
    uint64_t total = 0;
    for (const auto& part : parts_) total += part->count(data, length);
    return total;
}

}  // namespace termscan
