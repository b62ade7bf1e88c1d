// Installing a provider identifier that is installed already: refused as Windows refuses it, and
// the catalog stays exactly as it was.
#include "winsock_test_support.h"
#include <wide_text.h>

#include "winsock_seed.h"

#include <cstring>

using namespace wstest;

namespace {

class CatalogInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::seed_winsock_catalog(error)) << error;
    }
    qf_test::TempMachineRoot root_;
};

TEST_F(CatalogInstallTest, ASecondInstallOfAnIdentifierFailsWithNoRecoveryAndChangesNothing) {
    GUID id = {0x5eed0001, 0x1111, 0x2222, {3, 4, 5, 6, 7, 8, 9, 10}};
    WSAPROTOCOL_INFOW entry{};
    entry.dwProviderFlags = PFL_HIDDEN;
    entry.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    entry.iAddressFamily = AF_INET;
    entry.iSocketType = SOCK_RAW;
    int error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&id, QF_WTEXT("first.dll"), &entry, 1, &error)) << error;
    std::vector<WSAPROTOCOL_INFOW> before = enumerate_catalog();

    WSAPROTOCOL_INFOW again[2] = {entry, entry};
    again[1].iSocketType = SOCK_DGRAM;
    error = 0;
    EXPECT_EQ(SOCKET_ERROR, WSCInstallProvider(&id, QF_WTEXT("second.dll"), again, 2, &error));
    EXPECT_EQ(WSANO_RECOVERY, error);

    std::vector<WSAPROTOCOL_INFOW> after = enumerate_catalog();
    ASSERT_EQ(before.size(), after.size());
    EXPECT_EQ(0, std::memcmp(before.data(), after.data(), before.size() * sizeof(WSAPROTOCOL_INFOW)));
    WCHAR path[MAX_PATH] = {};
    int length = MAX_PATH;
    ASSERT_EQ(0, WSCGetProviderPath(&id, path, &length, &error));
    EXPECT_EQ(0, std::memcmp(path, QF_WTEXT("first.dll"), sizeof(QF_WTEXT("first.dll"))));
    // The next install still gets the next id: the refusal took none.
    GUID other = {0x5eed0002, 0x1111, 0x2222, {3, 4, 5, 6, 7, 8, 9, 10}};
    ASSERT_EQ(0, WSCInstallProvider(&other, QF_WTEXT("other.dll"), &entry, 1, &error)) << error;
    EXPECT_EQ(before.back().dwCatalogEntryId + 1, enumerate_catalog().back().dwCatalogEntryId);
}

}  // namespace
