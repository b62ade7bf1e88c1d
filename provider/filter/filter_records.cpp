#include "filter_records.h"

namespace {
FilterRecords g_records;
}

FilterRecords& filter_records() { return g_records; }

void filter_reset_records() {
    FilterRecords& r = g_records;
    sockrec_init();
    qf_atomic_store(&r.socketCount, 0);
    addrrec_init();
    qf_atomic_store(&r.addressCount, 0);
    r.timeWarningShown.store(0);
}

HeldSocket::HeldSocket(SOCKET socket) {
    FilterRecords& r = g_records;
    if (sockrec_hold(r.sockets, qf_atomic_load(&r.socketCount), socket, &record_) != 1) record_ = nullptr;
}

HeldSocket::~HeldSocket() {
    if (record_) sockrec_release(g_records.sockets, record_);
}

HeldAddress::HeldAddress(DWORD address) {
    FilterRecords& r = g_records;
    if (addrrec_hold(r.addresses, qf_atomic_load(&r.addressCount), address, &record_) != 1) record_ = nullptr;
}

HeldAddress::~HeldAddress() {
    if (record_) addrrec_release(g_records.addresses, record_);
}

int filter_add_socket(SOCKET socket, WORD port, DWORD address, WORD transferFlag) {
    FilterRecords& r = g_records;
    return sockrec_add(r.sockets, &r.socketCount, socket, port, address, transferFlag, 0, 0, 0, 0, 0);
}

void filter_delete_socket(SOCKET socket) {
    FilterRecords& r = g_records;
    sockrec_delete(r.sockets, &r.socketCount, socket);
}

void filter_blacklist_socket(SOCKET socket) {
    FilterRecords& r = g_records;
    sockrec_blacklist(r.sockets, qf_atomic_load(&r.socketCount), socket);
}

int filter_add_address(DWORD address, WORD status, const char* hostName, WORD cleaningFlag) {
    FilterRecords& r = g_records;
    return addrrec_add(r.addresses, &r.addressCount, address, status, hostName, cleaningFlag);
}

void filter_delete_address(DWORD address) {
    FilterRecords& r = g_records;
    addrrec_delete(r.addresses, &r.addressCount, address);
}
