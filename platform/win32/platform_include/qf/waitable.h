// Waitable kernel objects: events, semaphores, mutexes and threads share this base so that
// WaitForSingleObject(Ex) and WaitForMultipleObjects(Ex) work on all of them. One lock guards the
// state of every waitable object, so a wait for several objects sees them all at one moment.
#pragma once

#include <qf/handle_table.h>

#include <mutex>
#include <vector>

namespace qf {

struct ThreadState;

std::mutex& sync_lock();

class Waitable : public KernelObject {
public:
    // Both are called with sync_lock() held. A satisfied wait calls consume() to take what the
    // wait uses up (an auto-reset event's signal, a semaphore's count, a mutex's ownership);
    // consume() answers true when it took over an abandoned mutex.
    virtual bool signaled_for(DWORD threadId) const = 0;
    virtual bool consume(DWORD threadId) {
        (void)threadId;
        return false;
    }
    // Called with sync_lock() held on each object of a wait after a check that did not consume it.
    virtual void settle() {}
    // Objects whose state can change in another process are polled while waited on.
    virtual bool needs_polling() const { return false; }

    // With sync_lock() held: wakes the threads waiting on this object, after a change that may
    // have signalled it.
    void wake_waiters();

    // With sync_lock() held: the waiting threads of a wait in progress.
    void add_waiter(ThreadState* thread) { waiters_.push_back(thread); }
    void remove_waiter(ThreadState* thread);

private:
    std::vector<ThreadState*> waiters_;
};

// Resolves a handle, including the GetCurrentThread() pseudo-handle, to a waitable object; null
// when the handle names nothing that can be waited on.
std::shared_ptr<Waitable> waitable_lookup(HANDLE handle);

}  // namespace qf
