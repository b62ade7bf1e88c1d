// The DNS wire reader shared by the query and answer routines. Every read checks the bytes that
// remain; names are decoded into a canonical form (labels lower-cased, length bytes kept) so that
// two names compare with memcmp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtdns {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxNameWire = 255;   // a name's uncompressed size, length bytes and root included
constexpr size_t kMaxLabel = 63;
constexpr int kMaxPointers = 128;      // compression pointers followed for one name

constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kFlagResponse = 0x8000;

struct Message {
    const unsigned char* data = nullptr;
    size_t length = 0;
};

struct Header {
    uint16_t id = 0;
    uint16_t flags = 0;
    uint16_t questionCount = 0;
    uint16_t answerCount = 0;
    uint16_t authorityCount = 0;
    uint16_t additionalCount = 0;
};

struct Name {
    unsigned char wire[kMaxNameWire] = {};
    size_t size = 0;   // bytes used in wire, the root zero included
};

// One resource record of the answer section, as found in the message.
struct Record {
    size_t ownerOffset = 0;
    uint16_t type = 0;
    uint16_t rclass = 0;
    size_t rdataOffset = 0;
    uint16_t rdataLength = 0;
};

// Where the parts of a message start; every record counted by the header has been walked.
struct Layout {
    Header header;
    size_t questionOffset = kHeaderSize;
    size_t answerOffset = 0;
};

bool dns_read_header(const Message& message, Header* header);

// Reads the name that starts at *offset. Pointers must point to an earlier position past the
// header; labels are at most 63 bytes, the name at most 255. On success *offset is just past the
// name's bytes at that place (past the pointer when the name is compressed).
bool dns_read_name(const Message& message, size_t* offset, Name* name);

// Reads the fixed part of a record (owner name, type, class, TTL, data length) at *offset and
// checks that its data fits; *offset moves past the whole record.
bool dns_read_record(const Message& message, size_t* offset, Record* record);

// Walks the header, every question and every record the header counts. A response must have the
// response flag, a query must not; both need at least one question. Bytes after the last record
// are ignored (a receive buffer may be longer than the message in it).
bool dns_parse_layout(const Message& message, bool response, Layout* layout);

// Finds the message in data: a bare message (datagram) or one behind the two-byte length of a
// stream, tried first when that length fits the data. Fills the message and its layout.
bool dns_locate(const unsigned char* data, size_t length, bool response, Message* message, Layout* layout);

// Writes the name as dotted text into text (size bytes, zero-terminated). The root name is empty
// text. Bytes other than printable ASCII come out as '?'. False when the text does not fit.
bool dns_name_text(const Name& name, char* text, size_t size);

bool dns_names_equal(const Name& a, const Name& b);

}  // namespace vtdns
