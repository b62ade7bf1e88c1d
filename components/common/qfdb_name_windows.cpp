// SQLite on Windows takes Windows paths as they are.
#include "qfdb.h"

bool qfdb_file_name(const char* windowsPath, std::string& fileName) {
    if (!windowsPath || !*windowsPath) return false;
    fileName = windowsPath;
    return true;
}
