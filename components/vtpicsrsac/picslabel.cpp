#include "picslabel.h"

#include <cstring>

#include <asciicase.h>

namespace picslabel {

namespace {

constexpr int kMaxDepth = 16;                  // nesting of parentheses inside one label list
constexpr long long kLevelCap = 1000000000000LL;

bool is_space(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool is_alpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

bool equals_ci(const unsigned char* p, size_t length, const char* text) {
    const size_t n = std::strlen(text);
    if (length != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (qf_ascii_lower(p[i]) != qf_ascii_lower(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool starts_with_ci(const unsigned char* p, size_t available, const char* text) {
    const size_t n = std::strlen(text);
    return available >= n && equals_ci(p, n, text);
}

// The quote mark at p: its length (0 when there is none) and its kind, '"' or '\''.
size_t quote_at(const unsigned char* p, size_t available, char* kind) {
    if (available == 0) return 0;
    if (*p == '"' || *p == '\'') {
        *kind = static_cast<char>(*p);
        return 1;
    }
    if (*p != '&') return 0;
    struct Entity {
        const char* text;
        char kind;
    };
    static const Entity entities[] = {{"&quot;", '"'}, {"&#34;", '"'}, {"&#39;", '\''}, {"&apos;", '\''}};
    for (const Entity& e : entities) {
        if (starts_with_ci(p, available, e.text)) {
            *kind = e.kind;
            return std::strlen(e.text);
        }
    }
    return 0;
}

struct Token {
    enum Kind { kEnd, kOpen, kClose, kQuoted, kWord };
    Kind kind = kEnd;
    const unsigned char* text = nullptr;
    size_t length = 0;
};

// Splits label text into parentheses, quoted strings and words; never reads past its end.
class Tokenizer {
public:
    Tokenizer(const unsigned char* data, size_t length) : data_(data), length_(length) {}

    Token next() {
        while (pos_ < length_ && is_space(data_[pos_])) ++pos_;
        if (pos_ >= length_) return Token{};
        const unsigned char c = data_[pos_];
        if (c == '(' || c == ')') {
            ++pos_;
            return Token{c == '(' ? Token::kOpen : Token::kClose, data_ + pos_ - 1, 1};
        }
        char kind = 0;
        const size_t mark = quote_at(data_ + pos_, length_ - pos_, &kind);
        if (mark > 0) {
            const size_t start = pos_ + mark;
            for (size_t i = start; i < length_; ++i) {
                char closing = 0;
                const size_t closeMark = quote_at(data_ + i, length_ - i, &closing);
                if (closeMark > 0 && closing == kind) {
                    pos_ = i + closeMark;
                    return Token{Token::kQuoted, data_ + start, i - start};
                }
            }
            pos_ = length_;   // unterminated: the string runs to the end
            return Token{Token::kQuoted, data_ + start, length_ - start};
        }
        const size_t start = pos_;
        while (pos_ < length_) {
            const unsigned char w = data_[pos_];
            char ignored = 0;
            if (is_space(w) || w == '(' || w == ')' || quote_at(data_ + pos_, length_ - pos_, &ignored) > 0) break;
            ++pos_;
        }
        return Token{Token::kWord, data_ + start, pos_ - start};
    }

private:
    const unsigned char* data_;
    size_t length_;
    size_t pos_ = 0;
};

bool is_word(const Token& token, const char* text) {
    return token.kind == Token::kWord && equals_ci(token.text, token.length, text);
}

// Skips to the parenthesis that closes an open one. False when the data ends first.
bool skip_group(Tokenizer& tokens) {
    int depth = 1;
    for (;;) {
        const Token token = tokens.next();
        if (token.kind == Token::kEnd) return false;
        if (token.kind == Token::kOpen) ++depth;
        if (token.kind == Token::kClose && --depth == 0) return true;
    }
}

bool parse_one_level(const unsigned char* p, size_t length, long long* level) {
    size_t i = 0;
    bool negative = false;
    if (i < length && (p[i] == '+' || p[i] == '-')) negative = p[i++] == '-';
    long long whole = 0;
    bool digits = false;
    while (i < length && is_digit(p[i])) {
        if (whole < kLevelCap) whole = whole * 10 + (p[i] - '0');
        digits = true;
        ++i;
    }
    bool fraction = false;
    if (i < length && p[i] == '.') {
        ++i;
        while (i < length && is_digit(p[i])) {
            fraction = fraction || p[i] != '0';
            digits = true;
            ++i;
        }
    }
    if (!digits || i != length) return false;
    *level = negative ? -whole : whole + (fraction ? 1 : 0);   // rounded up
    return true;
}

// A value or a range "low:high"; the higher end counts.
bool parse_level(const Token& token, long long* level) {
    if (token.kind != Token::kWord) return false;
    const void* colon = std::memchr(token.text, ':', token.length);
    if (colon == nullptr) return parse_one_level(token.text, token.length, level);
    const size_t split = static_cast<size_t>(static_cast<const unsigned char*>(colon) - token.text);
    long long low = 0, high = 0;
    if (!parse_one_level(token.text, split, &low) ||
        !parse_one_level(token.text + split + 1, token.length - split - 1, &high))
        return false;
    *level = low > high ? low : high;
    return true;
}

// Reads a ratings list after its opening parenthesis. -1 when the data ends before the list
// does; else 1, with *above telling whether judge found a rating above the limits.
int read_ratings(Tokenizer& tokens, picslabel::Judge judge, const void* limits, bool* above) {
    *above = false;
    for (;;) {
        const Token name = tokens.next();
        if (name.kind == Token::kEnd) return -1;
        if (name.kind == Token::kClose) return 1;
        if (name.kind == Token::kOpen) {
            if (!skip_group(tokens)) return -1;
            continue;
        }
        if (name.kind != Token::kWord) continue;

        const Token value = tokens.next();
        long long level = 0;
        bool haveLevel = false;
        if (value.kind == Token::kEnd) return -1;
        if (value.kind == Token::kClose) return 1;
        if (value.kind == Token::kWord) {
            haveLevel = parse_level(value, &level);
        } else if (value.kind == Token::kOpen) {
            for (;;) {
                const Token item = tokens.next();
                if (item.kind == Token::kEnd) return -1;
                if (item.kind == Token::kClose) break;
                if (item.kind == Token::kOpen) {
                    if (!skip_group(tokens)) return -1;
                    continue;
                }
                long long itemLevel = 0;
                if (parse_level(item, &itemLevel)) {
                    level = haveLevel && level > itemLevel ? level : itemLevel;
                    haveLevel = true;
                }
            }
        }
        if (haveLevel && judge != nullptr && judge(limits, Rating{name.text, name.length, level})) *above = true;
    }
}

bool service_matches(const Token& token, const char* serviceUrl) {
    const unsigned char* p = token.text;
    size_t length = token.length;
    while (length > 0 && is_space(*p)) {
        ++p;
        --length;
    }
    while (length > 0 && is_space(p[length - 1])) --length;
    if (length > 0 && p[length - 1] == '/') --length;
    size_t urlLength = std::strlen(serviceUrl);
    if (urlLength > 0 && serviceUrl[urlLength - 1] == '/') --urlLength;
    if (length != urlLength) return false;
    for (size_t i = 0; i < length; ++i)
        if (qf_ascii_lower(p[i]) != qf_ascii_lower(static_cast<unsigned char>(serviceUrl[i]))) return false;
    return true;
}

// Option keywords of a label; each is followed by one value (a word, a quoted string or a
// parenthesised group) that must not be read as a service or a label.
bool is_option(const Token& token) {
    static const char* const options[] = {"at",      "by",         "comment", "complete-label", "full",
                                          "for",     "generic",    "gen",     "on",             "until",
                                          "exp",     "extension",  "error",   "signature-PKCS", "signature-rsa-md5"};
    for (const char* option : options)
        if (is_word(token, option)) return true;
    return false;
}

struct Search {
    const char* serviceUrl;
    Judge judge;
    const void* limits;
};

// The versions a label list may open with: servers send both.
bool is_version(const Token& token) { return is_word(token, "PICS-1.1") || is_word(token, "PICS-1.0"); }

// Reads one label list after "(PICS-1.1" or "(PICS-1.0".
int read_label_list(Tokenizer& tokens, const Search& search) {
    int result = kNoLabel;
    int depth = 1;
    bool ours = false;          // the current service is the one searched for
    bool wantRatings = false;   // `r` or `ratings` was just read
    bool skipValue = false;     // an option keyword was just read
    for (;;) {
        const Token token = tokens.next();
        if (token.kind == Token::kEnd) return result;
        if (wantRatings) {
            wantRatings = false;
            if (token.kind == Token::kOpen) {
                bool above = false;
                if (read_ratings(tokens, ours ? search.judge : nullptr, search.limits, &above) < 0) return result;
                if (ours) {
                    if (above) return kRatedAbove;
                    result = kPassed;
                }
                continue;
            }
        }
        if (skipValue) {
            skipValue = false;
            if (token.kind == Token::kOpen) {
                if (!skip_group(tokens)) return result;
                continue;
            }
            if (token.kind == Token::kWord || token.kind == Token::kQuoted) continue;
        }
        switch (token.kind) {
        case Token::kOpen:
            if (++depth > kMaxDepth) return result;
            break;
        case Token::kClose:
            if (--depth == 0) return result;
            break;
        case Token::kQuoted:
            if (depth == 1) ours = service_matches(token, search.serviceUrl);
            break;
        case Token::kWord:
            if (is_word(token, "r") || is_word(token, "ratings")) {
                wantRatings = true;
            } else if (is_option(token)) {
                skipValue = true;
            }
            break;
        case Token::kEnd:
            break;
        }
    }
}

// Every label list in a label text (a META content value or a header value).
int check_label_text(const unsigned char* text, size_t length, const Search& search) {
    Tokenizer tokens(text, length);
    int result = kNoLabel;
    for (;;) {
        const Token token = tokens.next();
        if (token.kind == Token::kEnd) return result;
        if (token.kind != Token::kOpen) continue;
        Tokenizer ahead = tokens;
        if (!is_version(ahead.next())) continue;
        tokens = ahead;
        const int listResult = read_label_list(tokens, search);
        if (listResult == kRatedAbove) return kRatedAbove;
        if (listResult == kPassed) result = kPassed;
    }
}

// A "PICS-Label:" header line starting at pos: its value runs to the end of the line, folded
// continuation lines (starting with a blank) included. *end is where the scan goes on.
bool read_header(const unsigned char* data, size_t length, size_t pos, size_t* valueStart, size_t* end) {
    if (!starts_with_ci(data + pos, length - pos, "PICS-Label")) return false;
    size_t p = pos + 10;
    while (p < length && (data[p] == ' ' || data[p] == '\t')) ++p;
    if (p >= length || data[p] != ':') return false;
    *valueStart = ++p;
    while (p < length) {
        if (data[p] == '\r' || data[p] == '\n') {
            size_t next = p + ((data[p] == '\r' && p + 1 < length && data[p + 1] == '\n') ? 2 : 1);
            if (next < length && (data[next] == ' ' || data[next] == '\t')) {
                p = next;
                continue;
            }
            break;
        }
        ++p;
    }
    *end = p;
    return true;
}

struct Span {
    const unsigned char* text = nullptr;
    size_t length = 0;
};

// Reads the tag that starts at pos ('<' and a letter), picking out its http-equiv and content
// attributes. A quoted value runs to its closing quote, or to the end of the data. Returns where
// the scan goes on.
size_t read_tag(const unsigned char* data, size_t length, size_t pos, Span* equiv, Span* content, bool* hasContent) {
    size_t q = pos + 1;
    while (q < length && (is_alpha(data[q]) || is_digit(data[q]) || data[q] == '-' || data[q] == ':' || data[q] == '_'))
        ++q;
    for (;;) {
        while (q < length && (is_space(data[q]) || data[q] == '/')) ++q;
        if (q >= length) return length;
        if (data[q] == '>') return q + 1;
        const size_t nameStart = q;
        while (q < length && !is_space(data[q]) && data[q] != '=' && data[q] != '>' && data[q] != '/') ++q;
        const Span name{data + nameStart, q - nameStart};
        size_t r = q;
        while (r < length && is_space(data[r])) ++r;
        if (r >= length || data[r] != '=') {
            if (name.length == 0) ++q;   // only '=' ends an empty name, so this is a guard
            continue;
        }
        ++r;
        while (r < length && is_space(data[r])) ++r;
        Span value;
        if (r < length && (data[r] == '"' || data[r] == '\'')) {
            const unsigned char quote = data[r];
            const size_t start = r + 1;
            size_t close = start;
            while (close < length && data[close] != quote) ++close;
            value = Span{data + start, close - start};
            r = close < length ? close + 1 : length;
        } else {
            const size_t start = r;
            while (r < length && !is_space(data[r]) && data[r] != '>') ++r;
            value = Span{data + start, r - start};
        }
        q = r;
        if (equals_ci(name.text, name.length, "http-equiv")) *equiv = value;
        if (equals_ci(name.text, name.length, "content")) {
            *content = value;
            *hasContent = true;
        }
    }
}

bool is_pics_label(const Span& span) {
    const unsigned char* p = span.text;
    size_t length = span.length;
    while (length > 0 && is_space(*p)) {
        ++p;
        --length;
    }
    while (length > 0 && is_space(p[length - 1])) --length;
    return equals_ci(p, length, "PICS-Label");
}

}  // namespace

bool picslabel_name_is(const Rating& rating, const char* name) {
    return equals_ci(rating.name, rating.nameLength, name);
}

int picslabel_check(const unsigned char* data, size_t length, const char* serviceUrl, Judge judge,
                    const void* limits) {
    if (data == nullptr || serviceUrl == nullptr || judge == nullptr) return kNoLabel;
    const Search search{serviceUrl, judge, limits};
    int result = kNoLabel;
    auto take = [&result](int found) {
        if (found == kPassed) result = kPassed;
        return found == kRatedAbove;
    };
    size_t pos = 0;
    while (pos < length) {
        const unsigned char c = data[pos];
        if ((pos == 0 || data[pos - 1] == '\n') && (c == 'P' || c == 'p')) {
            size_t valueStart = 0, end = 0;
            if (read_header(data, length, pos, &valueStart, &end)) {
                if (take(check_label_text(data + valueStart, end - valueStart, search))) return kRatedAbove;
                pos = end;
                continue;
            }
        }
        if (c == '<') {
            if (starts_with_ci(data + pos, length - pos, "<!--")) {
                // A commented-out tag is no label.
                size_t p = pos + 4;
                while (p < length && !starts_with_ci(data + p, length - p, "-->")) ++p;
                pos = p < length ? p + 3 : length;
                continue;
            }
            if (pos + 1 < length && is_alpha(data[pos + 1])) {
                Span equiv, content;
                bool hasContent = false;
                const size_t end = read_tag(data, length, pos, &equiv, &content, &hasContent);
                if (hasContent && is_pics_label(equiv)) {
                    if (take(check_label_text(content.text, content.length, search))) return kRatedAbove;
                }
                pos = end;
                continue;
            }
        }
        ++pos;
    }
    return result;
}

}  // namespace picslabel
