#include "log_site.h"

#include <string.h>

namespace {

struct Span {
    const char* data;
    size_t length;
};

bool starts_with(Span s, const char* prefix) {
    const size_t n = strlen(prefix);
    return s.length >= n && memcmp(s.data, prefix, n) == 0;
}

bool ends_with(Span s, char c) { return s.length > 0 && s.data[s.length - 1] == c; }

// Where the last occurrence of needle in s starts, or s.length when there is none.
size_t find_last(Span s, const char* needle) {
    const size_t n = strlen(needle);
    if (n == 0 || s.length < n) return s.length;
    for (size_t at = s.length - n + 1; at-- > 0;)
        if (memcmp(s.data + at, needle, n) == 0) return at;
    return s.length;
}

Span trimmed(Span s) {
    while (s.length && (s.data[0] == ' ' || s.data[0] == '\t')) ++s.data, --s.length;
    while (s.length && (s.data[s.length - 1] == ' ' || s.data[s.length - 1] == '\t')) --s.length;
    return s;
}

// "HOST (ADDRESS)" gives HOST, "ADDRESS" itself.
Span site_of_head(Span head) {
    if (ends_with(head, ')')) {
        const size_t open = find_last(head, " (");
        if (open < head.length && open > 0) return trimmed({head.data, open});
    }
    return trimmed(head);
}

Span find_site(Span text) {
    const char kNameLine[] = "Violation in site name (";
    if (starts_with(text, kNameLine) && ends_with(text, ')')) {
        const size_t start = sizeof(kNameLine) - 1;
        return trimmed({text.data + start, text.length - start - 1});
    }
    // The rest after "; " is one of the filter's fixed texts, which hold no "; ": the last one
    // ends the head, whatever a host name holds.
    const size_t separator = find_last(text, "; ");
    if (separator < text.length) return site_of_head({text.data, separator});
    const char kConnection[] = " connection to ";
    const size_t connection = find_last(text, kConnection);
    if (connection < text.length && ends_with(text, '.')) {
        const size_t start = connection + sizeof(kConnection) - 1;
        return trimmed({text.data + start, text.length - start - 1});
    }
    return {text.data, 0};
}

// A host name's ":PORT" (one colon, digits after it); IPv6 addresses have more colons.
Span without_port(Span s) {
    const void* first = memchr(s.data, ':', s.length);
    if (!first) return s;
    const size_t colon = static_cast<const char*>(first) - s.data;
    if (colon == 0 || colon + 1 == s.length || memchr(s.data + colon + 1, ':', s.length - colon - 1)) return s;
    for (size_t i = colon + 1; i < s.length; ++i)
        if (s.data[i] < '0' || s.data[i] > '9') return s;
    return {s.data, colon};
}

}  // namespace

size_t logreport_site(const char* text, size_t length, char* site, size_t siteSize) {
    if (!site || siteSize == 0) return 0;
    site[0] = 0;
    if (!text) return 0;
    Span found = without_port(find_site({text, length}));
    size_t n = found.length < siteSize - 1 ? found.length : siteSize - 1;
    for (size_t i = 0; i < n; ++i) {
        const char c = found.data[i];
        site[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    site[n] = 0;
    // A text that holds a zero byte ends there.
    const void* zero = memchr(site, 0, n);
    if (zero) n = static_cast<const char*>(zero) - site;
    return n;
}
