// A temporary machine root for one test: created empty, named by QUILLFENCE_ROOT for the
// process while it lives, removed with everything under it afterwards.
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
    // The Linux path of a file under the root, e.g. file("drive_c/WINDOWS/SYSTEM32/x").
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace qf_test
