// DNS queries and answers of the runtime's resolver, read with every offset checked.
#include "dns_message.h"

#include <cstring>
#include <vector>

namespace qf::ws2 {
namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kMaxLabel = 63;
constexpr size_t kMaxNameText = 253;
constexpr int kMaxPointers = 64;   // compression pointers followed for one name
constexpr int kMaxCnameHops = 16;  // CNAME records followed from the name asked for

constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeCname = 5;
constexpr uint16_t kClassIn = 1;
constexpr uint16_t kFlagResponse = 0x8000;
constexpr uint16_t kFlagTruncated = 0x0200;
constexpr uint16_t kFlagRecursionDesired = 0x0100;
constexpr uint16_t kOpcodeMask = 0x7800;

enum Rcode : uint16_t { kNoError = 0, kServerFailure = 2, kNameError = 3 };

struct Reader {
    const unsigned char* data;
    size_t length;

    bool has(size_t at, size_t count) const { return at <= length && length - at >= count; }
    uint16_t u16(size_t at) const { return static_cast<uint16_t>((data[at] << 8) | data[at + 1]); }
};

void put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value & 0xff);
}

// Decodes the name at `at` into dot-joined text; next is the offset just past the name where it
// stands (a compression pointer ends it). Labels holding a dot or a zero byte are refused, so the
// text names the same labels as the wire.
bool read_name(const Reader& r, size_t at, std::string& name, size_t& next) {
    name.clear();
    bool jumped = false;
    for (int pointers = 0;;) {
        if (!r.has(at, 1)) return false;
        const unsigned char length = r.data[at];
        if ((length & 0xC0) == 0xC0) {
            if (!r.has(at, 2) || ++pointers > kMaxPointers) return false;
            if (!jumped) next = at + 2;
            jumped = true;
            at = (static_cast<size_t>(length & 0x3F) << 8) | r.data[at + 1];
            continue;
        }
        if (length & 0xC0) return false;  // the extended label types are not used in answers
        if (length == 0) {
            if (!jumped) next = at + 1;
            return true;
        }
        if (!r.has(at + 1, length)) return false;
        if (!name.empty()) name += '.';
        for (size_t i = 0; i < length; ++i) {
            const char c = static_cast<char>(r.data[at + 1 + i]);
            if (c == '.' || c == '\0') return false;
            name += c;
        }
        if (name.size() > kMaxNameText) return false;
        at += 1 + length;
    }
}

// The asked name without its final dot.
std::string bare_name(const char* name) {
    std::string text(name);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

struct AnswerRecord {
    std::string owner;
    uint16_t type;
    uint16_t recordClass;
    size_t dataAt;
    uint16_t dataLength;
};

// The answer section's records; false when one of them is cut short or malformed.
bool read_records(const Reader& r, size_t at, uint16_t count, std::vector<AnswerRecord>& records) {
    for (uint16_t i = 0; i < count; ++i) {
        AnswerRecord record{};
        if (!read_name(r, at, record.owner, at) || !r.has(at, 10)) return false;
        record.type = r.u16(at);
        record.recordClass = r.u16(at + 2);
        record.dataLength = r.u16(at + 8);
        record.dataAt = at + 10;
        if (!r.has(record.dataAt, record.dataLength)) return false;
        at = record.dataAt + record.dataLength;
        records.push_back(std::move(record));
    }
    return true;
}

}  // namespace

bool dns_build_query(uint16_t id, const char* name, std::string& query) {
    const std::string text = bare_name(name);
    if (text.empty() || text.size() > kMaxNameText) return false;
    query.clear();
    put16(query, id);
    put16(query, kFlagRecursionDesired);
    put16(query, 1);  // one question
    put16(query, 0);
    put16(query, 0);
    put16(query, 0);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('.', start);
        if (end == std::string::npos) end = text.size();
        const size_t label = end - start;
        if (label == 0 || label > kMaxLabel) return false;
        query += static_cast<char>(label);
        query.append(text, start, label);
        start = end + 1;
    }
    query += '\0';
    put16(query, kTypeA);
    put16(query, kClassIn);
    return true;
}

DnsAnswer dns_read_answer(const unsigned char* data, size_t length, uint16_t id, const char* name,
                          HostRecord& record) {
    const Reader r{data, length};
    if (!r.has(0, kHeaderSize)) return DnsAnswer::NotAnAnswer;
    const uint16_t flags = r.u16(2);
    if (r.u16(0) != id || !(flags & kFlagResponse) || (flags & kOpcodeMask) != 0 || r.u16(4) != 1)
        return DnsAnswer::NotAnAnswer;

    std::string question;
    size_t at = kHeaderSize;
    if (!read_name(r, at, question, at) || !r.has(at, 4)) return DnsAnswer::NotAnAnswer;
    if (r.u16(at) != kTypeA || r.u16(at + 2) != kClassIn) return DnsAnswer::NotAnAnswer;
    at += 4;
    // An answer about another name than the one asked for: the query was changed on its way (a
    // filter spoils the names it forbids), so the name asked for stays unresolved.
    const std::string asked = bare_name(name);
    if (!names_equal(question.c_str(), asked.c_str())) return DnsAnswer::NoSuchName;

    switch (flags & 0x000F) {
        case kNoError: break;
        case kNameError: return DnsAnswer::NoSuchName;
        case kServerFailure: return DnsAnswer::ServerFailure;
        default: return DnsAnswer::Refused;
    }
    if (flags & kFlagTruncated) return DnsAnswer::ServerFailure;  // no stream fallback here

    std::vector<AnswerRecord> records;
    if (!read_records(r, at, r.u16(6), records)) return DnsAnswer::NotAnAnswer;

    HostRecord found;
    found.name = question;
    for (int hop = 0; hop < kMaxCnameHops; ++hop) {
        const AnswerRecord* alias = nullptr;
        for (const AnswerRecord& a : records)
            if (a.type == kTypeCname && a.recordClass == kClassIn && names_equal(a.owner.c_str(), found.name.c_str()))
                alias = &a;
        if (!alias) break;
        std::string target;
        size_t ignored = 0;
        if (!read_name(r, alias->dataAt, target, ignored) || target.empty()) return DnsAnswer::NotAnAnswer;
        if (found.aliases.size() < kMaxHostAliases) found.aliases.push_back(found.name);
        found.name = target;
    }
    for (const AnswerRecord& a : records) {
        if (a.type != kTypeA || a.recordClass != kClassIn || a.dataLength != 4) continue;
        if (!names_equal(a.owner.c_str(), found.name.c_str()) || found.addresses.size() >= kMaxHostAddresses) continue;
        uint32_t address;
        std::memcpy(&address, data + a.dataAt, 4);  // already in network order
        found.addresses.push_back(address);
    }
    if (found.addresses.empty()) return DnsAnswer::NoAddress;
    record = std::move(found);
    return DnsAnswer::Found;
}

}  // namespace qf::ws2
