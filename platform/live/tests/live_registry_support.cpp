// The registry changes of the live tests (Windows side of the helpers).
#include "live_test_support.h"

#include <windows.h>

namespace qf_live_test {

bool create_provider_key() {
    HKEY key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinSock2\\Vantrel Service Provider", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool remove_winsock_catalog() {
    HKEY key;
    const char catalog[] = "SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9";
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, catalog, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueA(key, "Catalog_Entries");
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

}  // namespace qf_live_test
