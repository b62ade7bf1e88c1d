// sockrec: the table of inspected sockets, kept in the caller's array (see recordtable.h for
// how records stay in place while several threads use the table).
#include "sockrec.h"

#include "recordtable.h"

#include <qfatomic.h>

namespace {

struct SocketTraits {
    using Record = SocketRecord;
    using Key = SOCKET;
    static constexpr int kCapacity = SOCKREC_CAPACITY;
    static constexpr bool kReplaceWhenFull = false;  // live sockets: a full table refuses
    static Key key(const Record& record) { return record.socket; }
    static bool is_free(const Record& record) { return record.socket == INVALID_SOCKET; }
    static void mark_free(Record* record) {
        *record = SocketRecord{};
        record->socket = INVALID_SOCKET;
    }
};

using SocketTable = recordtable::RecordTable<SocketTraits>;

}  // namespace

extern "C" int sockrec_init(void) { return 1; }

extern "C" int sockrec_add(SocketRecord* table, INT* count, SOCKET socket, WORD port, DWORD address, WORD transferFlag,
                           WORD state1, WORD state2, WORD state3, WORD state4, WORD state5) {
    if (table == nullptr || count == nullptr || socket == INVALID_SOCKET) return 0;
    SocketRecord record{};
    record.socket = socket;
    record.port = port;
    record.address = address;
    record.blockedFlag = 0;
    record.transferFlag = transferFlag;
    record.violationCount = 0;
    record.cleanState[0] = state1;
    record.cleanState[1] = state2;
    record.cleanState[2] = state3;
    record.cleanState[3] = state4;
    record.cleanState[4] = state5;
    return SocketTable::of(table)->add(count, record);
}

extern "C" int sockrec_retrieve(SocketRecord* table, INT count, SOCKET socket, SocketRecord** record) {
    if (record != nullptr) *record = nullptr;
    if (table == nullptr || record == nullptr) return 0;
    SocketRecord* found = SocketTable::of(table)->find(count, socket);
    if (found == nullptr) return 0;
    *record = found;
    return 1;
}

extern "C" int sockrec_hold(SocketRecord* table, INT count, SOCKET socket, SocketRecord** record) {
    if (record != nullptr) *record = nullptr;
    if (table == nullptr || record == nullptr) return 0;
    SocketRecord* found = SocketTable::of(table)->hold(count, socket);
    if (found == nullptr) return 0;
    *record = found;
    return 1;
}

extern "C" int sockrec_release(SocketRecord* table, const SocketRecord* record) {
    if (table == nullptr || record == nullptr) return 0;
    return SocketTable::of(table)->release(record);
}

extern "C" int sockrec_delete(SocketRecord* table, INT* count, SOCKET socket) {
    if (table == nullptr || count == nullptr) return 0;
    return SocketTable::of(table)->remove(count, socket);
}

extern "C" int sockrec_blacklist(SocketRecord* table, INT count, SOCKET socket) {
    if (table == nullptr) return 0;
    SocketRecord* found = SocketTable::of(table)->find(count, socket);
    if (found == nullptr) return 0;
    qf_atomic_store(&found->blockedFlag, WORD{1});
    return 1;
}
