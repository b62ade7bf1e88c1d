// A temporary machine root laid out as an installed system is for the stores: DBDIR set in the
// registry, its db\ and log\ folders and the system directory present.
#pragma once

#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbdir.h"
#include "temp_machine_root.h"

namespace qf_test {

class StoreRoot : public TempMachineRoot {
public:
    static constexpr const char* kDbDir = "C:\\Program Files\\Quillfence\\";

    StoreRoot() {
        std::filesystem::create_directories(installed("db"));
        std::filesystem::create_directories(installed("log"));
        std::filesystem::create_directories(file("drive_c/WINDOWS/SYSTEM32"));
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, QF_PRODUCT_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot create the product key");
        LONG status = RegSetValueExA(key, QF_DBDIR_VALUE, 0, REG_SZ, (const BYTE*)kDbDir, (DWORD)strlen(kDbDir) + 1);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set DBDIR");
    }

    // The Linux path of a file under DBDIR, relative given with slashes ("db/rsac.dat").
    std::string installed(const std::string& relative) const {
        return file("drive_c/Program Files/Quillfence/" + relative);
    }
    std::string systemFile(const std::string& name) const { return file("drive_c/WINDOWS/SYSTEM32/" + name); }
};

inline std::vector<unsigned char> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Names of the files in a folder, for checks that nothing is left behind.
inline std::vector<std::string> folder_entries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace qf_test
