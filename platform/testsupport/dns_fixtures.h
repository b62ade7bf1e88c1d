// DNS messages kept as commented hex dumps, and small helpers to turn them into exact-size
// buffers (so that the sanitizer build catches any read past the end).
#pragma once

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace dns_fixtures {

using Bytes = std::vector<unsigned char>;

// Hex digits in pairs; whitespace is ignored and '#' starts a comment up to the end of the line.
inline Bytes hex(const char* text) {
    Bytes out;
    int high = -1;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '#') {
            while (*p != '\0' && *p != '\n') ++p;
            if (*p == '\0') break;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(*p))) continue;
        const int digit = std::isdigit(static_cast<unsigned char>(*p)) ? *p - '0' : std::tolower(*p) - 'a' + 10;
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    return out;
}

// A heap copy of exactly the given bytes, nothing after them.
struct Exact {
    explicit Exact(const Bytes& bytes, size_t size) : size(size), data(new char[size > 0 ? size : 1]) {
        if (size > 0) std::memcpy(data.get(), bytes.data(), size);
    }
    explicit Exact(const Bytes& bytes) : Exact(bytes, bytes.size()) {}
    size_t size;
    std::unique_ptr<char[]> data;
};

// Query for www.example.com, type A, class IN, recursion desired.
inline const char* kQuery = R"(
12 34                         # ID
01 00                         # flags: query, RD
00 01 00 00 00 00 00 00       # 1 question, no records
03 77 77 77                   # @12 "www"
07 65 78 61 6d 70 6c 65       # @16 "example"
03 63 6f 6d 00                # @24 "com", root
00 01 00 01                   # type A, class IN
)";

// Query for Mail.Example.ORG (type A) with an EDNS OPT record in the additional section.
inline const char* kQueryWithOpt = R"(
ab cd 01 00 00 01 00 00 00 00 00 01
04 4d 61 69 6c                # @12 "Mail"
07 45 78 61 6d 70 6c 65       # "Example"
03 4f 52 47 00                # "ORG", root
00 01 00 01                   # type A, class IN
00 00 29 10 00 00 00 00 00 00 00   # OPT: root owner, type 41, size 4096, no data
)";

// Answer for www.example.com: two CNAMEs lead to edge.cdn.example.net, which has two A records.
// An A record of an unrelated name sits in the answer section, an A record of the name server
// in the additional section; neither belongs to the answer.
inline const char* kAnswerWithCnames = R"(
12 34                         # ID
81 80                         # flags: response, RD, RA, no error
00 01 00 05 00 01 00 01       # 1 question, 5 answers, 1 authority, 1 additional
03 77 77 77                   # @12 "www"
07 65 78 61 6d 70 6c 65       # @16 "example"
03 63 6f 6d 00                # @24 "com", root
00 01 00 01                   # type A, class IN
c0 0c 00 05 00 01 00 00 0e 10 00 11   # @33 www.example.com CNAME, 17 bytes of data
03 63 64 6e                   # @45 "cdn"
07 65 78 61 6d 70 6c 65       # @49 "example"
03 6e 65 74 00                # @57 "net", root
c0 2d 00 05 00 01 00 00 0e 10 00 07   # @62 cdn.example.net CNAME, 7 bytes of data
04 65 64 67 65 c0 2d          # @74 "edge" + pointer to cdn.example.net
c0 4a 00 01 00 01 00 00 00 3c 00 04   # @81 edge.cdn.example.net A
5d b8 d8 22                   # 93.184.216.34
c0 4a 00 01 00 01 00 00 00 3c 00 04   # @97 edge.cdn.example.net A
5d b8 d8 23                   # 93.184.216.35
05 6f 74 68 65 72 c0 10       # @113 "other" + pointer to example.com
00 01 00 01 00 00 00 3c 00 04 # A
0a 00 00 01                   # 10.0.0.1 (not part of the answer)
c0 31 00 02 00 01 00 00 0e 10 00 06   # @135 example.net NS
03 6e 73 31 c0 31             # @147 ns1.example.net
c0 93 00 01 00 01 00 00 0e 10 00 04   # @153 ns1.example.net A
c0 00 02 35                   # 192.0.2.53 (additional section)
)";

// Header of an answer to www.example.com (A, IN) with `count` answers, followed by the question;
// the caller appends the answer records.
inline Bytes answer_head(unsigned count) {
    Bytes head = hex("12 34 81 80 00 01");
    head.push_back(static_cast<unsigned char>(count >> 8));
    head.push_back(static_cast<unsigned char>(count & 0xff));
    const Bytes rest = hex("00 00 00 00  03 77 77 77 07 65 78 61 6d 70 6c 65 03 63 6f 6d 00  00 01 00 01");
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

// An A record owned by the question's name (pointer to offset 12).
inline void append_a_record(Bytes& message, unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const Bytes record = hex("c0 0c 00 01 00 01 00 00 00 3c 00 04");
    message.insert(message.end(), record.begin(), record.end());
    message.insert(message.end(), {a, b, c, d});
}

// A query (type A, class IN) for a name given as its labels.
inline Bytes query_for(const std::vector<std::string>& labels) {
    Bytes message = hex("00 07 01 00 00 01 00 00 00 00 00 00");
    for (const std::string& label : labels) {
        message.push_back(static_cast<unsigned char>(label.size()));
        message.insert(message.end(), label.begin(), label.end());
    }
    message.push_back(0);
    const Bytes tail = hex("00 01 00 01");
    message.insert(message.end(), tail.begin(), tail.end());
    return message;
}

}  // namespace dns_fixtures
