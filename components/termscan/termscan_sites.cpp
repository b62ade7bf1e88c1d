#include <string.h>

#include <algorithm>

#include "termscan_automaton.h"
#include "termscan_text.h"

namespace termscan {
namespace {

constexpr char kWildcard = '*';

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_space_char(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && is_space_char(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

/* The host part of a site entry: without a scheme, a path, a port, leading "*" and "." and a
 * trailing ".". */
std::string_view site_host(std::string_view entry) {
    const size_t scheme = entry.find("://");
    if (scheme != std::string_view::npos) entry.remove_prefix(scheme + 3);
    entry = entry.substr(0, entry.find_first_of("/:"));
    while (!entry.empty() && (entry.front() == kWildcard || entry.front() == '.')) entry.remove_prefix(1);
    while (!entry.empty() && entry.back() == '.') entry.remove_suffix(1);
    return entry;
}

/* A host text without a trailing dot and without a ":port". */
std::string_view name_host(std::string_view name) {
    const size_t colon = name.find(':');
    if (colon != std::string_view::npos && name.find(':', colon + 1) == std::string_view::npos) {
        std::string_view port = name.substr(colon + 1);
        bool digits = !port.empty();
        for (char c : port) digits = digits && c >= '0' && c <= '9';
        if (digits) name = name.substr(0, colon);
    }
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    return name;
}

}  // namespace

bool is_address_text(std::string_view text) {
    bool dot = false;
    for (char c : text) {
        if (c == '.')
            dot = true;
        else if (c < '0' || c > '9')
            return false;
    }
    return dot;
}

std::shared_ptr<const SiteMatcher> SiteMatcher::compile(const TermSlot* table, int count) {
    std::shared_ptr<SiteMatcher> m(new SiteMatcher());
    std::vector<Pattern> words;
    std::vector<std::string> hosts;
    for (int i = 0; i < count; ++i) {
        std::string entry(table[i], slot_length(table[i]));
        for (char& c : entry) c = static_cast<char>(fold(static_cast<unsigned char>(c)));
        std::string_view text = trim(entry);
        if (text.find_first_of("./:") != std::string_view::npos) {
            std::string_view host = site_host(text);
            if (!host.empty()) hosts.emplace_back(host);
        } else {
            Pattern word;
            if (parse_entry(table[i], kWildcard, Mode::Name, word)) words.push_back(std::move(word));
        }
    }
    m->storage_ = std::move(hosts);
    for (const std::string& host : m->storage_) {
        if (is_address_text(host)) {
            m->addresses_.insert(host);
        } else {
            m->sites_.insert(host);
            m->longestSite_ = std::max(m->longestSite_, host.size());
        }
    }
    if (!words.empty()) {
        std::vector<Pattern> unique;
        std::unordered_set<std::string> seen;
        for (Pattern& w : words) {
            std::string key;  // literals are never white space, so ' ' marks a run unambiguously
            for (uint16_t item : w.items) key.push_back(item == kSpaceRun ? ' ' : static_cast<char>(item));
            if (seen.insert(key).second) unique.push_back(std::move(w));
        }
        m->words_ = Automaton::compile(std::move(unique), Mode::Name);
    }
    return m;
}

bool SiteMatcher::contains(const char* text, size_t length) const {
    const void* nul = memchr(text, '\0', length);
    if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    char small[256];
    std::string large;
    char* buffer = small;
    if (length > sizeof(small)) {
        large.resize(length);
        buffer = &large[0];
    }
    for (size_t i = 0; i < length; ++i) buffer[i] = static_cast<char>(fold(static_cast<unsigned char>(text[i])));
    return contains_normalised(name_host(trim(std::string_view(buffer, length))));
}

bool SiteMatcher::contains_normalised(std::string_view name) const {
    if (name.empty()) return false;
    if (is_address_text(name)) return addresses_.count(name) != 0;
    // Only suffixes no longer than the longest site can equal one: a long name of many labels is
    // not hashed again from each of its dots.
    for (size_t pos = name.size() > longestSite_ ? name.size() - longestSite_ : 0;;) {
        if ((pos == 0 || name[pos - 1] == '.') && sites_.count(name.substr(pos))) return true;
        pos = name.find('.', pos);
        if (pos == std::string_view::npos) break;
        ++pos;
    }
    return words_ && words_->count(reinterpret_cast<const unsigned char*>(name.data()), name.size()) != 0;
}

}  // namespace termscan
