// A temporary machine root for one test: created empty, named by QUILLFENCE_ROOT for the
// process while it lives, removed with everything under it afterwards.
//
// In the Windows build the machine is the real one (under Wine, a prefix made for the test run):
// the root stands for drive C:, and what the system keeps there (its registry keys, the installed
// folder, the topic list file, a scratch folder for the tests' own files) is removed when the
// root is made and when it goes, so each test starts from a machine without the system. Tests on
// such a root never run at the same time (ctest's lock "machine").
#pragma once

#include <string>

namespace qf_test {

class TempMachineRoot {
public:
    TempMachineRoot();
    ~TempMachineRoot();
    TempMachineRoot(const TempMachineRoot&) = delete;
    TempMachineRoot& operator=(const TempMachineRoot&) = delete;

    const std::string& path() const { return path_; }
    // The path of a file under the root, e.g. file("drive_c/WINDOWS/SYSTEM32/x"): under the root's
    // folder on Linux; on Windows "drive_c/" is drive C: and anything else is in the scratch folder.
    std::string file(const std::string& relative) const;

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace qf_test
