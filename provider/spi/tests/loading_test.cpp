// Loading the next provider of a chain: started once and kept, or, when its start-up is not
// acceptable, cleaned up exactly once for a successful start-up and tried again next time.
#include "spi_harness.h"
#include <wide_text.h>

#include <sporder.h>
#include <string.h>

#include "fakebase.h"

namespace spi_test {
namespace {

const GUID kFakeBaseId = {0x5e1f0a11, 0x2c3d, 0x4e5f, {0x80, 0x91, 0xa2, 0xb3, 0xc4, 0xd5, 0xe6, 0xf7}};
const GUID kFakeChainId = {0x5e1f0a12, 0x2c3d, 0x4e5f, {0x80, 0x91, 0xa2, 0xb3, 0xc4, 0xd5, 0xe6, 0xf7}};

const WSPUPCALLTABLE kUpcalls = {
    WPUCloseEvent,    WPUCloseSocketHandle,        WPUCreateEvent, WPUCreateSocketHandle,
    WPUFDIsSet,       WPUGetProviderPath,          WPUModifyIFSHandle, WPUPostMessage,
    WPUQueryBlockingCallback, WPUQuerySocketHandleContext, WPUQueueApc, WPUResetEvent,
    WPUSetEvent,      WPUOpenCurrentThread,        WPUCloseThread,
};

class LoadingTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (HasFatalFailure()) return;
        install_vtlsp();
        if (HasFatalFailure()) return;
        installFakeChain();
        if (HasFatalFailure()) return;
        fake_ = LoadLibraryA("spifakebase.dll");
        ASSERT_NE(nullptr, fake_);
        setBehaviour_ = reinterpret_cast<FakeBaseSetBehaviourFn>(
            reinterpret_cast<void*>(GetProcAddress(fake_, "fakebase_set_behaviour")));
        startups_ = reinterpret_cast<FakeBaseCountFn>(reinterpret_cast<void*>(GetProcAddress(fake_, "fakebase_startups")));
        cleanups_ = reinterpret_cast<FakeBaseCountFn>(reinterpret_cast<void*>(GetProcAddress(fake_, "fakebase_cleanups")));
        ASSERT_TRUE(setBehaviour_ && startups_ && cleanups_);
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
        started_ = true;
        // vtlsp started as the runtime starts it, before any socket.
        auto startup = reinterpret_cast<LPWSPSTARTUP>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("vtlsp.dll"), "WSPStartup")));
        ASSERT_NE(nullptr, startup);
        WSPDATA wspData{};
        WSAPROTOCOL_INFOW chain = fakeChain();
        ASSERT_EQ(0, startup(MAKEWORD(2, 2), &wspData, &chain, kUpcalls, &table_));
    }
    void TearDown() override {
        INT error = 0;
        if (table_.lpWSPCleanup) table_.lpWSPCleanup(&error);
        if (fake_) FreeLibrary(fake_);
        ProviderTest::TearDown();
    }

    void installFakeChain() {
        WSAPROTOCOL_INFOW base = tcp_chain_entry();
        base.ProviderId = kFakeBaseId;
        base.ProtocolChain.ChainLen = BASE_PROTOCOL;
        GUID id = kFakeBaseId;
        int error = 0;
        ASSERT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("%SystemRoot%\\system32\\spifakebase.dll"), &base, 1, &error)) << error;
        DWORD baseId = 0;
        for (const auto& entry : enumerate_catalog())
            if (memcmp(&entry.ProviderId, &kFakeBaseId, sizeof(GUID)) == 0) baseId = entry.dwCatalogEntryId;
        ASSERT_NE(0u, baseId);
        WSAPROTOCOL_INFOW chain = tcp_chain_entry();
        chain.ProviderId = kFakeChainId;
        chain.ProtocolChain.ChainEntries[1] = baseId;
        GUID chainId = kFakeChainId;
        ASSERT_EQ(0, WSCInstallProvider(&chainId, QF_WTEXT("vtlsp.dll"), &chain, 1, &error)) << error;
    }
    static WSAPROTOCOL_INFOW fakeChain() {
        for (const auto& entry : enumerate_catalog())
            if (memcmp(&entry.ProviderId, &kFakeChainId, sizeof(GUID)) == 0) return entry;
        return WSAPROTOCOL_INFOW{};
    }
    int makeSocket() {
        WSAPROTOCOL_INFOW chain = fakeChain();
        INT error = 0;
        SOCKET s = table_.lpWSPSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP, &chain, 0, 0, &error);
        EXPECT_EQ(INVALID_SOCKET, s);  // the stand-in base provider makes none
        return error;
    }

    HMODULE fake_ = nullptr;
    FakeBaseSetBehaviourFn setBehaviour_ = nullptr;
    FakeBaseCountFn startups_ = nullptr;
    FakeBaseCountFn cleanups_ = nullptr;
    WSPPROC_TABLE table_{};
};

TEST_F(LoadingTest, ANextProviderIsLoadedOnceAndCleanedUpWithTheProvider) {
    setBehaviour_(kFakeBaseNormal);
    EXPECT_EQ(WSAEOPNOTSUPP, makeSocket());  // its own WSPSocket answered
    EXPECT_EQ(WSAEOPNOTSUPP, makeSocket());
    EXPECT_EQ(1, startups_());
    EXPECT_EQ(0, cleanups_());
    INT error = 0;
    table_.lpWSPCleanup(&error);
    table_.lpWSPCleanup = nullptr;
    EXPECT_EQ(1, cleanups_());
}

TEST_F(LoadingTest, AnUnacceptableStartUpIsUndoneOnceAndTriedAgainByTheNextSocket) {
    const struct {
        const char* name;
        FakeBaseBehaviour behaviour;
        int error;
        LONG startups;  // per attempt
        LONG cleanups;
    } cases[] = {
        {"version 1.1", kFakeBaseVersion11, WSAEINVALIDPROVIDER, 1, 1},
        {"start-up failed", kFakeBaseFailsStartup, WSAEPROVIDERFAILEDINIT, 0, 0},
        {"entry missing", kFakeBaseMissingEntry, WSAEINVALIDPROCTABLE, 1, 1},
    };
    for (const auto& c : cases) {
        setBehaviour_(c.behaviour);
        const LONG startups = startups_(), cleanups = cleanups_();
        EXPECT_EQ(c.error, makeSocket()) << c.name;
        EXPECT_EQ(c.error, makeSocket()) << c.name << ", again";
        EXPECT_EQ(2 * c.startups, startups_() - startups) << c.name;
        EXPECT_EQ(2 * c.cleanups, cleanups_() - cleanups) << c.name;
    }
}

}  // namespace
}  // namespace spi_test
