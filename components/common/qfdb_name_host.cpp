// SQLite opens host files: the stand-in maps the Windows path into the machine root, exactly as
// its file functions do, so the database lands where CreateFileA would put a file of that name.
#include <qf/machine_root.h>

#include "qfdb.h"

bool qfdb_file_name(const char* windowsPath, std::string& fileName) {
    return qf::map_windows_path(windowsPath, fileName);
}
