#include "installed_files.h"

#include <windows.h>

InstalledFiles::InstalledFiles(const std::string& dbdir, const std::string& systemDirectory)
    : files_{
          {dbdir + "db\\dict1\\worddict.dat", dbdir + "db\\dict1\\worddict_ori.dat", dbdir + "log\\dload1.dat"},
          {dbdir + "db\\dict1\\worddict.idx", dbdir + "db\\dict1\\worddict_ori.idx", dbdir + "log\\dload1.idx"},
          {systemDirectory + "ixplor64.dll", systemDirectory + "ixlpor64_ori.dll", dbdir + "log\\dict.dat"},
      } {}

bool InstalledFiles::BackUp() {
    for (int i = 0; i < 3; ++i) {
        if (!CopyFileA(files_[i].installed.c_str(), files_[i].backup.c_str(), FALSE)) {
            for (int made = 0; made < i; ++made) DeleteFileA(files_[made].backup.c_str());
            return false;
        }
    }
    return true;
}

bool InstalledFiles::Replace() {
    for (const File& file : files_)
        if (!CopyFileA(file.download.c_str(), file.installed.c_str(), FALSE)) return false;
    return true;
}

void InstalledFiles::Restore() {
    for (const File& file : files_)
        if (CopyFileA(file.backup.c_str(), file.installed.c_str(), FALSE)) DeleteFileA(file.backup.c_str());
}

void InstalledFiles::Finish() {
    for (const File& file : files_) {
        DeleteFileA(file.download.c_str());
        DeleteFileA(file.backup.c_str());
    }
}
