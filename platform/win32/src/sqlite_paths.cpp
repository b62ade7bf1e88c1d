// SQLite on the stand-in takes Windows paths as SQLite on Windows does. The default VFS is
// wrapped so that a name such as "C:\Program Files\Quillfence\log\access.db" resolves into the
// machine root; SQLite derives its journal and WAL names from the full path, so mapping the full
// path is enough. Linux paths (the registry hive) pass through unchanged.
#include <qf/machine_root.h>

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <string>

namespace {

sqlite3_vfs* hostVfs = nullptr;
sqlite3_vfs windowsPathVfs;

bool is_windows_path(const char* name) {
    return name && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

int full_pathname(sqlite3_vfs*, const char* name, int outSize, char* out) {
    std::string mapped;
    if (is_windows_path(name)) {
        if (!qf::map_windows_path(name, mapped)) return SQLITE_CANTOPEN;
        name = mapped.c_str();
    }
    return hostVfs->xFullPathname(hostVfs, name, outSize, out);
}

struct Registration {
    Registration() {
        hostVfs = sqlite3_vfs_find(nullptr);
        if (!hostVfs) return;
        windowsPathVfs = *hostVfs;
        windowsPathVfs.zName = "quillfence-windows-paths";
        windowsPathVfs.pNext = nullptr;
        windowsPathVfs.xFullPathname = full_pathname;
        sqlite3_vfs_register(&windowsPathVfs, 1);
    }
};

const Registration registration;

}  // namespace
