// A stand-in base provider for the tests of next-provider loading: it answers WSPStartup as told
// (a version, a failure, a table with a missing entry) and counts its start-ups and clean-ups.
// Its sockets are never used.
#include <ws2spi.h>

#include <string.h>

#include "fakebase.h"

namespace {

FakeBaseBehaviour g_behaviour = kFakeBaseNormal;
LONG g_startups = 0;
LONG g_cleanups = 0;

int fail(LPINT lpErrno) {
    if (lpErrno) *lpErrno = WSAEOPNOTSUPP;
    return SOCKET_ERROR;
}

int WSPAPI FakeCleanup(LPINT lpErrno) {
    g_cleanups++;
    if (lpErrno) *lpErrno = 0;
    return 0;
}

SOCKET WSPAPI FakeSocket(int, int, int, LPWSAPROTOCOL_INFOW, GROUP, DWORD, LPINT lpErrno) {
    fail(lpErrno);
    return INVALID_SOCKET;
}

}  // namespace

extern "C" void fakebase_set_behaviour(FakeBaseBehaviour behaviour) { g_behaviour = behaviour; }
extern "C" LONG fakebase_startups() { return g_startups; }
extern "C" LONG fakebase_cleanups() { return g_cleanups; }

extern "C" int WSPAPI WSPStartup(WORD, LPWSPDATA lpWSPData, LPWSAPROTOCOL_INFOW, WSPUPCALLTABLE,
                                 LPWSPPROC_TABLE lpProcTable) {
    if (g_behaviour == kFakeBaseFailsStartup) return WSAEPROVIDERFAILEDINIT;
    g_startups++;
    // Every entry is set (none is called but these two); one may be left out on purpose.
    void* entries[sizeof(WSPPROC_TABLE) / sizeof(void*)];
    for (void*& entry : entries) entry = reinterpret_cast<void*>(&fail);
    memcpy(lpProcTable, entries, sizeof(entries));
    lpProcTable->lpWSPCleanup = FakeCleanup;
    lpProcTable->lpWSPSocket = FakeSocket;
    if (g_behaviour == kFakeBaseMissingEntry) lpProcTable->lpWSPListen = nullptr;
    lpWSPData->wVersion = g_behaviour == kFakeBaseVersion11 ? MAKEWORD(1, 1) : MAKEWORD(2, 2);
    lpWSPData->wHighVersion = lpWSPData->wVersion;
    return 0;
}
