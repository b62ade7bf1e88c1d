// GetModuleFileNameA asks the module loader for the file of a module handle other than NULL.
#pragma once

#include <windows.h>

#include <string>

namespace qf {

// The module loader's answer: true with the file path when module names a module it knows.
bool module_file_name(HMODULE module, std::string& path);

}  // namespace qf
