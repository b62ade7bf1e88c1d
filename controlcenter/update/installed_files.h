// The three installed files that the update replaces with its downloads, each backed up first,
// so that a failed update puts back all three and never leaves the dictionary data, its index and
// the topic list from two different versions.
#pragma once

#include <string>

class InstalledFiles {
public:
    // dbdir: DBDIR (ending in a backslash, or empty); systemDirectory: the system directory
    // followed by a backslash.
    InstalledFiles(const std::string& dbdir, const std::string& systemDirectory);

    // Copies each installed file to its backup. False when one cannot be copied; the backups
    // already made are then removed again.
    bool BackUp();
    // Copies each download over its installed file. False when one cannot be copied.
    bool Replace();
    // Puts every installed file back from its backup and removes the backups (a backup that
    // cannot be copied back stays, so nothing is lost).
    void Restore();
    // After success: removes the downloads and the backups.
    void Finish();

private:
    struct File {
        std::string installed;
        std::string backup;
        std::string download;
    };
    File files_[3];
};
