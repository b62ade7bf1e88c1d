// The scriptable test provider (see scriptable.h): the base provider's procedure table, with the
// changes its script asks for.
#include "scriptable.h"

#include <cstring>
#include <mutex>

namespace {

struct State {
    std::mutex lock;
    ScriptableScript script = kScriptableDefault;
    ScriptableRecord record{};
    HMODULE base = nullptr;  // the base provider, with one reference per successful WSPStartup
    int baseStartups = 0;
    WSPPROC_TABLE baseProcs{};
};

State& state() {
    static State instance;  // gone with the library
    return instance;
}

int fail(LPINT lpErrno, int error) {
    if (lpErrno) *lpErrno = error;
    return SOCKET_ERROR;
}

int WSPAPI ScIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer, LPVOID lpvOutBuffer,
                   DWORD cbOutBuffer, LPDWORD lpcbBytesReturned, LPWSAOVERLAPPED lpOverlapped,
                   LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine, LPWSATHREADID lpThreadId, LPINT lpErrno) {
    State& st = state();
    ScriptableScript script;
    WSPPROC_TABLE procs;
    {
        std::lock_guard<std::mutex> guard(st.lock);
        script = st.script;
        procs = st.baseProcs;
    }
    if (dwIoControlCode == SIO_GET_EXTENSION_FUNCTION_POINTER && script.extensions != kExtensionsOfBase) {
        if (!lpvInBuffer || cbInBuffer < sizeof(GUID) || !lpvOutBuffer || cbOutBuffer < sizeof(void*))
            return fail(lpErrno, WSAEFAULT);
        if (script.extensions == kExtensionsRefused) return fail(lpErrno, script.extensionError);
        void* none = nullptr;
        std::memcpy(lpvOutBuffer, &none, sizeof(none));
        if (lpcbBytesReturned) *lpcbBytesReturned = sizeof(none);
        return 0;
    }
    return procs.lpWSPIoctl(s, dwIoControlCode, lpvInBuffer, cbInBuffer, lpvOutBuffer, cbOutBuffer, lpcbBytesReturned,
                            lpOverlapped, lpCompletionRoutine, lpThreadId, lpErrno);
}

int WSPAPI ScCleanup(LPINT lpErrno) {
    State& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.record.cleanups++;
    if (st.baseStartups > 0) {
        int ignored = 0;
        st.baseProcs.lpWSPCleanup(&ignored);
        FreeLibrary(st.base);  // the module stays while another start-up holds it
        if (--st.baseStartups == 0) st.base = nullptr;
    }
    if (st.script.cleanupError) return fail(lpErrno, st.script.cleanupError);
    if (lpErrno) *lpErrno = 0;
    return 0;
}

}  // namespace

extern "C" void scriptable_set_script(const ScriptableScript* script) {
    State& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.script = script ? *script : kScriptableDefault;
    st.record = ScriptableRecord{};
}

extern "C" void scriptable_get_record(ScriptableRecord* record) {
    State& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    if (record) *record = st.record;
}

extern "C" int WSPAPI WSPStartup(WORD wVersionRequested, LPWSPDATA lpWSPData, LPWSAPROTOCOL_INFOW lpProtocolInfo,
                                 WSPUPCALLTABLE UpcallTable, LPWSPPROC_TABLE lpProcTable) {
    if (!lpWSPData || !lpProcTable) return WSAEFAULT;
    State& st = state();
    std::lock_guard<std::mutex> guard(st.lock);
    st.record.startups++;
    st.record.versionRequested = wVersionRequested;
    st.record.startupCatalogEntryId = lpProtocolInfo ? lpProtocolInfo->dwCatalogEntryId : 0;
    if (st.script.startupError) return st.script.startupError;

    char path[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA("%SystemRoot%\\system32\\qfafd.dll", path, sizeof(path));
    if (length == 0 || length > sizeof(path)) return WSAEPROVIDERFAILEDINIT;
    HMODULE base = LoadLibraryA(path);
    if (!base) return WSAEPROVIDERFAILEDINIT;
    auto startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(base, "WSPStartup")));
    WSPDATA baseData{};
    WSPPROC_TABLE procs{};
    int error = startup ? startup(wVersionRequested, &baseData, lpProtocolInfo, UpcallTable, &procs)
                        : WSAEPROVIDERFAILEDINIT;
    if (error) {
        FreeLibrary(base);
        return error;
    }
    st.base = base;
    st.baseStartups++;
    st.baseProcs = procs;
    procs.lpWSPIoctl = ScIoctl;
    procs.lpWSPCleanup = ScCleanup;
    const int entries = static_cast<int>(sizeof(WSPPROC_TABLE) / sizeof(void*));
    if (st.script.missingEntry >= 0 && st.script.missingEntry < entries) {
        void* none = nullptr;
        std::memcpy(reinterpret_cast<char*>(&procs) + st.script.missingEntry * sizeof(void*), &none, sizeof(none));
    }
    *lpProcTable = procs;
    lpWSPData->wVersion = st.script.version;
    lpWSPData->wHighVersion = st.script.version;
    const char description[] = "Quillfence scriptable test provider";
    size_t i = 0;
    for (; description[i] && i < WSPDESCRIPTION_LEN; ++i) lpWSPData->szDescription[i] = description[i];
    lpWSPData->szDescription[i] = 0;
    return 0;
}
