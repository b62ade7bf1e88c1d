#include "installer_test_support.h"
#include <wide_text.h>

#include <chain_guid.h>
#include "filtering_state.h"

#include <gmock/gmock.h>

#include <time.h>

#include <cstring>
#include <string>
#include <vector>

namespace installer_test {
namespace {

using ::testing::HasSubstr;

const char* const kBaseNames[] = {"MSAFD Tcpip [TCP/IP]", "MSAFD Tcpip [UDP/IP]", "MSAFD Tcpip [RAW/IP]"};

// Entry by entry, every byte of the record and the library path.
void expect_same_catalog(const std::vector<WSAPROTOCOL_INFOW>& before, const std::vector<std::string>& beforePaths) {
    std::vector<WSAPROTOCOL_INFOW> after = catalog();
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(&before[i], &after[i], sizeof(WSAPROTOCOL_INFOW)))
            << "entry " << i << " (" << name_of(before[i]) << ") changed";
    }
    EXPECT_EQ(beforePaths, catalog_paths());
}

DWORD layered_entry_id(const std::vector<WSAPROTOCOL_INFOW>& entries) {
    for (const WSAPROTOCOL_INFOW& entry : entries)
        if (same_guid(entry.ProviderId, kLayeredProviderId)) return entry.dwCatalogEntryId;
    return 0;
}

using Installer = SeededMachine;

TEST_F(Installer, EnablingPutsAChainOverEachBaseEntryInFrontAndTheLayeredEntryHidden) {
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    ASSERT_EQ(3u, before.size());
    toggle();
    EXPECT_TRUE(IsFilteringOn());

    const std::vector<WSAPROTOCOL_INFOW> after = catalog();
    ASSERT_EQ(7u, after.size());
    const DWORD layeredId = layered_entry_id(after);
    ASSERT_NE(0u, layeredId);
    for (size_t i = 0; i < 3; ++i) {
        const WSAPROTOCOL_INFOW& chain = after[i];
        const WSAPROTOCOL_INFOW& base = before[i];
        EXPECT_EQ(std::string("LAYERED ") + kBaseNames[i], name_of(chain));
        EXPECT_EQ(2, chain.ProtocolChain.ChainLen);
        EXPECT_EQ(layeredId, chain.ProtocolChain.ChainEntries[0]);
        EXPECT_EQ(base.dwCatalogEntryId, chain.ProtocolChain.ChainEntries[1]);
        EXPECT_TRUE(IsChainGuid(chain.ProviderId));
        // Everything else is the base entry's.
        EXPECT_EQ(base.dwServiceFlags1, chain.dwServiceFlags1);
        EXPECT_EQ(base.dwProviderFlags, chain.dwProviderFlags);
        EXPECT_EQ(base.iSocketType, chain.iSocketType);
        EXPECT_EQ(base.iProtocol, chain.iProtocol);
        EXPECT_EQ(base.iProtocolMaxOffset, chain.iProtocolMaxOffset);
        EXPECT_EQ(base.dwMessageSize, chain.dwMessageSize);
        EXPECT_EQ(base.iVersion, chain.iVersion);
    }
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(0, std::memcmp(&before[i], &after[3 + i], sizeof(WSAPROTOCOL_INFOW))) << "base entry " << i;

    const WSAPROTOCOL_INFOW& layered = after[6];
    EXPECT_EQ("LAYERED_VTLSP", name_of(layered));
    EXPECT_TRUE(same_guid(kLayeredProviderId, layered.ProviderId));
    EXPECT_EQ(static_cast<DWORD>(PFL_HIDDEN), layered.dwProviderFlags);
    EXPECT_EQ(0u, layered.dwServiceFlags1);
    EXPECT_EQ(LAYERED_PROTOCOL, layered.ProtocolChain.ChainLen);
    EXPECT_EQ(0, layered.iVersion);
    EXPECT_EQ(AF_INET, layered.iAddressFamily);
    EXPECT_EQ(16, layered.iMaxSockAddr);
    EXPECT_EQ(16, layered.iMinSockAddr);
    EXPECT_EQ(SOCK_RAW, layered.iSocketType);
    EXPECT_EQ(0, layered.iProtocol);
    EXPECT_EQ(0u, layered.dwMessageSize);

    const std::vector<std::string> paths = catalog_paths();
    for (size_t i : {0, 1, 2, 6}) EXPECT_EQ("vtlsp.dll", paths[i]) << "entry " << i;
}

TEST_F(Installer, RecordsEachChainAsASubkeyNamedByItsIdentifierCountingUpFromTheInstallationTime) {
    const DWORD start = static_cast<DWORD>(time(nullptr));
    toggle();
    const DWORD end = static_cast<DWORD>(time(nullptr));
    const std::vector<WSAPROTOCOL_INFOW> entries = catalog();
    std::vector<std::string> expected;
    for (size_t i = 0; i < 3; ++i) expected.push_back(guid_text(entries[i].ProviderId));
    EXPECT_EQ(expected, provider_subkeys());

    const DWORD first = entries[0].ProviderId.Data1;
    EXPECT_GE(first, start);
    EXPECT_LE(first, end);
    EXPECT_EQ(first + 1, entries[1].ProviderId.Data1);
    EXPECT_EQ(first + 2, entries[2].ProviderId.Data1);
    ASSERT_EQ(36u, expected[0].size());
    EXPECT_EQ(expected[0].substr(8), expected[2].substr(8)) << "names differ only in the first eight digits";
    EXPECT_EQ("-e0af-11d4-9508-0000e8708fed", expected[0].substr(8));
}

TEST_F(Installer, WritesItsProgressLines) {
    EXPECT_EQ(
        "Scanning Installed Providers\n"
        "Installing Layered Providers\n"
        "Installed over MSAFD Tcpip [TCP/IP].\n"
        "Installed over MSAFD Tcpip [UDP/IP].\n"
        "Installed over MSAFD Tcpip [RAW/IP].\n"
        "Preparing To Reorder Installed Chains\n"
        "Reordering Installed Chains\n"
        "Saving New Protocol Order\n"
        "Press any key to continue...\n",
        toggle());
    EXPECT_EQ(
        "Removing Installed Layered Providers\n"
        "Removing layered provider protocol chains\n"
        "Press any key to continue...\n",
        toggle());
}

TEST_F(Installer, DisablingRestoresTheCatalogExactly) {
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();
    toggle();
    ASSERT_TRUE(IsFilteringOn());
    toggle();
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_TRUE(provider_subkeys().empty());
    expect_same_catalog(before, beforePaths);

    // And again: a second round leaves the same catalog.
    toggle();
    toggle();
    expect_same_catalog(before, beforePaths);
}

TEST_F(Installer, AnotherVendorsLayeredEntryAndChainGetNoChainOfOursAndSurviveTheRoundTrip) {
    // Another vendor's layered entry with a chain over the TCP base entry, placed first.
    WSAPROTOCOL_INFOW foreignLayered = foreign_base(QF_WTEXT("Other vendor layered"));
    foreignLayered.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    foreignLayered.dwProviderFlags = PFL_HIDDEN;
    install_foreign(kForeignLayeredId, foreignLayered);
    std::vector<WSAPROTOCOL_INFOW> entries = catalog();
    const DWORD foreignLayeredId = entries.back().dwCatalogEntryId;
    WSAPROTOCOL_INFOW foreignChain = entries[0];
    foreignChain.ProtocolChain.ChainLen = 2;
    foreignChain.ProtocolChain.ChainEntries[0] = foreignLayeredId;
    foreignChain.ProtocolChain.ChainEntries[1] = entries[0].dwCatalogEntryId;
    const WCHAR foreignName[] = QF_WTEXT("Other vendor over TCP");
    std::memset(foreignChain.szProtocol, 0, sizeof(foreignChain.szProtocol));
    std::memcpy(foreignChain.szProtocol, foreignName, sizeof(foreignName));
    install_foreign(kForeignChainId, foreignChain);

    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();
    ASSERT_EQ(5u, before.size());

    toggle();
    const std::vector<WSAPROTOCOL_INFOW> after = catalog();
    ASSERT_EQ(9u, after.size()) << "three chains and one layered entry, nothing over the other vendor's entries";
    const DWORD ours = layered_entry_id(after);
    int chainsOfOurs = 0;
    for (const WSAPROTOCOL_INFOW& entry : after) {
        if (entry.ProtocolChain.ChainLen < 2 || entry.ProtocolChain.ChainEntries[0] != ours) continue;
        ++chainsOfOurs;
        EXPECT_NE(foreignLayeredId, entry.ProtocolChain.ChainEntries[1]);
        EXPECT_FALSE(same_guid(entry.ProviderId, kForeignChainId));
        for (const WSAPROTOCOL_INFOW& covered : after) {
            if (covered.dwCatalogEntryId == entry.ProtocolChain.ChainEntries[1]) {
                EXPECT_EQ(BASE_PROTOCOL, covered.ProtocolChain.ChainLen) << name_of(entry);
            }
        }
    }
    EXPECT_EQ(3, chainsOfOurs);
    // Our chains first, then every other entry in its previous order.
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i].dwCatalogEntryId, after[3 + i].dwCatalogEntryId) << "entry " << i;

    toggle();
    expect_same_catalog(before, beforePaths);
}

TEST(InstallerNames, ABaseNameTooLongForThePrefixIsCutToFitTheNameField) {
    struct Case {
        const char* name;
        size_t length;   // of the base name
        size_t kept;     // characters of it behind "LAYERED "
    };
    const Case cases[] = {
        {"fits exactly", 247, 247},
        {"one too many", 248, 247},
        {"longest a name can be", 255, 247},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qf_test::TempMachineRoot root;
        std::basic_string<WCHAR> name;
        for (size_t i = 0; i < c.length; ++i) name += static_cast<WCHAR>('a' + i % 26);
        // A catalog of this one base entry.
        install_foreign(kForeignBaseId, foreign_base(name));
        toggle();
        const std::vector<WSAPROTOCOL_INFOW> entries = catalog();
        ASSERT_EQ(3u, entries.size());
        const WSAPROTOCOL_INFOW& chain = entries[0];
        std::basic_string<WCHAR> expected = QF_WTEXT("LAYERED ") + name.substr(0, c.kept);
        EXPECT_EQ(0, std::memcmp(expected.data(), chain.szProtocol, expected.size() * sizeof(WCHAR)));
        EXPECT_EQ(0, chain.szProtocol[expected.size()]);
        EXPECT_EQ(0, chain.szProtocol[WSAPROTOCOL_LEN]);
    }
}

TEST(InstallerNames, ACutNameNeverEndsInHalfASurrogatePair) {
    // 246 letters, then U+1F600 as a pair: its high half would be the 255th character.
    std::basic_string<WCHAR> name(246, WCHAR('x'));
    name += QF_WTEXT("\U0001F600");
    WSAPROTOCOL_INFOW base = foreign_base(name);
    ASSERT_EQ(0xD83D, base.szProtocol[246]);
    qf_test::TempMachineRoot root;
    install_foreign(kForeignBaseId, base);
    toggle();
    const WSAPROTOCOL_INFOW chain = catalog()[0];
    EXPECT_EQ(WCHAR('x'), chain.szProtocol[8 + 245]);
    EXPECT_EQ(0, chain.szProtocol[8 + 246]) << "the lone high surrogate is dropped";
}

TEST_F(Installer, RemovalStopsAtASubkeyThatCannotBeDeletedAndKeepsWhatChainsStillNeed) {
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();
    toggle();
    // A subkey with a subkey of its own cannot be deleted; it sorts before the chains' subkeys.
    create_provider_subkey("00000000-e0af-11d4-9508-0000e8708fed\\held");
    const std::vector<WSAPROTOCOL_INFOW> installed = catalog();

    const std::string out = toggle();
    EXPECT_THAT(out, HasSubstr("Subkey 00000000-e0af-11d4-9508-0000e8708fed cannot be deleted (error 5); "
                               "removal stops here.\n"));
    EXPECT_THAT(out, HasSubstr("The provider key and the layered provider stay installed.\n"));
    EXPECT_TRUE(IsFilteringOn());
    EXPECT_EQ(4u, provider_subkeys().size());
    ASSERT_EQ(installed.size(), catalog().size()) << "the chains and the layered entry they name stay";

    // Once the obstacle is gone, the next toggle removes everything.
    ASSERT_EQ(ERROR_SUCCESS,
              RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kProviderKey) +
                                                 "\\00000000-e0af-11d4-9508-0000e8708fed\\held").c_str()));
    toggle();
    EXPECT_FALSE(IsFilteringOn());
    expect_same_catalog(before, beforePaths);
}

TEST_F(Installer, RemovalDeinstallsNothingForASubkeyThatNamesNoChainOfOurs) {
    install_foreign(kForeignBaseId, foreign_base(QF_WTEXT("Other vendor TCP")));
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();
    toggle();
    // Subkeys naming another vendor's provider and nothing at all.
    create_provider_subkey(guid_text(kForeignBaseId));
    create_provider_subkey("not an identifier");

    const std::string out = toggle();
    EXPECT_THAT(out, HasSubstr("Subkey " + guid_text(kForeignBaseId) + " names no chain of this provider"));
    EXPECT_THAT(out, HasSubstr("Subkey not an identifier names no chain of this provider"));
    EXPECT_FALSE(IsFilteringOn());
    expect_same_catalog(before, beforePaths);
}

TEST_F(Installer, RemovalWithoutSubkeysDeletesTheKeyAndDeinstallsTheLayeredEntry) {
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    toggle();
    for (const std::string& name : provider_subkeys()) {
        GUID chain;
        ASSERT_TRUE(ParseGuid(name.c_str(), name.size(), chain));
        INT error = 0;
        ASSERT_EQ(0, WSCDeinstallProvider(&chain, &error));
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kProviderKey) + "\\" + name).c_str()));
    }
    ASSERT_EQ(4u, catalog().size());
    toggle();
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_EQ(before.size(), catalog().size());
}

TEST_F(Installer, AnInstallationThatCannotInstallItsLayeredEntryLeavesFilteringOff) {
    // A stale layered entry of ours without a provider key: the new one is refused as a duplicate.
    WSAPROTOCOL_INFOW stale = foreign_base(QF_WTEXT("LAYERED_VTLSP"));
    stale.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    install_foreign(kLayeredProviderId, stale);
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();

    const std::string out = toggle();
    EXPECT_THAT(out, HasSubstr("The layered provider cannot be installed (error 11003).\n"));
    EXPECT_FALSE(IsFilteringOn()) << "nothing is filtered, so nothing may read as on";
    expect_same_catalog(before, beforePaths);
}

TEST_F(Installer, AnInstallationWithAChainThatFailsIsUndoneCompletely) {
    // Entries that already hold the chain identifiers of the next seconds make the first chain fail.
    const DWORD now = static_cast<DWORD>(time(nullptr));
    for (DWORD i = 0; i < 30; ++i) {
        DWORD counter = now + i;
        GUID taken;
        MakeChainGuid(taken, counter);
        WSAPROTOCOL_INFOW holder = foreign_base(QF_WTEXT("holder"));
        holder.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
        install_foreign(taken, holder);
    }
    const std::vector<WSAPROTOCOL_INFOW> before = catalog();
    const std::vector<std::string> beforePaths = catalog_paths();

    const std::string out = toggle();
    EXPECT_THAT(out, HasSubstr("Installation over MSAFD Tcpip [TCP/IP] failed with error 11003.\n"));
    EXPECT_THAT(out, HasSubstr("Installation incomplete: removing what was installed\n"));
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_TRUE(provider_subkeys().empty());
    expect_same_catalog(before, beforePaths);
}

TEST_F(Installer, AnEmptyCatalogGetsNoInstallationThatReadsAsOn) {
    const std::vector<WSAPROTOCOL_INFOW> entries = catalog();
    for (WSAPROTOCOL_INFOW entry : entries) {
        INT error = 0;
        WSCDeinstallProvider(&entry.ProviderId, &error);
    }
    ASSERT_TRUE(catalog().empty());
    const std::string out = toggle();
    EXPECT_THAT(out, HasSubstr("The catalog holds no base provider to install over.\n"));
    EXPECT_FALSE(IsFilteringOn());
    EXPECT_TRUE(catalog().empty());
}

}  // namespace
}  // namespace installer_test
