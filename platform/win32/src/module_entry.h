// Finding a module's entry point: DllMain has C linkage, so its symbol is "DllMain".
#pragma once

#include <string>

namespace qf {

// Whether the shared library file at path defines a DllMain with C++ linkage (a mangled
// "_Z7DllMain..." symbol in its dynamic symbol table): an entry point that a lookup by its name
// would silently miss. False when the file cannot be read as an ELF library of this machine.
bool module_defines_cxx_dll_main(const std::string& path);

}  // namespace qf
