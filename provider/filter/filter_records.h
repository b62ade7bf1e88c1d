// The filter's mutable state: the socket and address record tables and the time warning flag.
// The hooks change them from many application threads at once, without a lock of the filter's
// own; a hook that works on a record holds it for the length of the call (HeldSocket,
// HeldAddress), so the record's slot is not given to another socket or address meanwhile.
#pragma once

// winsock2.h first: Windows' own headers want it before windows.h.
#include <winsock2.h>
#include <windows.h>

#include <atomic>

#include <addrrec.h>
#include <qfatomic.h>
#include <sockrec.h>

struct FilterRecords {
    SocketRecord sockets[SOCKREC_CAPACITY];
    INT socketCount;
    AddressRecord addresses[ADDRREC_CAPACITY];
    INT addressCount;

    // The almost-up alert has been shown since the allowance last reported 0 or 1.
    std::atomic<int> timeWarningShown;
};

FilterRecords& filter_records();

// Empties both tables (at the policy load).
void filter_reset_records();

// The record of a socket, held while this object lives. Empty when the socket has none.
class HeldSocket {
public:
    explicit HeldSocket(SOCKET socket);
    ~HeldSocket();
    HeldSocket(const HeldSocket&) = delete;
    HeldSocket& operator=(const HeldSocket&) = delete;
    explicit operator bool() const { return record_ != nullptr; }
    SocketRecord* operator->() const { return record_; }
    SocketRecord* get() const { return record_; }

private:
    SocketRecord* record_ = nullptr;
};

// The record of an address, held while this object lives. Empty when the address has none.
class HeldAddress {
public:
    explicit HeldAddress(DWORD address);
    ~HeldAddress();
    HeldAddress(const HeldAddress&) = delete;
    HeldAddress& operator=(const HeldAddress&) = delete;
    explicit operator bool() const { return record_ != nullptr; }
    AddressRecord* operator->() const { return record_; }
    AddressRecord& operator*() const { return *record_; }

private:
    AddressRecord* record_ = nullptr;
};

// Record fields that a send and a receive on the same socket may touch at once.
inline DWORD filter_violations(const SocketRecord* record) { return qf_atomic_load(&record->violationCount); }
inline bool filter_is_blocked(const SocketRecord* record) { return qf_atomic_load(&record->blockedFlag) == 1; }
inline WORD filter_port(const SocketRecord* record) { return qf_atomic_load(&record->port); }
inline void filter_set_port(SocketRecord* record, WORD port) { qf_atomic_store(&record->port, port); }
inline WORD filter_transfer(const SocketRecord* record) { return qf_atomic_load(&record->transferFlag); }
inline void filter_set_transfer(SocketRecord* record, WORD flag) { qf_atomic_store(&record->transferFlag, flag); }

// Record table calls with the counts read atomically.
int filter_add_socket(SOCKET socket, WORD port, DWORD address, WORD transferFlag);
void filter_delete_socket(SOCKET socket);
void filter_blacklist_socket(SOCKET socket);
int filter_add_address(DWORD address, WORD status, const char* hostName, WORD cleaningFlag);
void filter_delete_address(DWORD address);
