// The Windows form of the temporary machine root: the machine itself, cleared of the system
// before and after each test.
#include "temp_machine_root.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace qf_test {
namespace {

const char kScratch[] = "C:/qf-test";

// What the system and its tests leave on a machine.
const char* const kRegistryTrees[] = {
    "SOFTWARE\\Marrowby",
    "SOFTWARE\\WinSock2\\Vantrel Service Provider",
};

std::string system_directory() {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) throw std::runtime_error("GetSystemDirectoryA failed");
    return folder;
}

void clear_machine() {
    for (const char* tree : kRegistryTrees) {
        const LONG status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, tree);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            throw std::runtime_error(std::string("cannot delete the registry key ") + tree);
    }
    std::error_code failure;
    for (const std::string& path : {std::string("C:/Program Files/Quillfence"), system_directory() + "/ixplor64.dll",
                                    std::string(kScratch)}) {
        std::filesystem::remove_all(path, failure);
        if (failure) throw std::runtime_error("cannot remove " + path + ": " + failure.message());
    }
}

}  // namespace

TempMachineRoot::TempMachineRoot() : path_("C:/") {
    clear_machine();
    if (!CreateDirectoryA(kScratch, NULL)) throw std::runtime_error("cannot create the scratch folder");
}

TempMachineRoot::~TempMachineRoot() {
    try {
        clear_machine();
    } catch (const std::exception&) {
        // The next root clears the machine again, and fails its test if it cannot.
    }
}

std::string TempMachineRoot::file(const std::string& relative) const {
    const std::string drive = "drive_c/";
    if (relative.compare(0, drive.size(), drive) == 0) return path_ + relative.substr(drive.size());
    return std::string(kScratch) + "/" + relative;
}

}  // namespace qf_test
