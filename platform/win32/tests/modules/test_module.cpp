// A module for the loader's tests. DllMain appends "attach <reserved != NULL>" and
// "detach <reserved != NULL>" lines to the file named by QF_TEST_MODULE_LOG, and refuses to
// attach when QF_TEST_MODULE_REFUSE is set. With its lock contended (test_module_contend_lock),
// the detach at process exit deletes the lock as a library does, lets the holder go, and logs
// "waiter entered <1 when the thread blocked on the lock got it>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

int counter = 0;
HINSTANCE self = nullptr;
HANDLE goEvent = nullptr;
HANDLE startedEvent = nullptr;

// The contended lock: a holder thread keeps it until released; a waiter thread blocks on it.
CRITICAL_SECTION lock;
bool lockContended = false;
HANDLE lockHeld = nullptr;
HANDLE lockRelease = nullptr;
HANDLE waiterStarting = nullptr;
HANDLE waiterEntered = nullptr;
constexpr DWORD kDeadlineMs = 10000;

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

DWORD WINAPI lock_holder(LPVOID) {
    EnterCriticalSection(&lock);
    SetEvent(lockHeld);
    WaitForSingleObject(lockRelease, kDeadlineMs);
    LeaveCriticalSection(&lock);
    return 0;
}

DWORD WINAPI lock_waiter(LPVOID) {
    SetEvent(waiterStarting);
    EnterCriticalSection(&lock);
    SetEvent(waiterEntered);
    LeaveCriticalSection(&lock);
    return 0;
}

void detach_with_contended_lock() {
    DeleteCriticalSection(&lock);
    SetEvent(lockRelease);
    bool entered = WaitForSingleObject(waiterEntered, kDeadlineMs) == WAIT_OBJECT_0;
    log_event("waiter entered", entered ? &lock : nullptr);
}

}  // namespace

// Defined as a Windows module defines it: the declaration in <libloaderapi.h> gives it C linkage.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        log_event("attach", reserved);
        return getenv("QF_TEST_MODULE_REFUSE") ? FALSE : TRUE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        log_event("detach", reserved);
        if (reserved && lockContended) detach_with_contended_lock();
    }
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

// Makes the module's lock contended: a thread holds it, and once this returns another thread is
// about to block on it (a short pause lets it get there). False when a thread could not start.
extern "C" BOOL test_module_contend_lock() {
    InitializeCriticalSection(&lock);
    lockHeld = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    lockRelease = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    waiterStarting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    waiterEntered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!CreateThread(nullptr, 0, lock_holder, nullptr, 0, nullptr) ||
        WaitForSingleObject(lockHeld, kDeadlineMs) != WAIT_OBJECT_0)
        return FALSE;
    if (!CreateThread(nullptr, 0, lock_waiter, nullptr, 0, nullptr) ||
        WaitForSingleObject(waiterStarting, kDeadlineMs) != WAIT_OBJECT_0)
        return FALSE;
    Sleep(50);
    lockContended = true;
    return TRUE;
}

// The procedure of the module's window class: WM_USER answers test_module_bump().
extern "C" LRESULT CALLBACK test_module_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) return test_module_bump();
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Registers the module's window class "Test Module Window" with the module's instance, as a
// provider registers its hidden window's class; the result of RegisterClassA.
extern "C" ATOM test_module_register_class() {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = test_module_window_proc;
    wc.cbWndExtra = 4;
    wc.hInstance = self;
    wc.lpszClassName = "Test Module Window";
    return RegisterClassA(&wc);
}
