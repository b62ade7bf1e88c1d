#include "installer_test_support.h"
#include <wide_text.h>

#include <chain_guid.h>
#include <machine.h>
#include <protocol_catalog.h>
#include <provider_installer.h>
#include "filtering_state.h"

#include <cstring>

namespace installer_test {

void SeededMachine::SetUp() {
    std::string error;
    ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
}

std::vector<WSAPROTOCOL_INFOW> catalog() {
    std::vector<WSAPROTOCOL_INFOW> entries;
    EXPECT_EQ(0, ReadProtocolCatalog(entries, nullptr));
    return entries;
}

std::vector<std::string> catalog_paths() {
    std::vector<std::string> paths;
    for (WSAPROTOCOL_INFOW& entry : catalog()) {
        WCHAR path[MAX_PATH] = {};
        INT length = MAX_PATH;
        INT error = 0;
        EXPECT_EQ(0, WSCGetProviderPath(&entry.ProviderId, path, &length, &error)) << error;
        std::string text;
        for (size_t i = 0; path[i]; ++i) text += static_cast<char>(path[i]);
        paths.push_back(text);
    }
    return paths;
}

std::vector<std::string> provider_subkeys() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

void create_provider_subkey(const std::string& path) {
    HKEY key;
    std::string full = std::string(kProviderKey) + "\\" + path;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, full.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

std::string toggle() {
    ::testing::internal::CaptureStdout();
    ProviderInstaller installer;
    installer.Toggle();
    return ::testing::internal::GetCapturedStdout();
}

std::string name_of(const WSAPROTOCOL_INFOW& entry) { return ProtocolNameText(entry); }

std::string guid_text(const GUID& guid) {
    char* text = FormatGuid(guid);
    std::string result = text ? text : "";
    FreeGuidText(text);
    return result;
}

bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

WSAPROTOCOL_INFOW foreign_base(const std::basic_string<WCHAR>& name) {
    WSAPROTOCOL_INFOW info{};
    info.dwServiceFlags1 = XP1_GUARANTEED_DELIVERY | XP1_GUARANTEED_ORDER | XP1_IFS_HANDLES;
    info.ProtocolChain.ChainLen = BASE_PROTOCOL;
    info.iVersion = 2;
    info.iAddressFamily = AF_INET;
    info.iMaxSockAddr = info.iMinSockAddr = sizeof(sockaddr_in);
    info.iSocketType = SOCK_STREAM;
    info.iProtocol = IPPROTO_TCP;
    for (size_t i = 0; i < name.size() && i < WSAPROTOCOL_LEN; ++i) info.szProtocol[i] = name[i];
    return info;
}

void install_foreign(const GUID& id, WSAPROTOCOL_INFOW entry) {
    static const WCHAR path[] = {'o', 't', 'h', 'e', 'r', 'v', 'e', 'n', 'd', 'o', 'r', '.', 'd', 'l', 'l', 0};
    GUID copy = id;
    INT error = 0;
    ASSERT_EQ(0, WSCInstallProvider(&copy, path, &entry, 1, &error)) << error;
}

}  // namespace installer_test
