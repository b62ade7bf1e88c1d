// The factory topic word dictionary under DBDIR "db\dict1\".
#include "factory_dictionary.h"
#include "machine_seeding.h"
#include "seed_steps.h"

#include <windows.h>

#include <iostream>

namespace qf {
namespace {

// Writes a whole file under a temporary name and moves it into place without replacing anything,
// so a reader never sees half a dictionary and a file that appeared meanwhile stays.
bool write_new_file(const std::string& path, const EmbeddedFile& file, std::string& error) {
    const std::string temporary = path + ".new";
    HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = "cannot create " + temporary + " (" + win32_error_text(GetLastError()) + ")";
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(handle, file.data, static_cast<DWORD>(file.size), &written, nullptr) && written == file.size &&
              FlushFileBuffers(handle);
    DWORD writeError = GetLastError();
    CloseHandle(handle);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        error = "cannot write " + temporary + " (" + win32_error_text(writeError) + ")";
        return false;
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), 0)) {
        DWORD moveError = GetLastError();
        DeleteFileA(temporary.c_str());
        if (moveError == ERROR_ALREADY_EXISTS) return true;
        error = "cannot put " + path + " in place (" + win32_error_text(moveError) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool seed_word_dictionary(std::string& error) {
    if (kFactoryDictionaryFileCount == 0) {
        std::cerr << "quillfence-machine: warning: this build holds no factory topic word dictionary "
                     "(data/dict1 was empty when it was built)\n";
        return true;
    }
    std::string dbdir;
    if (!read_dbdir(dbdir)) {
        error = "DBDIR cannot be read";
        return false;
    }
    // The pair belongs together: it is written only when neither file is there, so a dictionary
    // that a filter update put in place is never mixed with the factory one.
    bool anyPresent = false;
    for (size_t i = 0; i < kFactoryDictionaryFileCount; ++i) {
        std::string path = dbdir + "db\\dict1\\" + kFactoryDictionary[i].name;
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) anyPresent = true;
    }
    if (anyPresent) return true;
    for (size_t i = 0; i < kFactoryDictionaryFileCount; ++i) {
        std::string path = dbdir + "db\\dict1\\" + kFactoryDictionary[i].name;
        if (!write_new_file(path, kFactoryDictionary[i], error)) return false;
    }
    return true;
}

}  // namespace qf
