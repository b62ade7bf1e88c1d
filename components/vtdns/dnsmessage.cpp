#include "dnsmessage.h"

#include <cstring>

#include <asciicase.h>

namespace vtdns {

namespace {

uint16_t read_u16(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }


}  // namespace

bool dns_read_header(const Message& message, Header* header) {
    if (message.data == nullptr || message.length < kHeaderSize) return false;
    const unsigned char* p = message.data;
    header->id = read_u16(p);
    header->flags = read_u16(p + 2);
    header->questionCount = read_u16(p + 4);
    header->answerCount = read_u16(p + 6);
    header->authorityCount = read_u16(p + 8);
    header->additionalCount = read_u16(p + 10);
    return true;
}

bool dns_read_name(const Message& message, size_t* offset, Name* name) {
    size_t pos = *offset;
    size_t resume = 0;   // where the caller continues once a pointer has been taken
    bool jumped = false;
    int pointers = 0;
    size_t out = 0;
    for (;;) {
        if (pos >= message.length) return false;
        const unsigned char length = message.data[pos];
        if ((length & 0xC0) == 0xC0) {
            if (message.length - pos < 2) return false;
            const size_t target = (static_cast<size_t>(length & 0x3F) << 8) | message.data[pos + 1];
            // Only backwards and never into the header: a chain of such pointers cannot loop.
            if (target < kHeaderSize || target >= pos) return false;
            if (++pointers > kMaxPointers) return false;
            if (!jumped) {
                resume = pos + 2;
                jumped = true;
            }
            pos = target;
            continue;
        }
        if ((length & 0xC0) != 0) return false;   // extended label types are not used
        if (length == 0) {
            name->wire[out++] = 0;
            break;
        }
        if (message.length - pos - 1 < length) return false;
        // The label, its length byte and the closing root byte must fit in 255.
        if (out + 1 + length + 1 > kMaxNameWire) return false;
        name->wire[out++] = length;
        for (size_t i = 0; i < length; ++i) name->wire[out++] = qf_ascii_lower(message.data[pos + 1 + i]);
        pos += 1 + length;
    }
    name->size = out;
    *offset = jumped ? resume : pos + 1;
    return true;
}

bool dns_read_record(const Message& message, size_t* offset, Record* record) {
    size_t pos = *offset;
    Name owner;
    record->ownerOffset = pos;
    if (!dns_read_name(message, &pos, &owner)) return false;
    if (message.length - pos < 10) return false;
    const unsigned char* p = message.data + pos;
    record->type = read_u16(p);
    record->rclass = read_u16(p + 2);
    record->rdataLength = read_u16(p + 8);   // p + 4 is the TTL, not needed
    pos += 10;
    if (message.length - pos < record->rdataLength) return false;
    record->rdataOffset = pos;
    *offset = pos + record->rdataLength;
    return true;
}

bool dns_parse_layout(const Message& message, bool response, Layout* layout) {
    Header header;
    if (!dns_read_header(message, &header)) return false;
    if (((header.flags & kFlagResponse) != 0) != response) return false;
    if (header.questionCount == 0) return false;

    size_t pos = kHeaderSize;
    Name scratch;
    for (unsigned q = 0; q < header.questionCount; ++q) {
        if (!dns_read_name(message, &pos, &scratch)) return false;
        if (message.length - pos < 4) return false;   // type and class
        pos += 4;
    }
    const size_t answerOffset = pos;
    const unsigned records = static_cast<unsigned>(header.answerCount) + header.authorityCount + header.additionalCount;
    Record record;
    for (unsigned r = 0; r < records; ++r) {
        if (!dns_read_record(message, &pos, &record)) return false;
    }
    layout->header = header;
    layout->questionOffset = kHeaderSize;
    layout->answerOffset = answerOffset;
    return true;
}

bool dns_locate(const unsigned char* data, size_t length, bool response, Message* message, Layout* layout) {
    if (data == nullptr) return false;
    if (length >= 2) {
        const size_t framed = read_u16(data);
        if (framed >= kHeaderSize && framed <= length - 2) {
            const Message candidate{data + 2, framed};
            if (dns_parse_layout(candidate, response, layout)) {
                *message = candidate;
                return true;
            }
        }
    }
    const Message candidate{data, length};
    if (!dns_parse_layout(candidate, response, layout)) return false;
    *message = candidate;
    return true;
}

bool dns_name_text(const Name& name, char* text, size_t size) {
    if (size == 0) return false;
    size_t pos = 0;
    size_t out = 0;
    while (pos < name.size && name.wire[pos] != 0) {
        const size_t length = name.wire[pos];
        if (pos + 1 + length > name.size) return false;
        if (out > 0) {
            if (out + 1 >= size) return false;
            text[out++] = '.';
        }
        if (out + length >= size) return false;
        for (size_t i = 0; i < length; ++i) {
            const unsigned char c = name.wire[pos + 1 + i];
            text[out++] = (c >= 0x21 && c <= 0x7E) ? static_cast<char>(c) : '?';
        }
        pos += 1 + length;
    }
    text[out] = '\0';
    return true;
}

bool dns_names_equal(const Name& a, const Name& b) {
    return a.size == b.size && std::memcmp(a.wire, b.wire, a.size) == 0;
}

}  // namespace vtdns
