// The start-up lock, created when the library is loaded and deleted when it is unloaded. The
// provider's process attach and detach will own it once the Winsock plumbing is in place.
#include "filter.h"

namespace {

struct StartupLock {
    CRITICAL_SECTION section;
    StartupLock() { InitializeCriticalSection(&section); }
    ~StartupLock() { DeleteCriticalSection(&section); }
};

StartupLock g_startupLock;

}  // namespace

LPCRITICAL_SECTION vtlsp_startup_lock(void) { return &g_startupLock.section; }
