// addrrec: the table of remote addresses, kept in the caller's array (see recordtable.h for how
// records stay in place while several threads use the table).
#include "addrrec.h"

#include "recordtable.h"


#include <cstring>

namespace {

// Any address value may be recorded (0.0.0.0 included), so a free slot is marked by its status.
constexpr WORD kStatusFree = 0xFFFF;

struct AddressTraits {
    using Record = AddressRecord;
    using Key = DWORD;
    static constexpr int kCapacity = ADDRREC_CAPACITY;
    // Addresses are never forgotten otherwise: a full table that refused new ones would leave
    // every later address unjudged, so the oldest record makes room.
    static constexpr bool kReplaceWhenFull = true;
    static Key key(const Record& record) { return record.address; }
    static bool is_free(const Record& record) { return record.status == kStatusFree; }
    static void mark_free(Record* record) {
        *record = AddressRecord{};
        record->status = kStatusFree;
    }
};

using AddressTable = recordtable::RecordTable<AddressTraits>;

}  // namespace

extern "C" int addrrec_init(void) { return 1; }

extern "C" int addrrec_add(AddressRecord* table, INT* count, DWORD address, WORD status, const char* hostName,
                           WORD cleaningFlag) {
    if (table == nullptr || count == nullptr || status == kStatusFree) return 0;
    AddressRecord record{};
    record.address = address;
    record.status = status;
    record.cleaningFlag = cleaningFlag;
    if (hostName != nullptr) {
        // Cut to the 191 characters that fit; the rest of the field stays zero.
        size_t length = 0;
        while (length < ADDRREC_HOSTNAME_SIZE - 1 && hostName[length] != '\0') ++length;
        std::memcpy(record.hostName, hostName, length);
    }
    return AddressTable::of(table)->add(count, record);
}

extern "C" int addrrec_retrieve(AddressRecord* table, INT count, DWORD address, AddressRecord** record) {
    if (record != nullptr) *record = nullptr;
    if (table == nullptr || record == nullptr) return 0;
    AddressRecord* found = AddressTable::of(table)->find(count, address);
    if (found == nullptr) return 0;
    *record = found;
    return 1;
}

extern "C" int addrrec_hold(AddressRecord* table, INT count, DWORD address, AddressRecord** record) {
    if (record != nullptr) *record = nullptr;
    if (table == nullptr || record == nullptr) return 0;
    AddressRecord* found = AddressTable::of(table)->hold(count, address);
    if (found == nullptr) return 0;
    *record = found;
    return 1;
}

extern "C" int addrrec_release(AddressRecord* table, const AddressRecord* record) {
    if (table == nullptr || record == nullptr) return 0;
    return AddressTable::of(table)->release(record);
}

extern "C" int addrrec_delete(AddressRecord* table, INT* count, DWORD address) {
    if (table == nullptr || count == nullptr) return 0;
    return AddressTable::of(table)->remove(count, address);
}
