#include "temp_machine_root.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace qf_test {

TempMachineRoot::TempMachineRoot() {
    if (const char* old = getenv("QUILLFENCE_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "qf-root-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary machine root");
    path_ = pattern;
    setenv("QUILLFENCE_ROOT", path_.c_str(), 1);
}

TempMachineRoot::~TempMachineRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    if (hadPrevious_)
        setenv("QUILLFENCE_ROOT", previous_.c_str(), 1);
    else
        unsetenv("QUILLFENCE_ROOT");
}

std::string TempMachineRoot::file(const std::string& relative) const { return path_ + "/" + relative; }

}  // namespace qf_test
