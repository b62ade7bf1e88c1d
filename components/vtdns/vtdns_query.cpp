// Query routines: the name a query asks for, and spoiling a query so that it asks for a name
// that cannot exist.
#include "vtdns.h"

#include "dnsmessage.h"

#include <cstring>

using namespace vtdns;

namespace {

// Overwrites the label bytes of the name at offset (following its pointers) with '-'. The name
// has been read successfully before, so the walk ends; bounds are checked all the same.
bool vtdns_spoil_name(unsigned char* data, size_t length, size_t offset) {
    size_t pos = offset;
    int pointers = 0;
    bool spoiled = false;
    while (pos < length) {
        const unsigned char label = data[pos];
        if ((label & 0xC0) == 0xC0) {
            if (length - pos < 2 || ++pointers > kMaxPointers) return spoiled;
            const size_t target = (static_cast<size_t>(label & 0x3F) << 8) | data[pos + 1];
            if (target >= pos) return spoiled;
            pos = target;
            continue;
        }
        if (label == 0 || (label & 0xC0) != 0 || length - pos - 1 < label) return spoiled;
        std::memset(data + pos + 1, '-', label);
        spoiled = true;
        pos += 1 + label;
    }
    return spoiled;
}

}  // namespace

extern "C" int vtdns_query_retrieve_name(const char* message, DWORD length, char* name) {
    if (name == nullptr) return 0;
    name[0] = '\0';
    Message found;
    Layout layout;
    if (!dns_locate(reinterpret_cast<const unsigned char*>(message), length, false, &found, &layout)) return 0;

    size_t pos = layout.questionOffset;
    Name question;
    if (!dns_read_name(found, &pos, &question)) return 0;
    char text[VTDNS_NAME_SIZE];
    if (!dns_name_text(question, text, sizeof text)) return 0;
    std::memcpy(name, text, std::strlen(text) + 1);
    return 1;
}

extern "C" int vtdns_query_clean_name(char* message, DWORD length) {
    Message found;
    Layout layout;
    if (!dns_locate(reinterpret_cast<const unsigned char*>(message), length, false, &found, &layout)) return 0;

    // Every question name gets its label bytes replaced by '-': the label lengths, the counts and
    // the message length stay as they were, so the query is still well formed, but it now asks
    // for names such as "---.-------.---", whose top-level label cannot exist.
    unsigned char* data = const_cast<unsigned char*>(found.data);
    size_t pos = layout.questionOffset;
    bool spoiled = false;
    for (unsigned q = 0; q < layout.header.questionCount; ++q) {
        const size_t start = pos;
        Name question;
        if (!dns_read_name(found, &pos, &question)) break;
        pos += 4;
        spoiled = vtdns_spoil_name(data, found.length, start) || spoiled;
    }
    return spoiled ? 1 : 0;
}
