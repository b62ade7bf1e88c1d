// The scriptable test provider, loaded through the catalog as a base provider: each part of its
// script shows in what the runtime and the application see.
#include "winsock_test_support.h"

#include "scriptable.h"
#include "winsock_seed.h"

#include <cstring>

using namespace wstest;

namespace {

class ScriptableProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
        WSAPROTOCOL_INFOW entry{};
        for (const auto& candidate : enumerate_catalog())
            if (candidate.ProtocolChain.ChainLen == BASE_PROTOCOL && candidate.iSocketType == SOCK_STREAM) entry = candidate;
        ASSERT_EQ(SOCK_STREAM, entry.iSocketType);
        entry.dwProviderFlags |= PFL_HIDDEN;  // reached by its protocol info only
        GUID id = kScriptableProviderId;
        int wsError = 0;
        ASSERT_EQ(0, WSCInstallProvider(&id, kScriptablePath, &entry, 1, &wsError)) << wsError;
        for (const auto& candidate : enumerate_catalog())
            if (std::memcmp(&candidate.ProviderId, &kScriptableProviderId, sizeof(GUID)) == 0) info_ = candidate;
        ASSERT_NE(0u, info_.dwCatalogEntryId);
        module_ = LoadLibraryA("qfscriptable.dll");
        ASSERT_NE(nullptr, module_);
        setScript_ = reinterpret_cast<ScriptableSetScriptFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "scriptable_set_script")));
        getRecord_ = reinterpret_cast<ScriptableGetRecordFn>(
            reinterpret_cast<void*>(GetProcAddress(module_, "scriptable_get_record")));
        ASSERT_NE(nullptr, setScript_);
        ASSERT_NE(nullptr, getRecord_);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    // A socket on the scriptable entry, made in a Winsock started for it; INVALID_SOCKET with
    // *error set when it cannot be made.
    SOCKET open_socket(int* error) {
        SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &info_, 0, WSA_FLAG_OVERLAPPED);
        *error = s == INVALID_SOCKET ? WSAGetLastError() : 0;
        return s;
    }
    ScriptableRecord record() const {
        ScriptableRecord r{};
        getRecord_(&r);
        return r;
    }

    qf_test::TempMachineRoot root_;
    WSAPROTOCOL_INFOW info_{};
    HMODULE module_ = nullptr;
    ScriptableSetScriptFn setScript_ = nullptr;
    ScriptableGetRecordFn getRecord_ = nullptr;
};

TEST_F(ScriptableProviderTest, ItsStartUpIsRefusedOrAcceptedAsTheScriptSays) {
    struct Case {
        const char* what;
        ScriptableScript script;
        int socketError;  // what socket creation fails with; 0: it succeeds
        int cleanups;     // WSPCleanup calls by the time Winsock has been cleaned up
    };
    const ScriptableScript normal = kScriptableDefault;
    ScriptableScript failing = normal, oldVersion = normal, missing = normal;
    failing.startupError = WSAENETDOWN;
    oldVersion.version = MAKEWORD(1, 1);
    missing.missingEntry = 10;  // lpWSPEventSelect
    const Case cases[] = {
        {"as the base provider", normal, 0, 1},
        {"start-up fails with the chosen error", failing, WSAENETDOWN, 0},
        {"version 1.1 is refused and cleaned up once", oldVersion, WSAVERNOTSUPPORTED, 1},
        {"a null table entry is refused and cleaned up once", missing, WSAEINVALIDPROCTABLE, 1},
    };
    for (const Case& c : cases) {
        setScript_(&c.script);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        int error = 0;
        SOCKET s = open_socket(&error);
        EXPECT_EQ(c.socketError, error) << c.what;
        if (s != INVALID_SOCKET) {
            sockaddr_in address;
            SOCKET listener = tcp_listener(address);
            EXPECT_EQ(0, connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address))) << c.what;
            closesocket(listener);
            closesocket(s);
        }
        EXPECT_EQ(0, WSACleanup());
        ScriptableRecord r = record();
        EXPECT_EQ(1, r.startups) << c.what;
        EXPECT_EQ(c.cleanups, r.cleanups) << c.what;
        EXPECT_EQ(MAKEWORD(2, 2), r.versionRequested) << c.what;
        EXPECT_EQ(info_.dwCatalogEntryId, r.startupCatalogEntryId) << c.what;
    }
}

TEST_F(ScriptableProviderTest, ExtensionQueriesAreAnsweredAsTheScriptSays) {
    struct Case {
        const char* what;
        int extensions;
        GUID id;
        int error;        // 0: the query succeeds
        bool function;    // whether it yields a function
    };
    const GUID unknown = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    const Case cases[] = {
        {"the base provider's AcceptEx", kExtensionsOfBase, WSAID_ACCEPTEX, 0, true},
        {"an unknown identifier of the base provider", kExtensionsOfBase, unknown, WSAEINVAL, false},
        {"refused", kExtensionsRefused, WSAID_TRANSMITFILE, WSAEINVAL, false},
        {"none", kExtensionsNone, WSAID_ACCEPTEX, 0, false},
    };
    for (const Case& c : cases) {
        ScriptableScript script = kScriptableDefault;
        script.extensions = c.extensions;
        setScript_(&script);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        int error = 0;
        SOCKET s = open_socket(&error);
        ASSERT_NE(INVALID_SOCKET, s) << error;
        GUID id = c.id;
        void* function = reinterpret_cast<void*>(1);
        DWORD returned = 0;
        int result = WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &function, sizeof(function),
                              &returned, nullptr, nullptr);
        EXPECT_EQ(c.error ? SOCKET_ERROR : 0, result) << c.what;
        if (c.error) {
            EXPECT_EQ(c.error, WSAGetLastError()) << c.what;
        } else {
            EXPECT_EQ(c.function, function != nullptr) << c.what;
        }
        closesocket(s);
        EXPECT_EQ(0, WSACleanup());
    }
}

}  // namespace
