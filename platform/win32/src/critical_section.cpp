// Critical sections: recursive locks owned by a thread, as on Windows.
#include "modules.h"

#include <windows.h>

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

pthread_mutex_t* new_recursive_mutex() {
    auto* mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
    if (!mutex) std::abort();
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    return mutex;
}

// The lock behind a critical section. A section that was zeroed but never initialised gets its
// lock on first use (one thread wins the race; the others take the winner's).
pthread_mutex_t* lock_of(LPCRITICAL_SECTION section) {
    auto* slot = reinterpret_cast<std::atomic<HANDLE>*>(&section->LockSemaphore);
    HANDLE current = slot->load(std::memory_order_acquire);
    if (current) return static_cast<pthread_mutex_t*>(current);
    pthread_mutex_t* fresh = new_recursive_mutex();
    HANDLE expected = nullptr;
    if (slot->compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) return fresh;
    pthread_mutex_destroy(fresh);
    std::free(fresh);
    return static_cast<pthread_mutex_t*>(expected);
}

void note_entered(LPCRITICAL_SECTION section) {
    if (++section->RecursionCount == 1) section->OwningThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(gettid()));
}

}  // namespace

static_assert(sizeof(std::atomic<HANDLE>) == sizeof(HANDLE), "the lock slot is a plain pointer");

extern "C" void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->DebugInfo = nullptr;
    lpCriticalSection->LockCount = -1;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = nullptr;
    lpCriticalSection->SpinCount = 0;
    lpCriticalSection->LockSemaphore = new_recursive_mutex();
}

extern "C" void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    pthread_mutex_lock(lock_of(lpCriticalSection));
    note_entered(lpCriticalSection);
}

extern "C" BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (pthread_mutex_trylock(lock_of(lpCriticalSection)) != 0) return FALSE;
    note_entered(lpCriticalSection);
    return TRUE;
}

extern "C" void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    // Only the owner releases; a call from a thread that does not hold the section does nothing.
    if (lpCriticalSection->OwningThread != reinterpret_cast<HANDLE>(static_cast<intptr_t>(gettid())) ||
        lpCriticalSection->RecursionCount <= 0)
        return;
    if (--lpCriticalSection->RecursionCount == 0) lpCriticalSection->OwningThread = nullptr;
    pthread_mutex_unlock(lock_of(lpCriticalSection));
}

extern "C" void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    // A library deletes its locks in its detach at process exit, when on Windows no other thread
    // runs; here one may still hold the section or wait for it, so the section stays as it is (the
    // process is ending, its memory goes with it).
    if (qf::process_exiting()) return;
    auto* mutex = static_cast<pthread_mutex_t*>(lpCriticalSection->LockSemaphore);
    if (mutex) {
        pthread_mutex_destroy(mutex);
        std::free(mutex);
    }
    lpCriticalSection->LockSemaphore = nullptr;
    lpCriticalSection->RecursionCount = 0;
    lpCriticalSection->OwningThread = nullptr;
}
