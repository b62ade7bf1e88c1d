/* Modules of the Win32 stand-in. A module name such as "vtlsp.dll" or a full Windows path such as
 * "%SystemRoot%\system32\qfbase.dll" names the shared library lib<base name>.so (base name compared
 * without regard to case) in $QUILLFENCE_MODULE_PATH, or else in the directory of the stand-in's own
 * library. An HMODULE is valid until its last FreeLibrary. */
#ifndef QF_LIBLOADERAPI_H
#define QF_LIBLOADERAPI_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Reasons passed to a module's DllMain. On DLL_PROCESS_DETACH the reserved argument is NULL for an
 * unload by FreeLibrary and non-NULL at process exit. */
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

/* A module's entry point, which a module may define: declared here with C linkage, so a definition
 * with this signature has it too and the loader finds it by its name. LoadLibraryA refuses a module
 * that defines a DllMain of another signature (C++ linkage) with ERROR_DLL_INIT_FAILED. */
BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID lpvReserved);

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
#ifndef DECLSPEC_NORETURN
#define DECLSPEC_NORETURN __attribute__((noreturn))
#endif
DECLSPEC_NORETURN void WINAPI FreeLibraryAndExitThread(HMODULE hLibModule, DWORD dwExitCode);
/* NULL names the program itself. Does not add a reference. */
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
/* By name only; finds only what the module itself exports. */
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

#ifdef __cplusplus
}
#endif

#endif
