// Socket creation, connection set-up, close, names, options and ioctls.
#include "dispatch.h"
#include "user_memory.h"

#include <mswsock.h>

#include <cstring>

using namespace qf::ws2;
using qf::wscat::CatalogEntry;

namespace {

bool visible_to_applications(const WSAPROTOCOL_INFOW& info) {
    return !(info.dwProviderFlags & PFL_HIDDEN) && info.ProtocolChain.ChainLen != LAYERED_PROTOCOL;
}

bool protocol_matches(const WSAPROTOCOL_INFOW& info, int protocol) {
    if (protocol >= info.iProtocol && protocol <= info.iProtocol + info.iProtocolMaxOffset) return true;
    return protocol == 0 && (info.dwProviderFlags & PFL_MATCHES_PROTOCOL_ZERO);
}

// The catalog entry a new socket is made on: the one the caller's protocol info names, else the
// first entry in catalog order that matches family, type and protocol.
int choose_entry(int af, int type, int protocol, const WSAPROTOCOL_INFOW* info, CatalogEntry& chosen) {
    auto catalog = ws2_catalog();
    if (!catalog) return WSANOTINITIALISED;
    if (info) {
        for (const CatalogEntry& entry : catalog->entries) {
            if (entry.info.dwCatalogEntryId == info->dwCatalogEntryId) {
                chosen = entry;
                return 0;
            }
        }
        return WSAEINVAL;
    }
    if (af == AF_UNSPEC && type == 0 && protocol == 0) return WSAEINVAL;
    bool familyKnown = false;
    bool typeKnown = false;
    for (const CatalogEntry& entry : catalog->entries) {
        if (!visible_to_applications(entry.info)) continue;
        if (af != AF_UNSPEC && entry.info.iAddressFamily != af) continue;
        familyKnown = true;
        if (type != 0 && entry.info.iSocketType != type) continue;
        typeKnown = true;
        if (!protocol_matches(entry.info, protocol)) continue;
        chosen = entry;
        return 0;
    }
    if (!familyKnown) return WSAEAFNOSUPPORT;
    if (!typeKnown) return WSAESOCKTNOSUPPORT;
    return WSAEPROTONOSUPPORT;
}

void widen_info(const WSAPROTOCOL_INFOA& from, WSAPROTOCOL_INFOW& to) {
    std::memcpy(&to, &from, offsetof(WSAPROTOCOL_INFOA, szProtocol));
    for (size_t i = 0; i <= WSAPROTOCOL_LEN; ++i) to.szProtocol[i] = static_cast<unsigned char>(from.szProtocol[i]);
    to.szProtocol[WSAPROTOCOL_LEN] = 0;
}

void narrow_info(const WSAPROTOCOL_INFOW& from, WSAPROTOCOL_INFOA& to) {
    std::memcpy(&to, &from, offsetof(WSAPROTOCOL_INFOW, szProtocol));
    for (size_t i = 0; i <= WSAPROTOCOL_LEN; ++i)
        to.szProtocol[i] = from.szProtocol[i] < 0x80 ? static_cast<CHAR>(from.szProtocol[i]) : '?';
    to.szProtocol[WSAPROTOCOL_LEN] = 0;
}

// SO_OPENTYPE: whether socket() makes overlapped sockets (0) or not, for the calling thread.
thread_local int openType = 0;

SOCKET fail_socket(int error) {
    SetLastError(static_cast<DWORD>(error));
    return INVALID_SOCKET;
}

// An address the caller hands in: length bytes to read.
bool address_readable(const struct sockaddr* name, int length) {
    return length >= 0 && user_readable(name, static_cast<size_t>(length));
}

// An address the call writes back: the length to read and write, then as many bytes as it says.
bool address_writable(struct sockaddr* name, int* length) {
    if (!user_writable(length, sizeof(*length))) return false;
    return *length >= 0 && user_writable(name, static_cast<size_t>(*length));
}

}  // namespace

extern "C" SOCKET WSAAPI WSASocketW(int af, int type, int protocol, LPWSAPROTOCOL_INFOW lpProtocolInfo, GROUP g,
                                    DWORD dwFlags) {
    if (!ws2_started()) return fail_socket(WSANOTINITIALISED);
    if (lpProtocolInfo) {
        if (af == FROM_PROTOCOL_INFO) af = lpProtocolInfo->iAddressFamily;
        if (type == FROM_PROTOCOL_INFO) type = lpProtocolInfo->iSocketType;
        if (protocol == FROM_PROTOCOL_INFO) protocol = lpProtocolInfo->iProtocol;
    }
    CatalogEntry entry;
    if (int error = choose_entry(af, type, protocol, lpProtocolInfo, entry)) return fail_socket(error);
    std::shared_ptr<LoadedProvider> provider;
    if (int error = ws2_provider_for(entry, provider)) return fail_socket(error);
    // A duplicated socket's info carries the provider's token; otherwise the catalog's own info goes down.
    WSAPROTOCOL_INFOW info = lpProtocolInfo ? *lpProtocolInfo : entry.info;
    int error = 0;
    SOCKET s;
    {
        CreationScope scope;
        s = provider->procs.lpWSPSocket(af, type, protocol, &info, g, dwFlags, &error);
    }
    note_called(provider);
    if (s == INVALID_SOCKET) return fail_socket(error ? error : WSAENOBUFS);
    adopt(s, provider, entry.info.dwCatalogEntryId);
    return s;
}

extern "C" SOCKET WSAAPI WSASocketA(int af, int type, int protocol, LPWSAPROTOCOL_INFOA lpProtocolInfo, GROUP g,
                                    DWORD dwFlags) {
    if (!lpProtocolInfo) return WSASocketW(af, type, protocol, nullptr, g, dwFlags);
    WSAPROTOCOL_INFOW info;
    widen_info(*lpProtocolInfo, info);
    return WSASocketW(af, type, protocol, &info, g, dwFlags);
}

SOCKET WSAAPI socket(int af, int type, int protocol) {
    return WSASocketW(af, type, protocol, nullptr, 0, openType == 0 ? WSA_FLAG_OVERLAPPED : 0);
}

extern "C" SOCKET WSAAPI WSAAccept(SOCKET s, struct sockaddr* addr, LPINT addrlen, LPCONDITIONPROC lpfnCondition,
                                   DWORD_PTR dwCallbackData) {
    Target t;
    if (!resolve(s, t)) return INVALID_SOCKET;
    if (addr && !address_writable(addr, addrlen)) return fail_socket(WSAEFAULT);
    int error = 0;
    SOCKET accepted;
    {
        CreationScope scope;
            accepted = t.provider->procs.lpWSPAccept(s, addr, addrlen, lpfnCondition, dwCallbackData, &error);
    }
    if (accepted == INVALID_SOCKET) return fail_socket(error);
    adopt(accepted, t.provider, t.record.catalogEntryId);
    return accepted;
}

SOCKET WSAAPI accept(SOCKET s, struct sockaddr* addr, int* addrlen) {
    return WSAAccept(s, addr, addrlen, nullptr, 0);
}

extern "C" SOCKET WSAAPI WSAJoinLeaf(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                                     LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS, DWORD dwFlags) {
    Target t;
    if (!resolve(s, t)) return INVALID_SOCKET;
    if (!address_readable(name, namelen)) return fail_socket(WSAEFAULT);
    int error = 0;
    SOCKET leaf;
    {
        CreationScope scope;
            leaf = t.provider->procs.lpWSPJoinLeaf(s, name, namelen, lpCallerData, lpCalleeData, lpSQOS, lpGQOS, dwFlags,
                                               &error);
    }
    if (leaf == INVALID_SOCKET) return fail_socket(error);
    if (leaf != s) adopt(leaf, t.provider, t.record.catalogEntryId);
    return leaf;
}

extern "C" int WSAAPI WSAConnect(SOCKET s, const struct sockaddr* name, int namelen, LPWSABUF lpCallerData,
                                 LPWSABUF lpCalleeData, LPQOS lpSQOS, LPQOS lpGQOS) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    // A null address is the provider's to judge (a layered provider may give it a meaning).
    if (name && !address_readable(name, namelen)) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPConnect(s, name, namelen, lpCallerData, lpCalleeData, lpSQOS, lpGQOS, &error) != 0)
        return fail(error);
    return 0;
}

int WSAAPI connect(SOCKET s, const struct sockaddr* name, int namelen) {
    return WSAConnect(s, name, namelen, nullptr, nullptr, nullptr, nullptr);
}

int WSAAPI bind(SOCKET s, const struct sockaddr* name, int namelen) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!address_readable(name, namelen)) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPBind(s, name, namelen, &error) != 0) return fail(error);
    return 0;
}

int WSAAPI listen(SOCKET s, int backlog) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPListen(s, backlog, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI closesocket(SOCKET s) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPCloseSocket(s, &error) != 0) return fail(error);
    table_forget_closed(s, t.record.generation);
    return 0;
}

int WSAAPI shutdown(SOCKET s, int how) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPShutdown(s, how, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSASendDisconnect(SOCKET s, LPWSABUF lpOutboundDisconnectData) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPSendDisconnect(s, lpOutboundDisconnectData, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSARecvDisconnect(SOCKET s, LPWSABUF lpInboundDisconnectData) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    int error = 0;
    if (t.provider->procs.lpWSPRecvDisconnect(s, lpInboundDisconnectData, &error) != 0) return fail(error);
    return 0;
}

int WSAAPI getpeername(SOCKET s, struct sockaddr* name, int* namelen) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!address_writable(name, namelen)) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPGetPeerName(s, name, namelen, &error) != 0) return fail(error);
    return 0;
}

int WSAAPI getsockname(SOCKET s, struct sockaddr* name, int* namelen) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!address_writable(name, namelen)) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPGetSockName(s, name, namelen, &error) != 0) return fail(error);
    return 0;
}

int WSAAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
    if (level == SOL_SOCKET && optname == SO_OPENTYPE) {
        // The thread's option, asked on any handle (INVALID_SOCKET, as documented).
        if (!ws2_started()) return fail(WSANOTINITIALISED);
        if (!user_writable(optlen, sizeof(*optlen)) || *optlen < static_cast<int>(sizeof(int)) ||
            !user_writable(optval, sizeof(int)))
            return fail(WSAEFAULT);
        std::memcpy(optval, &openType, sizeof(int));
        *optlen = sizeof(int);
        return 0;
    }
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!user_writable(optlen, sizeof(*optlen)) || *optlen < 0 || !user_writable(optval, static_cast<size_t>(*optlen)))
        return fail(WSAEFAULT);
    int error = 0;
    if (level == SOL_SOCKET && optname == SO_PROTOCOL_INFOA) {
        // Providers answer the wide form; the narrow one is made here.
        if (!optval || *optlen < static_cast<int>(sizeof(WSAPROTOCOL_INFOA))) return fail(WSAEFAULT);
        WSAPROTOCOL_INFOW wide;
        int wideLength = sizeof(wide);
        if (t.provider->procs.lpWSPGetSockOpt(s, level, SO_PROTOCOL_INFOW, reinterpret_cast<char*>(&wide),
                                              &wideLength, &error) != 0)
            return fail(error);
        narrow_info(wide, *reinterpret_cast<WSAPROTOCOL_INFOA*>(optval));
        *optlen = sizeof(WSAPROTOCOL_INFOA);
        return 0;
    }
    if (t.provider->procs.lpWSPGetSockOpt(s, level, optname, optval, optlen, &error) != 0) return fail(error);
    if (level == SOL_SOCKET && optname == SO_ERROR) WSASetLastError(0);  // reading SO_ERROR clears the thread's error
    return 0;
}

int WSAAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    if (level == SOL_SOCKET && optname == SO_OPENTYPE) {
        if (!ws2_started()) return fail(WSANOTINITIALISED);
        if (optlen < static_cast<int>(sizeof(int)) || !user_readable(optval, sizeof(int))) return fail(WSAEFAULT);
        int value;
        std::memcpy(&value, optval, sizeof(value));
        if (value != 0 && value != SO_SYNCHRONOUS_ALERT && value != SO_SYNCHRONOUS_NONALERT) return fail(WSAEINVAL);
        openType = value;
        return 0;
    }
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (optlen < 0 || (optval && !user_readable(optval, static_cast<size_t>(optlen)))) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPSetSockOpt(s, level, optname, optval, optlen, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSAIoctl(SOCKET s, DWORD dwIoControlCode, LPVOID lpvInBuffer, DWORD cbInBuffer,
                               LPVOID lpvOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbBytesReturned,
                               LPWSAOVERLAPPED lpOverlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if ((lpvInBuffer && !user_readable(lpvInBuffer, cbInBuffer)) ||
        (lpvOutBuffer && !user_writable(lpvOutBuffer, cbOutBuffer)) ||
        (lpcbBytesReturned && !user_writable(lpcbBytesReturned, sizeof(DWORD))) ||
        (lpOverlapped && !user_writable(lpOverlapped, sizeof(WSAOVERLAPPED))))
        return fail(WSAEFAULT);
    LPWSATHREADID thread = lpOverlapped ? ws2_current_thread_id() : nullptr;
    int error = 0;
    if (t.provider->procs.lpWSPIoctl(s, dwIoControlCode, lpvInBuffer, cbInBuffer, lpvOutBuffer, cbOutBuffer,
                                     lpcbBytesReturned, lpOverlapped, lpCompletionRoutine, thread, &error) != 0)
        return fail(error);
    return 0;
}

extern "C" int WSAAPI ioctlsocket(SOCKET s, LONG cmd, u_long* argp) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    // Read for a command that takes a value (FIONBIO), written for one that answers (FIONREAD).
    bool usable = (static_cast<DWORD>(cmd) & IOC_OUT) ? user_writable(argp, sizeof(*argp))
                                                       : user_readable(argp, sizeof(*argp));
    if (!usable) return fail(WSAEFAULT);
    DWORD returned = 0;
    int error = 0;
    if (t.provider->procs.lpWSPIoctl(s, static_cast<DWORD>(cmd), argp, sizeof(*argp), argp, sizeof(*argp), &returned,
                                     nullptr, nullptr, nullptr, &error) != 0)
        return fail(error);
    return 0;
}

extern "C" BOOL WSAAPI WSAGetQOSByName(SOCKET s, LPWSABUF lpQOSName, LPQOS lpQOS) {
    Target t;
    if (!resolve(s, t)) return FALSE;
    int error = 0;
    if (!t.provider->procs.lpWSPGetQOSByName(s, lpQOSName, lpQOS, &error)) {
        fail(error);
        return FALSE;
    }
    return TRUE;
}

extern "C" int WSAAPI WSADuplicateSocketW(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOW lpProtocolInfo) {
    Target t;
    if (!resolve(s, t)) return SOCKET_ERROR;
    if (!user_writable(lpProtocolInfo, sizeof(*lpProtocolInfo))) return fail(WSAEFAULT);
    int error = 0;
    if (t.provider->procs.lpWSPDuplicateSocket(s, dwProcessId, lpProtocolInfo, &error) != 0) return fail(error);
    return 0;
}

extern "C" int WSAAPI WSADuplicateSocketA(SOCKET s, DWORD dwProcessId, LPWSAPROTOCOL_INFOA lpProtocolInfo) {
    if (!lpProtocolInfo) {
        Target t;
        if (!resolve(s, t)) return SOCKET_ERROR;
        return fail(WSAEFAULT);
    }
    WSAPROTOCOL_INFOW wide;
    if (WSADuplicateSocketW(s, dwProcessId, &wide) != 0) return SOCKET_ERROR;
    narrow_info(wide, *lpProtocolInfo);
    return 0;
}
