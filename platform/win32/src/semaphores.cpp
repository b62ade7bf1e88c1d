// Semaphores: a count between 0 and a maximum; a satisfied wait takes one.
#include <qf/waitable.h>

#include "named_objects.h"

#include <windows.h>

namespace qf {
namespace {

struct Semaphore : Waitable {
    LONG count = 0;  // guarded by sync_lock()
    LONG maximum = 1;

    bool signaled_for(DWORD) const override { return count > 0; }
    bool consume(DWORD) override {
        --count;
        return false;
    }
};

}  // namespace
}  // namespace qf

extern "C" HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG lInitialCount, LONG lMaximumCount,
                                          LPCSTR lpName) {
    if (lMaximumCount <= 0 || lInitialCount < 0 || lInitialCount > lMaximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto make = [&]() -> std::shared_ptr<qf::KernelObject> {
        auto semaphore = std::make_shared<qf::Semaphore>();
        semaphore->count = lInitialCount;
        semaphore->maximum = lMaximumCount;
        return semaphore;
    };
    std::shared_ptr<qf::KernelObject> object;
    bool existed = false;
    if (lpName && *lpName) {
        object = qf::named_object_open_or_create(
            lpName, [](const qf::KernelObject& o) { return dynamic_cast<const qf::Semaphore*>(&o) != nullptr; },
            make, existed);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    } else {
        object = make();
    }
    HANDLE handle = qf::handle_insert(std::move(object));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL WINAPI ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount) {
    auto semaphore = qf::handle_lookup_as<qf::Semaphore>(hSemaphore);
    if (!semaphore) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lReleaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(qf::sync_lock());
    // Compared without overflow: the maximum may be close to the largest LONG.
    if (lReleaseCount > semaphore->maximum - semaphore->count) {
        SetLastError(ERROR_TOO_MANY_POSTS);
        return FALSE;
    }
    if (lpPreviousCount) *lpPreviousCount = semaphore->count;
    semaphore->count += lReleaseCount;
    semaphore->wake_waiters();
    return TRUE;
}
