// Mutexes: owned by one thread at a time, recursively; abandoned when the owner ends. A named
// mutex is also held machine-wide through its lock file (named_mutex.h), so threads of different
// processes exclude each other and a second process sees ERROR_ALREADY_EXISTS.
#include "named_mutex.h"
#include "named_objects.h"
#include "thread_state.h"

namespace qf {
namespace {

struct Mutex : Waitable, std::enable_shared_from_this<Mutex> {
    // Guarded by sync_lock().
    DWORD owner = 0;
    DWORD recursion = 0;
    bool abandoned = false;
    std::unique_ptr<MachineMutexName> machine;  // named mutexes only

    bool signaled_for(DWORD threadId) const override {
        if (owner == threadId) return true;
        if (owner != 0) return false;
        return !machine || machine->try_own();
    }
    bool consume(DWORD threadId) override {
        if (owner == threadId) {
            ++recursion;
            return false;
        }
        owner = threadId;
        recursion = 1;
        bool ownerDied = machine && machine->take();
        if (std::shared_ptr<ThreadState> thread = find_thread(threadId))
            thread_owns_mutex(*thread, shared_from_this());
        bool wasAbandoned = abandoned || ownerDied;
        abandoned = false;
        return wasAbandoned;
    }
    // Machine-wide ownership taken during a check that did not end in this mutex goes back.
    void settle() override {
        if (owner == 0 && machine) machine->disown(false);
    }
    bool needs_polling() const override { return machine != nullptr; }

    void release_ownership(bool released) {
        owner = 0;
        recursion = 0;
        if (machine) machine->disown(released);
        wake_waiters();
    }
};

}  // namespace

void mutex_abandon(Waitable& waitable, DWORD threadId) {
    auto* mutex = dynamic_cast<Mutex*>(&waitable);
    if (!mutex || mutex->owner != threadId) return;
    mutex->abandoned = true;
    mutex->release_ownership(false);
}

}  // namespace qf

using qf::Mutex;

extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName) {
    std::shared_ptr<qf::ThreadState> self = qf::current_thread();
    DWORD error = ERROR_SUCCESS;
    auto make = [&]() -> std::shared_ptr<qf::KernelObject> {
        auto mutex = std::make_shared<Mutex>();
        if (lpName && *lpName) {
            bool existed = false;
            mutex->machine = qf::MachineMutexName::open(lpName, existed);
            if (!mutex->machine) {
                error = GetLastError();
                return nullptr;
            }
            if (existed) error = ERROR_ALREADY_EXISTS;
        }
        return mutex;
    };
    std::shared_ptr<qf::KernelObject> object;
    bool existedHere = false;
    if (lpName && *lpName) {
        object = qf::named_object_open_or_create(
            lpName, [](const qf::KernelObject& o) { return dynamic_cast<const Mutex*>(&o) != nullptr; }, make,
            existedHere);
        if (!object) {
            SetLastError(existedHere ? ERROR_INVALID_HANDLE : error);
            return nullptr;
        }
        if (existedHere) error = ERROR_ALREADY_EXISTS;
    } else {
        object = make();
    }
    // The initial ownership is taken only by the creator of the object, and only when no thread
    // of another process owns it at this moment.
    if (bInitialOwner && error != ERROR_ALREADY_EXISTS) {
        auto mutex = std::static_pointer_cast<Mutex>(object);
        std::lock_guard<std::mutex> guard(qf::sync_lock());
        if (mutex->signaled_for(self->id)) mutex->consume(self->id);
    }
    HANDLE handle = qf::handle_insert(std::move(object));
    SetLastError(error);
    return handle;
}

extern "C" HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR lpName) {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (auto object = qf::named_object_find(lpName)) {
        if (!std::dynamic_pointer_cast<Mutex>(object)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return qf::handle_insert(std::move(object));
    }
    if (!qf::MachineMutexName::held(lpName)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    HANDLE handle = CreateMutexA(nullptr, FALSE, lpName);
    if (handle) SetLastError(ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    auto mutex = qf::handle_lookup_as<Mutex>(hMutex);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(qf::sync_lock());
    if (mutex->owner != self) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex->recursion == 0) mutex->release_ownership(true);
    return TRUE;
}
