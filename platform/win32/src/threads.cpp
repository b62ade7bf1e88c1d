// Threads: CreateThread / ExitThread, thread ids and handles, the current thread and process
// pseudo-handles, DuplicateHandle and OpenThread.
#include "fault_take.h"
#include "thread_state.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <unordered_map>

namespace qf {
namespace {

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

struct ThreadRegistry {
    std::mutex lock;
    std::unordered_map<DWORD, std::weak_ptr<ThreadState>> live;
};

ThreadRegistry& registry() {
    static ThreadRegistry* instance = new ThreadRegistry;  // outlives every static destructor
    return *instance;
}

DWORD next_thread_id() {
    static std::atomic<DWORD> next{0x100};
    DWORD id;
    do id = next.fetch_add(4); while (id == 0);
    return id;
}

std::shared_ptr<ThreadState> make_thread_state() {
    auto state = std::make_shared<ThreadState>();
    state->id = next_thread_id();
    std::lock_guard<std::mutex> guard(registry().lock);
    registry().live[state->id] = state;
    return state;
}

// Trivially destructible, so valid until the thread is gone: whether the holder below has been
// destroyed, the id of the record it held, and the record that the thread uses from then on.
thread_local bool holderGone = false;
thread_local DWORD endedId = 0;
thread_local std::shared_ptr<ThreadState>* lateRecord = nullptr;

// Holds the calling thread's record; a thread that the stand-in did not start ends here. It goes
// with the thread's other thread_local objects, which at process exit is before the libraries'
// DllMain runs on the exiting thread; calls made after that get a record with the same id.
struct CurrentThreadHolder {
    std::shared_ptr<ThreadState> state;
    ~CurrentThreadHolder() {
        std::shared_ptr<ThreadState> ending = std::move(state);
        holderGone = true;
        if (!ending) return;
        endedId = ending->id;
        thread_ended(ending, 0);
    }
};
thread_local CurrentThreadHolder currentHolder;

// The process as a waitable object: never signalled while the process runs.
struct ProcessObject : Waitable {
    bool signaled_for(DWORD) const override { return false; }
};

std::shared_ptr<ProcessObject> process_object() {
    static auto* instance = new std::shared_ptr<ProcessObject>(std::make_shared<ProcessObject>());
    return *instance;
}

struct StartBlock {
    std::shared_ptr<ThreadState> state;
    LPTHREAD_START_ROUTINE routine;
    LPVOID parameter;
};

void* thread_main(void* arg) {
    std::unique_ptr<StartBlock> start(static_cast<StartBlock*>(arg));
    std::shared_ptr<ThreadState> state = start->state;
    currentHolder.state = state;
    std::jmp_buf exitJump;
    state->exitJump = &exitJump;
    volatile DWORD exitCode = 0;
    // ExitThread jumps back here without unwinding the thread's frames, as Windows ends a thread;
    // the frames may belong to a module that FreeLibraryAndExitThread has just unloaded.
    if (setjmp(exitJump) == 0)
        exitCode = start->routine(start->parameter);
    else
        exitCode = state->pendingExitCode;
    state->exitJump = nullptr;
    start.reset();
    currentHolder.state.reset();
    thread_ended(state, exitCode);
    return nullptr;
}

}  // namespace

std::shared_ptr<ThreadState> current_thread() {
    if (holderGone) {
        if (!lateRecord) {
            auto late = std::make_shared<ThreadState>();
            late->id = endedId ? endedId : next_thread_id();
            lateRecord = new std::shared_ptr<ThreadState>(std::move(late));  // lives as long as the thread
        }
        return *lateRecord;
    }
    if (!currentHolder.state) currentHolder.state = make_thread_state();
    return currentHolder.state;
}

std::shared_ptr<ThreadState> find_thread(DWORD id) {
    std::lock_guard<std::mutex> guard(registry().lock);
    auto it = registry().live.find(id);
    return it == registry().live.end() ? nullptr : it->second.lock();
}

void thread_owns_mutex(ThreadState& thread, const std::shared_ptr<Waitable>& mutex) {
    auto& owned = thread.ownedMutexes;
    owned.erase(std::remove_if(owned.begin(), owned.end(), [](const std::weak_ptr<Waitable>& w) { return w.expired(); }),
                owned.end());
    owned.push_back(mutex);
}

void thread_ended(const std::shared_ptr<ThreadState>& thread, DWORD exitCode) {
    {
        std::lock_guard<std::mutex> guard(registry().lock);
        registry().live.erase(thread->id);
    }
    {
        std::lock_guard<std::mutex> guard(sync_lock());
        if (thread->ended) return;
    }
    windows_thread_ended(*thread);
    std::lock_guard<std::mutex> guard(sync_lock());
    for (auto& weak : thread->ownedMutexes)
        if (auto mutex = weak.lock()) mutex_abandon(*mutex, thread->id);
    thread->ownedMutexes.clear();
    thread->apcs.clear();
    thread->exitCode = exitCode;
    thread->ended = true;
    thread->wake_waiters();
}

std::shared_ptr<Waitable> waitable_lookup(HANDLE handle) {
    if (handle == kCurrentThread) return current_thread();
    if (handle == kCurrentProcess) return process_object();
    return handle_lookup_as<Waitable>(handle);
}

}  // namespace qf

using qf::ThreadState;

extern "C" HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                                      LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress || (dwCreationFlags & ~static_cast<DWORD>(STACK_SIZE_PARAM_IS_A_RESERVATION)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (qf::fault_take(qf::Fault::CreateThread)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto start = std::make_unique<qf::StartBlock>();
    start->state = qf::make_thread_state();
    start->routine = lpStartAddress;
    start->parameter = lpParameter;
    std::shared_ptr<ThreadState> state = start->state;
    HANDLE handle = qf::handle_insert(state);

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    size_t defaultSize = 0;
    pthread_attr_getstacksize(&attr, &defaultSize);
    if (dwStackSize > defaultSize) pthread_attr_setstacksize(&attr, dwStackSize);
    pthread_t thread;
    int rc = pthread_create(&thread, &attr, qf::thread_main, start.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        qf::handle_remove(handle);
        {
            std::lock_guard<std::mutex> guard(qf::registry().lock);
            qf::registry().live.erase(state->id);
        }
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    start.release();  // the thread owns it now
    if (lpThreadId) *lpThreadId = state->id;
    return handle;
}

extern "C" void WINAPI ExitThread(DWORD dwExitCode) {
    std::shared_ptr<ThreadState> self = qf::current_thread();
    if (self->exitJump) {
        self->pendingExitCode = dwExitCode;
        std::jmp_buf* target = self->exitJump;
        self.reset();
        std::longjmp(*target, 1);
    }
    // A thread that the stand-in did not start ends the POSIX way.
    qf::currentHolder.state.reset();
    qf::thread_ended(self, dwExitCode);
    self.reset();
    pthread_exit(nullptr);
}

extern "C" BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = std::dynamic_pointer_cast<ThreadState>(qf::waitable_lookup(hThread));
    if (!thread || !lpExitCode) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(qf::sync_lock());
    *lpExitCode = thread->ended ? thread->exitCode : STILL_ACTIVE;
    return TRUE;
}

extern "C" DWORD WINAPI GetCurrentThreadId(void) { return qf::current_thread()->id; }

extern "C" DWORD WINAPI GetThreadId(HANDLE Thread) {
    auto thread = std::dynamic_pointer_cast<ThreadState>(qf::waitable_lookup(Thread));
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return thread->id;
}

extern "C" HANDLE WINAPI GetCurrentThread(void) { return qf::kCurrentThread; }
extern "C" HANDLE WINAPI GetCurrentProcess(void) { return qf::kCurrentProcess; }

extern "C" HANDLE WINAPI OpenThread(DWORD, BOOL, DWORD dwThreadId) {
    std::shared_ptr<ThreadState> thread = qf::find_thread(dwThreadId);
    if (!thread) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return qf::handle_insert(thread);
}

extern "C" BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                                       LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD dwOptions) {
    // Only handles of this process: other processes are not reachable from the stand-in.
    if (hSourceProcessHandle != qf::kCurrentProcess || hTargetProcessHandle != qf::kCurrentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::shared_ptr<qf::KernelObject> object;
    if (hSourceHandle == qf::kCurrentThread)
        object = qf::current_thread();
    else if (hSourceHandle == qf::kCurrentProcess)
        object = qf::process_object();
    else
        object = qf::handle_lookup(hSourceHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (dwOptions & DUPLICATE_CLOSE_SOURCE) qf::handle_remove(hSourceHandle);
    if (lpTargetHandle) *lpTargetHandle = qf::handle_insert(std::move(object));
    return TRUE;
}
