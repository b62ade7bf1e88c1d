// The three DNS routines on any bytes, each message in an allocation of exactly its size.
//
// Checked besides the sanitizers: a name is terminated within its 255 bytes and holds only
// printable characters; an answer gives at most 32 addresses and nothing at all when it fails;
// spoiling keeps the message's length, changes only label bytes (to '-'), and a spoiled query
// no longer asks for the name it asked for.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vtdns.h"

using qf_fuzz::check;

namespace {

void check_name(const char* name) {
    const void* end = memchr(name, '\0', VTDNS_NAME_SIZE);
    check(end != nullptr);
    for (const char* p = name; p != end; ++p) check(*p >= 0x21 && *p <= 0x7E);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> message(data, data + size);
    const DWORD length = static_cast<DWORD>(size);

    char asked[VTDNS_NAME_SIZE] = {0};
    const int found = vtdns_query_retrieve_name(message.data(), length, asked);
    check(found == 0 || found == 1);
    check_name(asked);
    if (!found) check(asked[0] == '\0');

    std::vector<char> spoiled = message;
    const int cleaned = vtdns_query_clean_name(spoiled.data(), length);
    check(cleaned == 0 || cleaned == 1);
    for (size_t i = 0; i < size; ++i) check(spoiled[i] == message[i] || spoiled[i] == '-');
    if (!cleaned) check(spoiled == message);
    if (cleaned && found) {
        char after[VTDNS_NAME_SIZE] = {0};
        vtdns_query_retrieve_name(spoiled.data(), length, after);
        // A name of nothing but dashes is its own spoiled form.
        check(strcmp(after, asked) != 0 || strspn(asked, "-.") == strlen(asked));
    }

    char answered[VTDNS_NAME_SIZE];
    memset(answered, 'x', sizeof answered);
    INT count = -5;
    DWORD addresses[VTDNS_MAX_ADDRESSES];
    const int parsed = vtdns_response_retrieve_name_ipaddr(message.data(), length, answered, &count, addresses);
    check(parsed == 0 || parsed == 1);
    check(count >= 0 && count <= VTDNS_MAX_ADDRESSES);
    check_name(answered);
    if (!parsed) check(count == 0 && answered[0] == '\0');
    return 0;
}
