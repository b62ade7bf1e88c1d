// vtlsp.dll under Wine, as the Winsock runtime meets it: loaded with LoadLibrary, started through
// its exported WSPStartup with a chain entry over a base provider (winebase.dll, which works with
// Wine's own ws2_32), and used to fetch pages from a loopback server.
//
// Wine's catalog cannot take an installed provider, so this program plays the runtime: it hands
// vtlsp the catalog (vtlsp's import of WSCEnumProtocols answers with the three entries below) and
// the upcall table, and calls the procedure table it gets back.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2spi.h>

#include <string.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <lexstore.h>

#include "machine.h"
#include "temp_machine_root.h"
#include "winebase.h"

namespace {

// vtlsp's own provider identifier; the base and chain entries' identifiers are the test's.
const GUID kVtlspId = {0x64C92200, 0xC857, 0x11D4, {0x95, 0x07, 0x00, 0x00, 0xE8, 0x70, 0x8F, 0xED}};
const GUID kBaseId = {0x5F1E0C11, 0x2B3A, 0x4C5D, {0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65}};
const GUID kChainId = {0x5F1E0C12, 0x2B3A, 0x4C5D, {0x8E, 0x9F, 0x10, 0x21, 0x32, 0x43, 0x54, 0x66}};
const DWORD kBaseEntry = 3001, kLayeredEntry = 3002, kChainEntry = 3003;

const char kWord[] = "gorgonzola";  // on the disallow list
const char kCleanBody[] = "<html><body>A page about the weather, nothing else.</body></html>";
const char kDisallowedBody[] = "<html><body>This page is about gorgonzola.</body></html>";

std::vector<WSAPROTOCOL_INFOW> g_catalog;

WSAPROTOCOL_INFOW entry(const GUID& provider, DWORD id, int chainLength, std::vector<DWORD> chain, const wchar_t* name) {
    WSAPROTOCOL_INFOW info;
    memset(&info, 0, sizeof(info));
    info.dwServiceFlags1 = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_GRACEFUL_CLOSE | XP1_EXPEDITED_DATA |
                           XP1_IFS_HANDLES;
    info.ProviderId = provider;
    info.dwCatalogEntryId = id;
    info.ProtocolChain.ChainLen = chainLength;
    for (size_t i = 0; i < chain.size(); ++i) info.ProtocolChain.ChainEntries[i] = chain[i];
    info.iVersion = 2;
    info.iAddressFamily = AF_INET;
    info.iMaxSockAddr = info.iMinSockAddr = sizeof(sockaddr_in);
    info.iSocketType = SOCK_STREAM;
    info.iProtocol = IPPROTO_TCP;
    wcsncpy(info.szProtocol, name, WSAPROTOCOL_LEN);
    return info;
}

int WSPAPI catalog_enum(LPINT, LPWSAPROTOCOL_INFOW buffer, LPDWORD length, LPINT lpErrno) {
    const DWORD needed = static_cast<DWORD>(g_catalog.size() * sizeof(WSAPROTOCOL_INFOW));
    if (!buffer || *length < needed) {
        *length = needed;
        *lpErrno = WSAENOBUFS;
        return SOCKET_ERROR;
    }
    memcpy(buffer, g_catalog.data(), needed);
    return static_cast<int>(g_catalog.size());
}

// Points the module's import of module!function at replacement.
bool patch_import(HMODULE module, const char* imported, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), imported) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            DWORD old = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &old)) return false;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), old, &old);
            return true;
        }
    }
    return false;
}

// The runtime's side of the upcalls: socket handles for vtlsp's contexts, provider paths.
std::mutex g_handlesLock;
std::map<SOCKET, DWORD_PTR> g_handles;
SOCKET g_nextHandle = 0x4000;
std::wstring g_folder;  // where the test program, vtlsp.dll and winebase.dll are

SOCKET WSPAPI up_create_socket_handle(DWORD, DWORD_PTR context, LPINT) {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    const SOCKET handle = g_nextHandle;
    g_nextHandle += 4;
    g_handles[handle] = context;
    return handle;
}

int WSPAPI up_query_socket_handle_context(SOCKET s, PDWORD_PTR context, LPINT lpErrno) {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    auto found = g_handles.find(s);
    if (found == g_handles.end()) {
        *lpErrno = WSAENOTSOCK;
        return SOCKET_ERROR;
    }
    *context = found->second;
    return 0;
}

int WSPAPI up_close_socket_handle(SOCKET s, LPINT lpErrno) {
    std::lock_guard<std::mutex> guard(g_handlesLock);
    if (g_handles.erase(s) == 0) {
        *lpErrno = WSAENOTSOCK;
        return SOCKET_ERROR;
    }
    return 0;
}

int WSPAPI up_get_provider_path(LPGUID provider, WCHAR* path, LPINT length, LPINT lpErrno) {
    std::wstring file;
    if (memcmp(provider, &kBaseId, sizeof(GUID)) == 0)
        file = g_folder + L"winebase.dll";
    else if (memcmp(provider, &kVtlspId, sizeof(GUID)) == 0 || memcmp(provider, &kChainId, sizeof(GUID)) == 0)
        file = g_folder + L"vtlsp.dll";
    if (file.empty()) {
        *lpErrno = WSAEINVAL;
        return SOCKET_ERROR;
    }
    if (*length <= static_cast<int>(file.size())) {
        *length = static_cast<int>(file.size()) + 1;
        *lpErrno = WSAEFAULT;
        return SOCKET_ERROR;
    }
    memcpy(path, file.c_str(), (file.size() + 1) * sizeof(WCHAR));
    return 0;
}

BOOL WSPAPI up_post_message(HWND window, UINT message, WPARAM w, LPARAM l) { return PostMessageW(window, message, w, l); }

int WSPAPI up_open_current_thread(LPWSATHREADID id, LPINT) {
    id->ThreadHandle = OpenThread(THREAD_ALL_ACCESS, FALSE, GetCurrentThreadId());
    id->Reserved = 0;
    return 0;
}

int WSPAPI up_close_thread(LPWSATHREADID id, LPINT) {
    CloseHandle(id->ThreadHandle);
    return 0;
}

int WSPAPI up_queue_apc(LPWSATHREADID id, LPWSAUSERAPC routine, DWORD_PTR context, LPINT lpErrno) {
    if (QueueUserAPC(reinterpret_cast<PAPCFUNC>(routine), id->ThreadHandle, context)) return 0;
    *lpErrno = WSAEINVAL;
    return SOCKET_ERROR;
}

BOOL WSPAPI up_close_event(WSAEVENT event, LPINT) { return CloseHandle(event); }
WSAEVENT WSPAPI up_create_event(LPINT) { return CreateEventW(NULL, TRUE, FALSE, NULL); }
BOOL WSPAPI up_set_event(WSAEVENT event, LPINT) { return SetEvent(event); }
BOOL WSPAPI up_reset_event(WSAEVENT event, LPINT) { return ResetEvent(event); }
int WSPAPI up_fd_is_set(SOCKET s, fd_set* set) { return __WSAFDIsSet(s, set); }
SOCKET WSPAPI up_modify_ifs_handle(DWORD, SOCKET s, LPINT) { return s; }
int WSPAPI up_query_blocking_callback(DWORD, LPBLOCKINGCALLBACK* callback, PDWORD_PTR context, LPINT) {
    *callback = NULL;
    *context = 0;
    return 0;
}

WSPUPCALLTABLE upcalls() {
    WSPUPCALLTABLE table;
    table.lpWPUCloseEvent = up_close_event;
    table.lpWPUCloseSocketHandle = up_close_socket_handle;
    table.lpWPUCreateEvent = up_create_event;
    table.lpWPUCreateSocketHandle = up_create_socket_handle;
    table.lpWPUFDIsSet = up_fd_is_set;
    table.lpWPUGetProviderPath = up_get_provider_path;
    table.lpWPUModifyIFSHandle = up_modify_ifs_handle;
    table.lpWPUPostMessage = up_post_message;
    table.lpWPUQueryBlockingCallback = up_query_blocking_callback;
    table.lpWPUQuerySocketHandleContext = up_query_socket_handle_context;
    table.lpWPUQueueApc = up_queue_apc;
    table.lpWPUResetEvent = up_reset_event;
    table.lpWPUSetEvent = up_set_event;
    table.lpWPUOpenCurrentThread = up_open_current_thread;
    table.lpWPUCloseThread = up_close_thread;
    return table;
}

// A web server on a free loopback port that answers each request with one page and closes.
class PageServer {
public:
    explicit PageServer(const std::string& body) {
        response_ = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\n\r\n" + body;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~PageServer() {
        closesocket(listener_);
        if (thread_.joinable()) thread_.join();
    }
    WORD port() const { return port_; }
    const std::string& response() const { return response_; }

private:
    void serve() {
        SOCKET client = accept(listener_, NULL, NULL);
        if (client == INVALID_SOCKET) return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int n = recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            request.append(buffer, n);
        }
        send(client, response_.data(), static_cast<int>(response_.size()), 0);
        shutdown(client, SD_SEND);
        while (recv(client, buffer, sizeof(buffer), 0) > 0) {
        }
        closesocket(client);
    }

    std::string response_;
    SOCKET listener_ = INVALID_SOCKET;
    WORD port_ = 0;
    std::thread thread_;
};

class VtlspUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA wsa;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &wsa));
        std::string error;
        ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
        ASSERT_EQ(1, lexs_openit());
        char value[LEXS_VALUE_SIZE] = {};
        ASSERT_EQ(1, lexs_insertdb(value, kWord, Word, -1));
        lexs_closedbase();

        WCHAR self[MAX_PATH];
        const DWORD n = GetModuleFileNameW(NULL, self, MAX_PATH);
        ASSERT_GT(n, 0u);
        g_folder.assign(self, n);
        g_folder.erase(g_folder.find_last_of(L"\\/") + 1);

        g_catalog = {entry(kBaseId, kBaseEntry, BASE_PROTOCOL, {kBaseEntry}, L"Wine test base TCP"),
                     entry(kVtlspId, kLayeredEntry, LAYERED_PROTOCOL, {kLayeredEntry}, L"LAYERED_VTLSP"),
                     entry(kChainId, kChainEntry, 2, {kLayeredEntry, kBaseEntry}, L"LAYERED Wine test base TCP")};

        base_ = LoadLibraryW((g_folder + L"winebase.dll").c_str());
        ASSERT_TRUE(base_ != NULL);
        route_ = reinterpret_cast<WinebaseRoute>(reinterpret_cast<void*>(GetProcAddress(base_, "winebase_route")));
        ASSERT_TRUE(route_ != NULL);

        vtlsp_ = LoadLibraryW((g_folder + L"vtlsp.dll").c_str());
        ASSERT_TRUE(vtlsp_ != NULL) << "LoadLibrary(vtlsp.dll): error " << GetLastError();
        ASSERT_TRUE(patch_import(vtlsp_, "ws2_32.dll", "WSCEnumProtocols", reinterpret_cast<void*>(catalog_enum)));
        auto startup = reinterpret_cast<LPWSPSTARTUP>(reinterpret_cast<void*>(GetProcAddress(vtlsp_, "WSPStartup")));
        ASSERT_TRUE(startup != NULL) << "vtlsp.dll exports WSPStartup under that name";
        WSPDATA data;
        memset(&data, 0, sizeof(data));
        ASSERT_EQ(0, startup(MAKEWORD(2, 2), &data, &g_catalog[2], upcalls(), &procs_));
        EXPECT_EQ(MAKEWORD(2, 2), data.wVersion);
    }

    void TearDown() override {
        if (procs_.lpWSPCleanup) {
            INT error = 0;
            EXPECT_EQ(0, procs_.lpWSPCleanup(&error));
        }
        WSACleanup();
    }

    // Fetches the page of a server (as port 80) through vtlsp; false when a call failed, with
    // the error of the call that failed.
    bool fetch(const PageServer& server, std::string& received, INT& error) {
        route_(80, server.port());
        error = 0;
        SOCKET s = procs_.lpWSPSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP, &g_catalog[2], 0, 0, &error);
        if (s == INVALID_SOCKET) return false;
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(80);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = procs_.lpWSPConnect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address), NULL, NULL, NULL,
                                      NULL, &error) == 0;
        WSATHREADID thread = {GetCurrentThread(), 0};
        if (ok) {
            char request[] = "GET /page.html HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
            WSABUF buffer = {static_cast<ULONG>(strlen(request)), request};
            DWORD sent = 0;
            ok = procs_.lpWSPSend(s, &buffer, 1, &sent, 0, NULL, NULL, &thread, &error) == 0 && sent == buffer.len;
        }
        while (ok) {
            char data[4096];
            WSABUF buffer = {sizeof(data), data};
            DWORD got = 0, flags = 0;
            ok = procs_.lpWSPRecv(s, &buffer, 1, &got, &flags, NULL, NULL, &thread, &error) == 0;
            if (!ok || got == 0) break;
            received.append(data, got);
        }
        INT closeError = 0;
        EXPECT_EQ(0, procs_.lpWSPCloseSocket(s, &closeError));
        return ok;
    }

    qf_test::TempMachineRoot root_;
    HMODULE base_ = NULL;
    HMODULE vtlsp_ = NULL;
    WinebaseRoute route_ = NULL;
    WSPPROC_TABLE procs_ = {};
};

TEST_F(VtlspUnderWine, CleanPageArrivesUnchanged) {
    PageServer server(kCleanBody);
    std::string received;
    INT error = 0;
    EXPECT_TRUE(fetch(server, received, error)) << "error " << error;
    EXPECT_EQ(server.response(), received);
}

TEST_F(VtlspUnderWine, PageWithADisallowedWordIsRefused) {
    PageServer server(kDisallowedBody);
    std::string received;
    INT error = 0;
    EXPECT_FALSE(fetch(server, received, error)) << "the receive fails";
    EXPECT_NE(0, error);
    EXPECT_EQ(std::string::npos, received.find(kWord)) << "the word never reaches the program: " << received;
}

}  // namespace
