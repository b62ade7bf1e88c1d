#include "vttray.h"

#include <gtest/gtest.h>

#include "temp_machine_root.h"

#include <provider_key.h>

namespace {

const char kProviderKey[] = QF_PROVIDER_KEY;

TEST(TrayState, FollowsThePresenceOfTheProviderKey) {
    qf_test::TempMachineRoot root;
    EXPECT_EQ(-1, VTTray_FilterState()) << "nothing recorded yet";
    EXPECT_EQ(0, VTTray_ProviderState());
    VTTrayLoad();
    EXPECT_EQ(0, VTTray_FilterState());

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
    EXPECT_EQ(1, VTTray_ProviderState());
    EXPECT_EQ(0, VTTray_FilterState()) << "the recorded state changes with VTTrayLoad only";
    VTTrayLoad();
    EXPECT_EQ(1, VTTray_FilterState());
    VTTrayLoad();
    EXPECT_EQ(1, VTTray_FilterState());

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProviderKey));
    VTTrayLoad();
    EXPECT_EQ(0, VTTray_FilterState());
}

TEST(TrayState, DamagedValueReadsAsNeverRecorded) {
    qf_test::TempMachineRoot root;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, VTTRAY_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, VTTRAY_FILTER_ON, 0, REG_SZ, (const BYTE*)"1", 2));
    RegCloseKey(key);
    EXPECT_EQ(-1, VTTray_FilterState());
    VTTrayLoad();
    EXPECT_EQ(0, VTTray_FilterState());
}

}  // namespace
