// Helpers the seeding steps share.
#include "machine_seeding.h"

#include <windows.h>

#include <cstring>

namespace qf {

const char kProductKey[] = "SOFTWARE\\Marrowby\\Quillfence\\2.2";
const char kDbdirValue[] = "DBDIR";
const char kFactoryDbdir[] = "C:\\Program Files\\Quillfence\\";

std::string win32_error_text(long code) { return "Windows error " + std::to_string(code); }

bool seed_string_value(const char* key, const char* name, const char* value, std::string& error) {
    HKEY handle = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) {
        error = std::string("cannot create the registry key ") + key + " (" + win32_error_text(status) + ")";
        return false;
    }
    status = RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_FILE_NOT_FOUND)
        status = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>(std::strlen(value) + 1));
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        error = std::string("cannot set the registry value ") + key + "\\" + name + " (" + win32_error_text(status) + ")";
        return false;
    }
    return true;
}

bool read_string_value(const char* key, const char* name, std::string& value) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return false;
    char buffer[256] = {0};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    value = buffer;
    return true;
}

bool create_windows_folders(const std::string& windowsPath, std::string& error) {
    // Each prefix that ends before a backslash, from the drive down: "C:", "C:\A", "C:\A\B", ...
    for (size_t i = 2; i <= windowsPath.size(); ++i) {
        if (i < windowsPath.size() && windowsPath[i] != '\\') continue;
        std::string prefix = windowsPath.substr(0, i);
        if (prefix.empty() || prefix.back() == '\\') continue;
        if (!CreateDirectoryA(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = "cannot create the folder " + prefix + " (" + win32_error_text(GetLastError()) + ")";
            return false;
        }
        DWORD attributes = GetFileAttributesA(prefix.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            error = prefix + " exists and is not a folder";
            return false;
        }
    }
    return true;
}

bool read_dbdir(std::string& dbdir) {
    if (!read_string_value(kProductKey, kDbdirValue, dbdir) || dbdir.empty()) return false;
    if (dbdir.back() != '\\') dbdir += '\\';
    return true;
}

}  // namespace qf
