// Answer routine: the name a response answers and the IPv4 addresses it gives for that name.
#include "vtdns.h"

#include "dnsmessage.h"

#include <cstring>

using namespace vtdns;

namespace {

constexpr int kMaxChain = 16;   // CNAME links followed from the question's name

struct Chain {
    Name names[kMaxChain + 1];
    int size = 0;

    bool contains(const Name& name) const {
        for (int i = 0; i < size; ++i)
            if (dns_names_equal(names[i], name)) return true;
        return false;
    }
};

// Checks the data of the answer records this routine reads: an A record of class IN carries
// exactly four bytes, a CNAME exactly one name.
bool vtdns_check_answers(const Message& message, const Layout& layout) {
    size_t pos = layout.answerOffset;
    for (unsigned i = 0; i < layout.header.answerCount; ++i) {
        Record record;
        if (!dns_read_record(message, &pos, &record)) return false;
        if (record.rclass != kClassIn) continue;
        if (record.type == kTypeA && record.rdataLength != 4) return false;
        if (record.type == kTypeCname) {
            size_t target = record.rdataOffset;
            Name name;
            if (!dns_read_name(message, &target, &name)) return false;
            if (target != record.rdataOffset + record.rdataLength) return false;
        }
    }
    return true;
}

// Finds the target of the first CNAME (class IN) owned by owner; false when there is none.
bool vtdns_find_cname(const Message& message, const Layout& layout, const Name& owner, Name* target) {
    size_t pos = layout.answerOffset;
    for (unsigned i = 0; i < layout.header.answerCount; ++i) {
        Record record;
        if (!dns_read_record(message, &pos, &record)) return false;
        if (record.type != kTypeCname || record.rclass != kClassIn) continue;
        size_t at = record.ownerOffset;
        Name name;
        if (!dns_read_name(message, &at, &name) || !dns_names_equal(name, owner)) continue;
        at = record.rdataOffset;
        return dns_read_name(message, &at, target);
    }
    return false;
}

}  // namespace

extern "C" int vtdns_response_retrieve_name_ipaddr(const char* message, DWORD length, char* name, INT* addressCount,
                                                   DWORD* addresses) {
    if (addressCount != nullptr) *addressCount = 0;
    if (name != nullptr) name[0] = '\0';
    if (name == nullptr || addressCount == nullptr || addresses == nullptr) return 0;

    Message found;
    Layout layout;
    if (!dns_locate(reinterpret_cast<const unsigned char*>(message), length, true, &found, &layout)) return 0;
    if (!vtdns_check_answers(found, layout)) return 0;

    // The chain starts at the question's name and follows CNAMEs as a resolver would.
    Chain chain;
    size_t pos = layout.questionOffset;
    if (!dns_read_name(found, &pos, &chain.names[0])) return 0;
    chain.size = 1;
    char text[VTDNS_NAME_SIZE];
    if (!dns_name_text(chain.names[0], text, sizeof text)) return 0;

    Name target;
    while (chain.size <= kMaxChain && vtdns_find_cname(found, layout, chain.names[chain.size - 1], &target)) {
        if (chain.contains(target)) break;   // a CNAME loop leads nowhere new
        chain.names[chain.size++] = target;
    }

    // Addresses from A records (class IN) owned by a name of the chain, in message order.
    DWORD collected[VTDNS_MAX_ADDRESSES];
    INT count = 0;
    pos = layout.answerOffset;
    for (unsigned i = 0; i < layout.header.answerCount && count < VTDNS_MAX_ADDRESSES; ++i) {
        Record record;
        if (!dns_read_record(found, &pos, &record)) return 0;
        if (record.type != kTypeA || record.rclass != kClassIn) continue;
        size_t at = record.ownerOffset;
        Name owner;
        if (!dns_read_name(found, &at, &owner) || !chain.contains(owner)) continue;
        std::memcpy(&collected[count++], found.data + record.rdataOffset, 4);   // stays in network order
    }

    std::memcpy(name, text, std::strlen(text) + 1);
    std::memcpy(addresses, collected, sizeof(DWORD) * count);
    *addressCount = count;
    return 1;
}
