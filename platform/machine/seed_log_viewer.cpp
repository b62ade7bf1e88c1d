// The log viewer that View Log starts: the default value of App Paths\WORDPAD.EXE names DBDIR
// "bin\quillfence-log-viewer", a link on drive C: to the built viewer, so that the Control
// Center and the stand-in's _spawnl find it as they would find WordPad on Windows.
#include "machine.h"
#include "machine_seeding.h"

#include <log_viewer_key.h>
#include <qf/machine_root.h>

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace qf {

const char kLogViewerAppPathKey[] = QF_LOG_VIEWER_APP_PATH_KEY;

namespace {

const char kLogViewerFile[] = "bin\\quillfence-log-viewer";

}  // namespace

bool machine_register_log_viewer(const std::string& viewer, std::string& registered, std::string& error) {
    // A viewer a parent (or an earlier init) registered stays.
    if (read_string_value(kLogViewerAppPathKey, "", registered)) return true;

    std::error_code failure;
    const std::filesystem::path program = std::filesystem::canonical(viewer, failure);
    if (failure || access(program.c_str(), X_OK) != 0) {
        error = "the log viewer " + viewer + " is missing or cannot be run";
        return false;
    }
    std::string dbdir;
    if (!read_dbdir(dbdir)) {
        error = std::string("the registry value ") + kProductKey + "\\" + kDbdirValue + " is not a readable text";
        return false;
    }
    if (!create_windows_folders(dbdir + "bin", error)) return false;
    const std::string windowsPath = dbdir + kLogViewerFile;
    std::string link;
    if (!map_windows_path(windowsPath.c_str(), link)) {
        error = "the installation folder " + dbdir + " is not on drive C:";
        return false;
    }
    struct stat st;
    if (lstat(link.c_str(), &st) != 0 && symlink(program.c_str(), link.c_str()) != 0) {
        error = "cannot link " + link + " to " + program.string() + ": " + strerror(errno);
        return false;
    }
    if (!seed_string_value(kLogViewerAppPathKey, "", windowsPath.c_str(), error)) return false;
    registered = windowsPath;
    return true;
}

}  // namespace qf
