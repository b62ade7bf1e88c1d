// Windows: CreateWindowExA, DestroyWindow, the window's data (Get/SetWindowLong(Ptr)A) and
// DefWindowProcA. Nothing is drawn: these are hidden windows that receive messages.
#include "fault_take.h"
#include "windows_internal.h"

#include <cstring>
#include <unordered_map>

namespace qf {
namespace {

std::unordered_map<uintptr_t, std::shared_ptr<Window>>& windows() {  // guarded by windows_lock()
    static auto* instance = new std::unordered_map<uintptr_t, std::shared_ptr<Window>>;
    return *instance;
}

LRESULT call(const std::shared_ptr<Window>& window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> guard(windows_lock());
        proc = window->proc;
    }
    return proc ? proc(window->hwnd, message, wParam, lParam) : 0;
}

std::shared_ptr<Window> lookup(HWND hwnd) {
    std::lock_guard<std::mutex> guard(windows_lock());
    return window_find(hwnd);
}

// The extra bytes keep the 32-bit layout of the target: a value is addressed by a 32-bit slot
// index, and a pointer-sized value fits at the last slot too (the area has room for it).
bool extra_slot(const Window& window, int index) {
    return index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= static_cast<size_t>(window.extraSize);
}

}  // namespace

std::mutex& windows_lock() {
    static std::mutex* instance = new std::mutex;
    return *instance;
}

std::shared_ptr<Window> window_find(HWND hwnd) {
    auto it = windows().find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows().end() ? nullptr : it->second;
}

bool window_class_has_windows(ATOM atom) {
    for (auto& entry : windows())
        if (entry.second->classAtom == atom) return true;
    return false;
}

void windows_thread_ended(ThreadState& thread) {
    {
        std::lock_guard<std::mutex> guard(windows_lock());
        for (auto it = windows().begin(); it != windows().end();)
            it = it->second->threadId == thread.id ? windows().erase(it) : std::next(it);
    }
    std::shared_ptr<MessageQueue> queue;
    {
        std::lock_guard<std::mutex> guard(sync_lock());
        queue = std::move(thread.messages);
    }
    if (!queue) return;
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
        std::lock_guard<std::mutex> guard(queue->lock);
        queue->ended = true;
        queue->posted.clear();
        unanswered.swap(queue->sent);
    }
    for (auto& sent : unanswered) {
        std::lock_guard<std::mutex> guard(sent->sender->lock);
        sent->done = true;
        sent->sender->changed.notify_all();
    }
}

}  // namespace qf

using qf::Window;

extern "C" HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                       int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
    auto window = std::make_shared<Window>();
    {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        qf::WindowClass windowClass;
        if (!lpClassName || !qf::window_class_find(lpClassName, hInstance, windowClass)) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if (hWndParent && hWndParent != HWND_MESSAGE && !qf::window_find(hWndParent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (qf::fault_take(qf::Fault::CreateWindowExA)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        static uintptr_t nextHandle = 0x10010;
        window->hwnd = reinterpret_cast<HWND>(nextHandle);
        nextHandle += 4;
        window->threadId = GetCurrentThreadId();
        window->classAtom = windowClass.atom;
        window->proc = windowClass.info.lpfnWndProc;
        window->instance = hInstance ? hInstance : windowClass.info.hInstance;
        window->parent = hWndParent == HWND_MESSAGE ? nullptr : hWndParent;
        window->id = (dwStyle & WS_CHILD) ? reinterpret_cast<LONG_PTR>(hMenu) : 0;
        window->extraSize = windowClass.info.cbWndExtra;
        window->extra.assign(static_cast<size_t>(window->extraSize) + sizeof(LONG_PTR), 0);
        qf::windows()[reinterpret_cast<uintptr_t>(window->hwnd)] = window;
    }
    CREATESTRUCTA create = {};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = nHeight;
    create.cx = nWidth;
    create.y = Y;
    create.x = X;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    HWND hwnd = window->hwnd;
    if (!qf::call(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        qf::call(window, WM_NCDESTROY, 0, 0);
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        qf::windows().erase(reinterpret_cast<uintptr_t>(hwnd));
        return nullptr;
    }
    if (qf::call(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    std::shared_ptr<Window> window = qf::lookup(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->threadId != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        if (window->destroying) return TRUE;  // already on its way out (a WM_DESTROY handler asked again)
        window->destroying = true;
        for (auto& entry : qf::windows())
            if (entry.second->parent == hWnd) children.push_back(entry.second->hwnd);
    }
    qf::call(window, WM_DESTROY, 0, 0);
    for (HWND child : children) DestroyWindow(child);
    qf::call(window, WM_NCDESTROY, 0, 0);
    {
        std::lock_guard<std::mutex> guard(qf::windows_lock());
        qf::windows().erase(reinterpret_cast<uintptr_t>(hWnd));
    }
    qf::message_queue_discard_window(window->threadId, hWnd);
    return TRUE;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) { return qf::lookup(hWnd) != nullptr; }

extern "C" DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    std::shared_ptr<Window> window = qf::lookup(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) *lpdwProcessId = GetCurrentProcessId();
    return window->threadId;
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}

namespace {

// Reads or writes a window value; returns the previous value. write is null for a read.
LONG_PTR window_value(HWND hWnd, int nIndex, const LONG_PTR* write, size_t width) {
    std::lock_guard<std::mutex> guard(qf::windows_lock());
    std::shared_ptr<Window> window = qf::window_find(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    if (nIndex >= 0) {
        if (!qf::extra_slot(*window, nIndex)) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        unsigned char* at = window->extra.data() + nIndex;
        if (width == sizeof(LONG)) {
            LONG value;
            std::memcpy(&value, at, sizeof value);
            previous = value;
            if (write) {
                value = static_cast<LONG>(*write);
                std::memcpy(at, &value, sizeof value);
            }
        } else {
            std::memcpy(&previous, at, sizeof previous);
            if (write) std::memcpy(at, write, sizeof *write);
        }
        return previous;
    }
    switch (nIndex) {
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(window->proc);
        if (write) window->proc = reinterpret_cast<WNDPROC>(*write);
        break;
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(window->instance);
        if (write) window->instance = reinterpret_cast<HINSTANCE>(*write);
        break;
    case GWLP_HWNDPARENT:
        previous = reinterpret_cast<LONG_PTR>(window->parent);
        if (write) window->parent = reinterpret_cast<HWND>(*write);
        break;
    case GWLP_ID:
        previous = window->id;
        if (write) window->id = *write;
        break;
    case GWLP_USERDATA:
        previous = window->userData;
        if (write) window->userData = *write;
        break;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return previous;
}

}  // namespace

extern "C" LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    return window_value(hWnd, nIndex, nullptr, sizeof(LONG_PTR));
}
extern "C" LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return window_value(hWnd, nIndex, &dwNewLong, sizeof(LONG_PTR));
}
extern "C" LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    return static_cast<LONG>(window_value(hWnd, nIndex, nullptr, sizeof(LONG)));
}
extern "C" LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    LONG_PTR value = dwNewLong;
    return static_cast<LONG>(window_value(hWnd, nIndex, &value, sizeof(LONG)));
}
