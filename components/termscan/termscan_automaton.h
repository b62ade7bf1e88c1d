/* A list table compiled for one way of matching, and the cache that keeps the compiled tables
 * (internal to termscan/termclean). */
#ifndef TERMSCAN_AUTOMATON_H
#define TERMSCAN_AUTOMATON_H

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "termscan.h"
#include "termscan_dfa.h"
#include "termscan_pattern.h"

namespace termscan {

/* Anything the cache holds. */
struct Compiled {
    virtual ~Compiled() = default;
};

/* The patterns of one table and the automata that find them. Normally one automaton; a table so
 * large or so varied that its automaton would pass the size limit is split over several, each
 * scanned in turn. */
class Automaton : public Compiled {
public:
    static std::shared_ptr<const Automaton> compile(std::vector<Pattern> patterns, Mode mode,
                                                    size_t maxCells = max_cells());

    uint64_t count(const unsigned char* data, size_t length) const;
    const std::vector<Pattern>& patterns() const { return patterns_; }
    const std::vector<std::unique_ptr<Dfa>>& parts() const { return parts_; }
    Mode mode() const { return mode_; }
    /* Differs between compilations (never 0), so that state saved against one compilation is
     * not read against another. */
    uint16_t tag() const { return tag_; }

    /* Transitions allowed per automaton before the patterns are split over several. */
    static size_t max_cells();

private:
    Automaton() = default;
    void build_parts(const std::vector<uint32_t>& ids, size_t maxCells);

    std::vector<Pattern> patterns_;
    std::vector<std::unique_ptr<Dfa>> parts_;
    Mode mode_ = Mode::Content;
    uint16_t tag_ = 0;
};

/* The site rules of termscan_search_containsword (see termscan.h). */
class SiteMatcher : public Compiled {
public:
    static std::shared_ptr<const SiteMatcher> compile(const TermSlot* table, int count);
    bool contains(const char* text, size_t length) const;

private:
    SiteMatcher() = default;
    bool contains_normalised(std::string_view name) const;

    std::vector<std::string> storage_;
    std::unordered_set<std::string_view> sites_;
    size_t longestSite_ = 0;
    std::unordered_set<std::string_view> addresses_;
    std::shared_ptr<const Automaton> words_;
};

/* The number of entries to read from a table: count cut to 0..4096 (the largest capacity; the
 * tables do not pass theirs). */
int usable_count(INT count);

/* The compiled form of a table, built on first use and shared by every thread. A table is known by
 * its address, its count, the wildcard and a hash of every entry, so a table of which any entry
 * changes (rebuilt, edited or damaged) is compiled anew. A table is expected not to change while
 * it is being scanned. */
std::shared_ptr<const Automaton> automaton_for(const TermSlot* table, int count, char wildcard, Mode mode);
std::shared_ptr<const SiteMatcher> sites_for(const TermSlot* table, int count);

/* Whether the text is an address text: digits and dots only, with at least one dot. */
bool is_address_text(std::string_view text);

}  // namespace termscan

#endif
