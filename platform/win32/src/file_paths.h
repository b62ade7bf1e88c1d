// Path checks shared by the file functions of the stand-in.
#pragma once

#include <windows.h>

#include <string>

namespace qf {

// Maps a Windows path for a file function. On failure sets the last error (ERROR_PATH_NOT_FOUND for
// an empty path or a place outside drive C:, ERROR_INVALID_NAME for characters Windows refuses in
// names) and returns false.
bool map_file_path(const char* windowsPath, std::string& linuxPath);

// The Win32 error for a failed call on linuxPath: a missing file is ERROR_FILE_NOT_FOUND while its
// folder exists and ERROR_PATH_NOT_FOUND otherwise; everything else goes through the errno table.
DWORD file_error_from_errno(int errnoValue, const std::string& linuxPath);
void set_file_error(int errnoValue, const std::string& linuxPath);

// The folder that holds linuxPath ("." for a bare name).
std::string parent_folder(const std::string& linuxPath);

}  // namespace qf
