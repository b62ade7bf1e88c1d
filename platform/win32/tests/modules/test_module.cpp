// A module for the loader's tests. DllMain appends "attach <reserved != NULL>" and
// "detach <reserved != NULL>" lines to the file named by QF_TEST_MODULE_LOG, and refuses to
// attach when QF_TEST_MODULE_REFUSE is set.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

int counter = 0;
HANDLE goEvent = nullptr;
HANDLE startedEvent = nullptr;

void log_event(const char* what, LPVOID reserved) {
    const char* path = getenv("QF_TEST_MODULE_LOG");
    if (!path) return;
    if (FILE* f = fopen(path, "a")) {
        fprintf(f, "%s %d\n", what, reserved != nullptr ? 1 : 0);
        fclose(f);
    }
}

// Runs inside this module: holds its own reference, and gives it back as it ends.
DWORD WINAPI module_thread(LPVOID) {
    HMODULE self = LoadLibraryA("win32_testmodule.dll");
    SetEvent(startedEvent);
    WaitForSingleObject(goEvent, INFINITE);
    FreeLibraryAndExitThread(self, 5);
}

}  // namespace

// Defined as a Windows module defines it: the declaration in <libloaderapi.h> gives it C linkage.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        log_event("attach", reserved);
        return getenv("QF_TEST_MODULE_REFUSE") ? FALSE : TRUE;
    }
    if (reason == DLL_PROCESS_DETACH) log_event("detach", reserved);
    return TRUE;
}

extern "C" int test_module_bump() { return ++counter; }

// Starts a thread whose code lives in this module. It takes a reference on the module, signals
// started, and once go is signalled ends with FreeLibraryAndExitThread.
extern "C" HANDLE test_module_start_thread(HANDLE go, HANDLE started) {
    goEvent = go;
    startedEvent = started;
    return CreateThread(nullptr, 0, module_thread, nullptr, 0, nullptr);
}
