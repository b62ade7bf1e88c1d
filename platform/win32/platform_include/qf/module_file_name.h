// GetModuleFileNameA asks the module loader for the file of a module handle other than NULL.
#pragma once

#include <windows.h>

#include <string>

namespace qf {

// Defined by the module loader: true with the module's file path when module names a loaded
// module. While no loader defines it, GetModuleFileNameA answers only for NULL (the program).
bool module_file_name(HMODULE module, std::string& path) __attribute__((weak));

}  // namespace qf
