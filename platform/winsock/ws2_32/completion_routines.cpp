#include "completion_routines.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace qf::ws2 {
namespace {

struct Routine {
    SOCKET socket;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine;
    WSATHREADID thread;
};

struct Routines {
    std::mutex lock;
    std::unordered_map<LPWSAOVERLAPPED, Routine> byOverlapped;
};

Routines& routines() {
    static Routines* instance = new Routines;
    return *instance;
}

struct Call {
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine;
    DWORD error, bytes, flags;
    LPWSAOVERLAPPED overlapped;
};

void CALLBACK run_routine(DWORD_PTR value) {
    std::unique_ptr<Call> call(reinterpret_cast<Call*>(value));
    call->routine(call->error, call->bytes, call->overlapped, call->flags);
}

}  // namespace

void routine_note(SOCKET s, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine,
                  const WSATHREADID* thread) {
    Routines& r = routines();
    std::lock_guard<std::mutex> guard(r.lock);
    if (routine && thread)
        r.byOverlapped[overlapped] = Routine{s, routine, *thread};
    else
        r.byOverlapped.erase(overlapped);
}

bool routine_complete(SOCKET s, LPWSAOVERLAPPED overlapped, DWORD error, DWORD bytes) {
    Routine routine;
    {
        Routines& r = routines();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.byOverlapped.find(overlapped);
        if (it == r.byOverlapped.end() || it->second.socket != s) return false;
        routine = it->second;
        r.byOverlapped.erase(it);
    }
    // The flags of the operation are where providers keep them: OffsetHigh.
    auto* call = new Call{routine.routine, error, bytes, overlapped->OffsetHigh, overlapped};
    int ignored = 0;
    if (WPUQueueApc(&routine.thread, run_routine, reinterpret_cast<DWORD_PTR>(call), &ignored) != 0)
        delete call;  // the calling thread has ended
    return true;
}

void routine_forget(SOCKET s) {
    Routines& r = routines();
    std::lock_guard<std::mutex> guard(r.lock);
    if (s == INVALID_SOCKET) {
        r.byOverlapped.clear();
        return;
    }
    for (auto it = r.byOverlapped.begin(); it != r.byOverlapped.end();)
        it = it->second.socket == s ? r.byOverlapped.erase(it) : std::next(it);
}

}  // namespace qf::ws2
