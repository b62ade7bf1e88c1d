// Waits on kernel objects and the APCs that alertable waits run.
#include "thread_state.h"

#include <algorithm>
#include <chrono>

namespace qf {

std::mutex& sync_lock() {
    static std::mutex* instance = new std::mutex;  // outlives every static destructor
    return *instance;
}

void Waitable::wake_waiters() {
    for (ThreadState* thread : waiters_) thread->wake.notify_all();
}

void Waitable::remove_waiter(ThreadState* thread) {
    auto it = std::find(waiters_.begin(), waiters_.end(), thread);
    if (it != waiters_.end()) waiters_.erase(it);
}

bool run_queued_apcs(ThreadState& thread) {
    bool ran = false;
    std::unique_lock<std::mutex> lock(sync_lock());
    while (!thread.apcs.empty()) {
        auto apc = thread.apcs.front();
        thread.apcs.pop_front();
        lock.unlock();
        apc.first(apc.second);
        ran = true;
        lock.lock();
    }
    return ran;
}

namespace {

using Clock = std::chrono::steady_clock;

// With sync_lock() held: the index of the object that satisfies the wait, or -1.
int satisfied_index(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD threadId) {
    if (waitAll) {
        for (const auto& object : objects)
            if (!object->signaled_for(threadId)) return -1;
        return 0;
    }
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i]->signaled_for(threadId)) return static_cast<int>(i);
    return -1;
}

// A poll interval for objects that another process may signal.
constexpr auto kPollInterval = std::chrono::milliseconds(5);

}  // namespace

DWORD wait_for_objects(std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD milliseconds,
                       bool alertable) {
    std::shared_ptr<ThreadState> self = current_thread();
    const bool timed = milliseconds != INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timed ? milliseconds : 0);
    const bool polling = std::any_of(objects.begin(), objects.end(), [](const auto& o) { return o->needs_polling(); });

    std::unique_lock<std::mutex> lock(sync_lock());
    for (auto& object : objects) object->add_waiter(self.get());
    DWORD result = WAIT_TIMEOUT;
    for (;;) {
        // Queued APCs come first in an alertable wait, so a busy object cannot starve them.
        if (alertable && !self->apcs.empty()) {
            result = WAIT_IO_COMPLETION;
            break;
        }
        int index = satisfied_index(objects, waitAll, self->id);
        if (index >= 0) {
            bool abandoned = false;
            if (waitAll) {
                for (auto& object : objects) abandoned |= object->consume(self->id);
            } else {
                abandoned = objects[index]->consume(self->id);
            }
            result = (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
            if (!waitAll)
                for (size_t i = 0; i < objects.size(); ++i)
                    if (static_cast<int>(i) != index) objects[i]->settle();
            break;
        }
        for (auto& object : objects) object->settle();
        Clock::time_point now = Clock::now();
        if (timed && now >= deadline) break;
        if (polling) {
            Clock::time_point until = now + kPollInterval;
            if (timed && deadline < until) until = deadline;
            self->wake.wait_until(lock, until);
        } else if (timed) {
            self->wake.wait_until(lock, deadline);
        } else {
            self->wake.wait(lock);
        }
    }
    for (auto& object : objects) object->remove_waiter(self.get());
    lock.unlock();
    if (result == WAIT_IO_COMPLETION) run_queued_apcs(*self);
    return result;
}

}  // namespace qf

extern "C" DWORD WINAPI WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                                 DWORD dwMilliseconds, BOOL bAlertable) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<qf::Waitable>> objects;
    objects.reserve(nCount);
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = qf::waitable_lookup(lpHandles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        // Waiting for all of a set that names one object twice is refused, as on Windows.
        if (bWaitAll && std::find(objects.begin(), objects.end(), object) != objects.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    return qf::wait_for_objects(objects, bWaitAll != FALSE, dwMilliseconds, bAlertable != FALSE);
}

extern "C" DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                               DWORD dwMilliseconds) {
    return WaitForMultipleObjectsEx(nCount, lpHandles, bWaitAll, dwMilliseconds, FALSE);
}

extern "C" DWORD WINAPI WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable) {
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, bAlertable);
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjectsEx(1, &hHandle, FALSE, dwMilliseconds, FALSE);
}

extern "C" DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable) {
    std::vector<std::shared_ptr<qf::Waitable>> none;
    DWORD result = qf::wait_for_objects(none, false, dwMilliseconds, bAlertable != FALSE);
    return result == WAIT_IO_COMPLETION ? WAIT_IO_COMPLETION : 0;
}

extern "C" DWORD WINAPI QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData) {
    auto thread = std::dynamic_pointer_cast<qf::ThreadState>(qf::waitable_lookup(hThread));
    if (!thread || !pfnAPC) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    std::lock_guard<std::mutex> guard(qf::sync_lock());
    if (thread->ended) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    thread->apcs.emplace_back(pfnAPC, dwData);
    thread->wake.notify_all();
    return 1;
}
