// Events: manual-reset and auto-reset.
#include <qf/waitable.h>

#include "named_objects.h"

#include <windows.h>

namespace qf {
namespace {

struct Event : Waitable {
    bool manualReset = false;
    bool signaled = false;  // guarded by sync_lock()

    bool signaled_for(DWORD) const override { return signaled; }
    bool consume(DWORD) override {
        if (!manualReset) signaled = false;
        return false;
    }
};

BOOL set_state(HANDLE hEvent, bool signaled) {
    auto event = handle_lookup_as<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(sync_lock());
    event->signaled = signaled;
    if (signaled) event->wake_waiters();
    return TRUE;
}

}  // namespace
}  // namespace qf

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
    auto make = [&]() -> std::shared_ptr<qf::KernelObject> {
        auto event = std::make_shared<qf::Event>();
        event->manualReset = bManualReset != FALSE;
        event->signaled = bInitialState != FALSE;
        return event;
    };
    std::shared_ptr<qf::KernelObject> object;
    bool existed = false;
    if (lpName && *lpName) {
        object = qf::named_object_open_or_create(
            lpName, [](const qf::KernelObject& o) { return dynamic_cast<const qf::Event*>(&o) != nullptr; }, make,
            existed);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);  // the name belongs to another kind of object
            return nullptr;
        }
    } else {
        object = make();
    }
    HANDLE handle = qf::handle_insert(std::move(object));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL WINAPI SetEvent(HANDLE hEvent) { return qf::set_state(hEvent, true); }
extern "C" BOOL WINAPI ResetEvent(HANDLE hEvent) { return qf::set_state(hEvent, false); }
