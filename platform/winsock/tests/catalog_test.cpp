// The catalog: enumeration, install, deinstall, order, the stored form, and what another process sees.
#include "winsock_test_support.h"

#include "catalog_store.h"
#include "passthru.h"
#include "winsock_seed.h"

#include <wide_text.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

using namespace wstest;

namespace {

std::string narrow(const WCHAR* text) {
    std::string out;
    for (size_t i = 0; i < WSAPROTOCOL_LEN && text[i]; ++i) out += static_cast<char>(text[i]);
    return out;
}

std::vector<DWORD> ids_of(const std::vector<WSAPROTOCOL_INFOW>& entries) {
    std::vector<DWORD> ids;
    for (const auto& entry : entries) ids.push_back(entry.dwCatalogEntryId);
    return ids;
}

WSAPROTOCOL_INFOW layered_entry() {
    WSAPROTOCOL_INFOW info{};
    info.dwProviderFlags = PFL_HIDDEN;
    info.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    info.iAddressFamily = AF_INET;
    info.iSocketType = SOCK_RAW;
    return info;
}

GUID guid(DWORD n) { return GUID{n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}; }

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
    }
    qf_test::TempMachineRoot root_;
};

TEST_F(CatalogTest, SeedingLeavesTheBaseEntriesOnceWithTheirProviderPath) {
    std::string error;
    ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;  // a second time changes nothing
    auto entries = enumerate_catalog();
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ("MSAFD Tcpip [TCP/IP]", narrow(entries[0].szProtocol));
    EXPECT_EQ("MSAFD Tcpip [UDP/IP]", narrow(entries[1].szProtocol));
    EXPECT_EQ("MSAFD Tcpip [RAW/IP]", narrow(entries[2].szProtocol));
    for (const auto& entry : entries) {
        EXPECT_EQ(BASE_PROTOCOL, entry.ProtocolChain.ChainLen);
        EXPECT_EQ(entry.dwCatalogEntryId, entry.ProtocolChain.ChainEntries[0]);
    }
    EXPECT_EQ((std::vector<DWORD>{1001, 1002, 1003}), ids_of(entries));

    GUID id = qf::kBaseProviderId;
    WCHAR path[MAX_PATH];
    int length = 5;
    int wsError = 0;
    EXPECT_EQ(SOCKET_ERROR, WSCGetProviderPath(&id, path, &length, &wsError));
    EXPECT_EQ(WSAEFAULT, wsError);
    EXPECT_EQ(32, length);  // "%SystemRoot%\system32\qfafd.dll" and its terminating zero
    ASSERT_EQ(0, WSCGetProviderPath(&id, path, &length, &wsError));
    EXPECT_EQ(0, std::memcmp(path, qf::kBaseProviderPath, sizeof(qf::kBaseProviderPath)));
    GUID unknown = guid(77);
    length = MAX_PATH;
    EXPECT_EQ(SOCKET_ERROR, WSCGetProviderPath(&unknown, path, &length, &wsError));
    EXPECT_EQ(WSAEINVAL, wsError);
}

TEST_F(CatalogTest, EnumerationAnswersASizeQueryAndFiltersByProtocol) {
    DWORD size = 0;
    int error = 0;
    EXPECT_EQ(SOCKET_ERROR, WSCEnumProtocols(nullptr, nullptr, &size, &error));
    EXPECT_EQ(WSAENOBUFS, error);
    EXPECT_EQ(3 * sizeof(WSAPROTOCOL_INFOW), size);
    std::vector<WSAPROTOCOL_INFOW> buffer(3);
    DWORD shortSize = size - 1;
    EXPECT_EQ(SOCKET_ERROR, WSCEnumProtocols(nullptr, buffer.data(), &shortSize, &error));
    EXPECT_EQ(WSAENOBUFS, error);
    EXPECT_EQ(size, shortSize);
    EXPECT_EQ(3, WSCEnumProtocols(nullptr, buffer.data(), &size, &error));
    EXPECT_EQ(SOCKET_ERROR, WSCEnumProtocols(nullptr, buffer.data(), nullptr, &error));
    EXPECT_EQ(WSAEFAULT, error);

    INT udp[] = {IPPROTO_UDP, 0};
    EXPECT_EQ(2, WSCEnumProtocols(udp, buffer.data(), &size, &error));  // UDP, and raw IP covers every protocol
    EXPECT_EQ(IPPROTO_UDP, buffer[0].iProtocol);
    EXPECT_EQ(SOCK_RAW, buffer[1].iSocketType);
}

TEST_F(CatalogTest, InstallGivesEachEntryAnIdThatChainsCanName) {
    WSAPROTOCOL_INFOW layered = layered_entry();
    GUID layeredId = guid(1);
    int error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&layeredId, QF_WTEXT("layer.dll"), &layered, 1, &error));
    auto entries = enumerate_catalog();
    ASSERT_EQ(4u, entries.size());
    const WSAPROTOCOL_INFOW& installed = entries[3];
    EXPECT_EQ(1004u, installed.dwCatalogEntryId);
    EXPECT_EQ(0, std::memcmp(&installed.ProviderId, &layeredId, sizeof(GUID)));

    WSAPROTOCOL_INFOW chain = entries[0];
    chain.ProtocolChain.ChainLen = 2;
    chain.ProtocolChain.ChainEntries[0] = installed.dwCatalogEntryId;
    chain.ProtocolChain.ChainEntries[1] = entries[0].dwCatalogEntryId;
    GUID chainId = guid(2);
    ASSERT_EQ(0, WSCInstallProvider(&chainId, QF_WTEXT("layer.dll"), &chain, 1, &error));
    entries = enumerate_catalog();
    ASSERT_EQ(5u, entries.size());
    EXPECT_EQ(1005u, entries[4].dwCatalogEntryId);
    EXPECT_EQ(1004u, entries[4].ProtocolChain.ChainEntries[0]);  // a chain keeps its links

    struct Refusal {
        const char* what;
        GUID id;
        const WCHAR* path;
        int chainLength;
        DWORD link;
        DWORD count;
        int error;
    };
    const Refusal refusals[] = {
        {"identifier already installed", guid(1), QF_WTEXT("x.dll"), 0, 0, 1, WSANO_RECOVERY},
        {"chain names a missing entry", guid(3), QF_WTEXT("x.dll"), 2, 9999, 1, WSAEINVAL},
        {"chain longer than the array", guid(4), QF_WTEXT("x.dll"), MAX_PROTOCOL_CHAIN + 1, 1001, 1, WSAEINVAL},
        {"no entries", guid(5), QF_WTEXT("x.dll"), 0, 0, 0, WSAEINVAL},
        {"empty path", guid(6), QF_WTEXT(""), 0, 0, 1, WSAEINVAL},
        {"no path", guid(7), nullptr, 0, 0, 1, WSAEFAULT},
    };
    for (const Refusal& r : refusals) {
        WSAPROTOCOL_INFOW info = chain;
        info.ProtocolChain.ChainLen = r.chainLength;
        info.ProtocolChain.ChainEntries[1] = r.link;
        GUID id = r.id;
        EXPECT_EQ(SOCKET_ERROR, WSCInstallProvider(&id, r.path, &info, r.count, &error)) << r.what;
        EXPECT_EQ(r.error, error) << r.what;
    }
    EXPECT_EQ(5u, enumerate_catalog().size());
}

TEST_F(CatalogTest, DeinstallRemovesEveryEntryOfTheProviderAndIdsAreNotReused) {
    WSAPROTOCOL_INFOW two[2] = {layered_entry(), layered_entry()};
    GUID id = guid(9);
    int error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("two.dll"), two, 2, &error));
    EXPECT_EQ(5u, enumerate_catalog().size());
    ASSERT_EQ(0, WSCDeinstallProvider(&id, &error));
    EXPECT_EQ((std::vector<DWORD>{1001, 1002, 1003}), ids_of(enumerate_catalog()));
    EXPECT_EQ(SOCKET_ERROR, WSCDeinstallProvider(&id, &error));
    EXPECT_EQ(WSAEINVAL, error);
    ASSERT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("two.dll"), two, 1, &error));
    EXPECT_EQ(1006u, enumerate_catalog().back().dwCatalogEntryId);
}

TEST_F(CatalogTest, ProviderOrderAcceptsOnlyAPermutationOfTheCurrentIds) {
    struct Case {
        const char* what;
        std::vector<DWORD> order;
    };
    const Case refused[] = {
        {"one missing", {1001, 1002}},
        {"one twice", {1001, 1002, 1002}},
        {"a foreign id", {1001, 1002, 1009}},
        {"one too many", {1001, 1002, 1003, 1004}},
        {"empty", {}},
    };
    for (const Case& c : refused) {
        std::vector<DWORD> order = c.order;
        order.reserve(1);  // a real array even when it holds nothing
        EXPECT_EQ(WSAEINVAL, WSCWriteProviderOrder(order.data(), static_cast<DWORD>(order.size()))) << c.what;
    }
    EXPECT_EQ(WSAEFAULT, WSCWriteProviderOrder(nullptr, 3));
    std::vector<DWORD> two = {1001, 1002};
    EXPECT_EQ(WSAEINVAL, WSCWriteProviderOrder(two.data(), 0x10000000));  // never read beyond the array
    EXPECT_EQ((std::vector<DWORD>{1001, 1002, 1003}), ids_of(enumerate_catalog()));
    std::vector<DWORD> reversed = {1003, 1002, 1001};
    ASSERT_EQ(0, WSCWriteProviderOrder(reversed.data(), 3));
    EXPECT_EQ(reversed, ids_of(enumerate_catalog()));
}

TEST_F(CatalogTest, ConcurrentInstallsLoseNoEntry) {
    const int kThreads = 4, kEach = 8;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                WSAPROTOCOL_INFOW info = layered_entry();
                GUID id = guid(100 + t * kEach + i);
                int error = 0;
                EXPECT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("many.dll"), &info, 1, &error)) << error;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    auto ids = ids_of(enumerate_catalog());
    EXPECT_EQ(3u + kThreads * kEach, ids.size());
    EXPECT_EQ(ids.size(), std::set<DWORD>(ids.begin(), ids.end()).size());
}

TEST_F(CatalogTest, ADamagedStoredCatalogIsRefusedNotGuessed) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                           "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9",
                                           0, KEY_SET_VALUE, &key));
    const BYTE garbage[] = {'Q', 'F', 'W', 'S', 'C', 'A', 'T', '1', 1, 0, 0, 0, 9, 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Catalog_Entries", 0, REG_BINARY, garbage, sizeof(garbage)));
    RegCloseKey(key);
    DWORD size = 0;
    int error = 0;
    EXPECT_EQ(SOCKET_ERROR, WSCEnumProtocols(nullptr, nullptr, &size, &error));
    EXPECT_EQ(WSANO_RECOVERY, error);
    WSADATA data;
    EXPECT_EQ(WSASYSNOTREADY, WSAStartup(MAKEWORD(2, 2), &data));
    WSAPROTOCOL_INFOW info = layered_entry();
    GUID id = guid(5);
    EXPECT_EQ(SOCKET_ERROR, WSCInstallProvider(&id, QF_WTEXT("x.dll"), &info, 1, &error));  // nothing is written over it
    EXPECT_EQ(WSANO_RECOVERY, error);
}

TEST(CatalogStoreTest, UnpackRefusesEveryMalformedForm) {
    qf::wscat::Catalog catalog;
    catalog.nextEntryId = 1003;
    catalog.entries.resize(2);
    for (int i = 0; i < 2; ++i) {
        catalog.entries[i] = qf::wscat::CatalogEntry{};
        catalog.entries[i].info.dwCatalogEntryId = 1001 + i;
        catalog.entries[i].info.ProtocolChain.ChainLen = 1;
    }
    std::vector<BYTE> good = qf::wscat::catalog_pack(catalog);
    qf::wscat::Catalog out;
    ASSERT_TRUE(qf::wscat::catalog_unpack(good.data(), good.size(), out));
    EXPECT_EQ(2u, out.entries.size());

    const size_t header = 24, entrySize = sizeof(WCHAR) * MAX_PATH + sizeof(WSAPROTOCOL_INFOW);
    const size_t chainAt = header + sizeof(WCHAR) * MAX_PATH + offsetof(WSAPROTOCOL_INFOW, ProtocolChain);
    const size_t idAt = header + sizeof(WCHAR) * MAX_PATH + offsetof(WSAPROTOCOL_INFOW, dwCatalogEntryId);
    struct Damage {
        const char* what;
        size_t offset;  // byte changed (SIZE_MAX: the data is cut instead)
        BYTE value;
        size_t cutTo;
    };
    const Damage damages[] = {
        {"cut inside the header", SIZE_MAX, 0, 10},
        {"cut inside an entry", SIZE_MAX, 0, header + entrySize + 5},
        {"wrong magic", 0, 'X', 0},
        {"unknown version", 8, 2, 0},
        {"more entries than bytes", 12, 3, 0},
        {"chain longer than its array", chainAt, 8, 0},
        {"entry id not yet handed out", idAt + 1, 0x10, 0},
    };
    for (const Damage& d : damages) {
        std::vector<BYTE> bad = good;
        if (d.offset == SIZE_MAX) bad.resize(d.cutTo);
        else bad[d.offset] = d.value;
        EXPECT_FALSE(qf::wscat::catalog_unpack(bad.data(), bad.size(), out)) << d.what;
    }
    EXPECT_FALSE(qf::wscat::catalog_unpack(nullptr, 0, out));
}

TEST_F(CatalogTest, ApplicationsEnumerateNeitherHiddenNorLayeredEntries) {
    ASSERT_NO_FATAL_FAILURE(install_passthru());
    EXPECT_EQ(7u, enumerate_catalog().size());
    DWORD size = 0;
    EXPECT_EQ(SOCKET_ERROR, WSAEnumProtocolsW(nullptr, nullptr, &size));
    EXPECT_EQ(WSAENOBUFS, WSAGetLastError());
    EXPECT_EQ(6 * sizeof(WSAPROTOCOL_INFOW), size);
    std::vector<WSAPROTOCOL_INFOA> narrow(6);
    DWORD narrowSize = static_cast<DWORD>(narrow.size() * sizeof(WSAPROTOCOL_INFOA));
    ASSERT_EQ(6, WSAEnumProtocolsA(nullptr, narrow.data(), &narrowSize));
    EXPECT_STREQ("LAYERED MSAFD Tcpip [TCP/IP]", narrow[0].szProtocol);
    for (const auto& entry : narrow) EXPECT_NE(LAYERED_PROTOCOL, entry.ProtocolChain.ChainLen);
}

TEST_F(CatalogTest, AProcessStartedAfterAChangeSeesIt) {
    ASSERT_NO_FATAL_FAILURE(install_passthru());
    FILE* child = popen(WINSOCK_CHILD " catalog", "r");
    ASSERT_NE(nullptr, child);
    std::vector<std::string> names;
    char line[512];
    while (fgets(line, sizeof(line), child)) {
        std::string name(line);
        if (!name.empty() && name.back() == '\n') name.pop_back();
        names.push_back(name);
    }
    ASSERT_EQ(0, pclose(child));
    ASSERT_EQ(7u, names.size());
    EXPECT_EQ("LAYERED MSAFD Tcpip [TCP/IP]", names[0]);
    EXPECT_EQ("LAYERED MSAFD Tcpip [UDP/IP]", names[1]);
    EXPECT_EQ("LAYERED MSAFD Tcpip [RAW/IP]", names[2]);
    EXPECT_EQ("MSAFD Tcpip [TCP/IP]", names[3]);
    EXPECT_EQ("LAYERED_PASSTHRU", names[6]);
}

}  // namespace
