// A module whose DllMain has a signature other than the declared one, so C++ linkage: its entry
// point would never run, and the loader refuses it.
#include <windows.h>

BOOL WINAPI DllMain(HANDLE, DWORD, LPVOID) { return TRUE; }

extern "C" int cxx_entry_module_export() { return 1; }
