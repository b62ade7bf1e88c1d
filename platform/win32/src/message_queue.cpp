// Message queues: one per thread. Posted messages wait in the queue of the window's thread;
// messages sent from another thread are run by the receiving thread whenever it looks at its
// queue, while the sender waits (and runs what is sent to it meanwhile).
#include "windows_internal.h"

#include <chrono>

namespace qf {
namespace {

DWORD message_time() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::shared_ptr<MessageQueue> queue_of(ThreadState& thread) {
    std::lock_guard<std::mutex> guard(sync_lock());
    if (thread.ended) return nullptr;
    if (!thread.messages) thread.messages = std::make_shared<MessageQueue>();
    return thread.messages;
}

bool post_to(DWORD threadId, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> queue = message_queue_of(threadId);
    if (!queue) return false;
    std::lock_guard<std::mutex> guard(queue->lock);
    if (queue->ended) return false;
    queue->posted.push_back(MSG{hwnd, message, wParam, lParam, message_time(), POINT{0, 0}});
    queue->changed.notify_all();
    return true;
}

bool matches(const MSG& msg, HWND hwnd, UINT first, UINT last) {
    if (hwnd == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
        if (msg.hwnd) return false;  // thread messages only
    } else if (hwnd && msg.hwnd != hwnd) {
        return false;
    }
    return (first == 0 && last == 0) || (msg.message >= first && msg.message <= last);
}

enum class Take { Message, Quit, Nothing };

// With the queue lock held: the first matching posted message, or the quit request once no
// matching message is left (WM_QUIT comes whatever the filters, as on Windows).
Take take(MessageQueue& queue, MSG& out, HWND hwnd, UINT first, UINT last, bool remove) {
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!matches(*it, hwnd, first, last)) continue;
        out = *it;
        if (remove) queue.posted.erase(it);
        return Take::Message;
    }
    if (queue.quit) {
        out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, message_time(), POINT{0, 0}};
        if (remove) queue.quit = false;
        return Take::Quit;
    }
    return Take::Nothing;
}

bool valid_filter_window(HWND hwnd) {
    if (!hwnd || hwnd == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) return true;
    std::lock_guard<std::mutex> guard(windows_lock());
    return window_find(hwnd) != nullptr;
}

}  // namespace

std::shared_ptr<MessageQueue> message_queue_of(DWORD threadId) {
    std::shared_ptr<ThreadState> thread = find_thread(threadId);
    return thread ? queue_of(*thread) : nullptr;
}

std::shared_ptr<MessageQueue> current_message_queue() { return queue_of(*current_thread()); }

void message_queue_discard_window(DWORD threadId, HWND hwnd) {
    std::shared_ptr<MessageQueue> queue = message_queue_of(threadId);
    if (!queue) return;
    std::lock_guard<std::mutex> guard(queue->lock);
    for (auto it = queue->posted.begin(); it != queue->posted.end();)
        it = it->hwnd == hwnd ? queue->posted.erase(it) : std::next(it);
    queue->changed.notify_all();  // a GetMessageA filtering on this window must notice
}

bool message_queue_run_sent(MessageQueue& queue, std::unique_lock<std::mutex>& held) {
    bool ran = false;
    while (!queue.sent.empty()) {
        ran = true;
        std::shared_ptr<SentMessage> sent = queue.sent.front();
        queue.sent.pop_front();
        held.unlock();
        LRESULT result = 0;
        std::shared_ptr<Window> window;
        WNDPROC proc = nullptr;
        {
            std::lock_guard<std::mutex> guard(windows_lock());
            window = window_find(sent->msg.hwnd);
            if (window) proc = window->proc;
        }
        if (proc) result = proc(sent->msg.hwnd, sent->msg.message, sent->msg.wParam, sent->msg.lParam);
        {
            std::lock_guard<std::mutex> guard(sent->sender->lock);
            sent->result = result;
            sent->done = true;
            sent->sender->changed.notify_all();
        }
        held.lock();
    }
    return ran;
}

}  // namespace qf

using qf::MessageQueue;

extern "C" BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::shared_ptr<MessageQueue> queue = qf::current_message_queue();
    for (;;) {
        bool valid = qf::valid_filter_window(hWnd);
        std::unique_lock<std::mutex> lock(queue->lock);
        // A sent message may have changed anything, the filter window too: look again.
        if (qf::message_queue_run_sent(*queue, lock)) continue;
        switch (qf::take(*queue, *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
        case qf::Take::Message:
            return TRUE;
        case qf::Take::Quit:
            return FALSE;
        case qf::Take::Nothing:
            break;
        }
        // A filter window that is gone ends the wait with an error, as on Windows.
        if (!valid) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        // The lock is held from the look at the queue to the wait: no post can slip between.
        if (queue->sent.empty()) queue->changed.wait(lock);
    }
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<MessageQueue> queue = qf::current_message_queue();
    std::unique_lock<std::mutex> lock(queue->lock);
    qf::message_queue_run_sent(*queue, lock);
    return qf::take(*queue, *lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0) !=
           qf::Take::Nothing;
}

extern "C" BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    // There is no keyboard: key messages count as translated, and nothing else is.
    if (!lpMsg) return FALSE;
    switch (lpMsg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd) return 0;  // thread messages have no procedure
    WNDPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        std::shared_ptr<qf::Window> window = qf::window_find(lpMsg->hwnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (window->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
            return 0;
        }
        proc = window->proc;
    }
    return proc ? proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam) : 0;
}

extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DWORD threadId;
    if (!hWnd) {
        threadId = GetCurrentThreadId();
    } else {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        std::shared_ptr<qf::Window> window = qf::window_find(hWnd);
        if (!window || window->destroying) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        threadId = window->threadId;
    }
    if (!qf::post_to(threadId, hWnd, Msg, wParam, lParam)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

extern "C" BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!qf::post_to(idThread, nullptr, Msg, wParam, lParam)) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

extern "C" void WINAPI PostQuitMessage(int nExitCode) {
    std::shared_ptr<MessageQueue> queue = qf::current_message_queue();
    std::lock_guard<std::mutex> guard(queue->lock);
    queue->quit = true;
    queue->quitCode = nExitCode;
    queue->changed.notify_all();
}

extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DWORD threadId;
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        std::shared_ptr<qf::Window> window = qf::window_find(hWnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        threadId = window->threadId;
        proc = window->proc;
    }
    if (threadId == GetCurrentThreadId()) return proc ? proc(hWnd, Msg, wParam, lParam) : 0;

    std::shared_ptr<MessageQueue> target = qf::message_queue_of(threadId);
    std::shared_ptr<MessageQueue> own = qf::current_message_queue();
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto sent = std::make_shared<qf::SentMessage>();
    sent->msg = MSG{hWnd, Msg, wParam, lParam, 0, POINT{0, 0}};
    sent->sender = own;
    {
        std::lock_guard<std::mutex> guard(target->lock);
        if (target->ended) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        target->sent.push_back(sent);
        target->changed.notify_all();
    }
    // While waiting, answer what other threads send to this one, so two threads sending to each
    // other do not block for ever.
    std::unique_lock<std::mutex> lock(own->lock);
    for (;;) {
        qf::message_queue_run_sent(*own, lock);
        if (sent->done) return sent->result;
        own->changed.wait(lock);
    }
}
