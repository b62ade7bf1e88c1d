// The stand-in's record of a thread: its id, exit code, queued APCs and the condition it sleeps on
// in waits. Every thread gets one on first need (threads of CreateThread at once, others lazily);
// the record is the waitable object behind a thread handle, signalled when the thread has ended.
#pragma once

#include <qf/waitable.h>

#include <windows.h>

#include <condition_variable>
#include <csetjmp>
#include <deque>
#include <memory>

namespace qf {

struct MessageQueue;

struct ThreadState : Waitable {
    DWORD id = 0;
    // Guarded by sync_lock().
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    std::deque<std::pair<PAPCFUNC, ULONG_PTR>> apcs;
    std::condition_variable wake;  // waited on with sync_lock()
    std::vector<std::weak_ptr<Waitable>> ownedMutexes;

    // Set only on the thread itself: where ExitThread returns to on a thread of CreateThread.
    std::jmp_buf* exitJump = nullptr;
    DWORD pendingExitCode = 0;

    // The thread's message queue, made on first need (winuser).
    std::shared_ptr<MessageQueue> messages;  // guarded by sync_lock()

    bool signaled_for(DWORD) const override { return ended; }
};

// The calling thread's record, made on first use.
std::shared_ptr<ThreadState> current_thread();
// A live thread by id; null when none.
std::shared_ptr<ThreadState> find_thread(DWORD id);
// Called by a mutex when the given thread takes it, so it is abandoned if the thread ends.
void thread_owns_mutex(ThreadState& thread, const std::shared_ptr<Waitable>& mutex);
// Called on the thread at its end (with sync_lock() not held): abandons its mutexes, records the
// exit code, drops queued APCs and wakes the waiters on the thread.
void thread_ended(const std::shared_ptr<ThreadState>& thread, DWORD exitCode);
// Implemented by the mutex: marks it abandoned when owned by the given thread.
void mutex_abandon(Waitable& mutex, DWORD threadId);

// Implemented by the windows: the ended thread's windows go and its message queue closes.
void windows_thread_ended(ThreadState& thread);

// Runs the APCs queued to the calling thread, one at a time without the lock; returns whether any ran.
bool run_queued_apcs(ThreadState& thread);

// The core of every wait. Returns a WAIT_* result; WAIT_FAILED leaves the error to the caller.
DWORD wait_for_objects(std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD milliseconds,
                       bool alertable);

}  // namespace qf
