// Hidden windows and message queues: classes, window data, posting across threads, quitting.
#include "thread_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using win32_test::join_thread;
using win32_test::kDeadlineMs;
using win32_test::start_thread;

namespace {

constexpr UINT kNotify = 0x464;
HINSTANCE const kModuleA = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
HINSTANCE const kModuleB = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x500000));

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};
std::vector<Seen> seen;  // written by window procedures, read after the window's thread ended
std::atomic<void*> createParam{nullptr};

LRESULT CALLBACK recording_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(Seen{message, wParam, lParam, GetCurrentThreadId()});
    switch (message) {
    case WM_CREATE:
        createParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(9);
        return 0;
    case kNotify:
        return static_cast<LRESULT>(wParam + 1);
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

WNDCLASSA make_class(const char* name, HINSTANCE module, int extraBytes = 4) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = recording_proc;
    wc.cbWndExtra = extraBytes;
    wc.hInstance = module;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = name;
    return wc;
}

HWND make_window(const char* className, HINSTANCE module, LPVOID param = nullptr) {
    return CreateWindowExA(0, className, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, module, param);
}

std::vector<UINT> messages_seen() {
    std::vector<UINT> result;
    for (const Seen& s : seen) result.push_back(s.message);
    return result;
}

// GetMessageA on the calling thread, once a matching message (or the quit request) is there: a
// message that never comes fails the test instead of blocking it.
BOOL get_message(MSG& msg, HWND hwnd = nullptr, UINT first = 0, UINT last = 0) {
    bool there = win32_test::wait_until([&] { return PeekMessageA(&msg, hwnd, first, last, PM_NOREMOVE) != FALSE; });
    if (!there) {
        ADD_FAILURE() << "no message came";
        return -2;
    }
    return GetMessageA(&msg, hwnd, first, last);
}

class Windows : public testing::Test {
protected:
    void SetUp() override { seen.clear(); }
};

TEST_F(Windows, ClassRegisteredTwiceInOneModuleIsRefused) {
    WNDCLASSA wc = make_class("Layered Provider Async Window", kModuleA);
    ATOM atom = RegisterClassA(&wc);
    ASSERT_NE(atom, 0);
    WNDCLASSA sameNameOtherCase = make_class("LAYERED PROVIDER ASYNC WINDOW", kModuleA);
    EXPECT_EQ(RegisterClassA(&sameNameOtherCase), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    // Creation goes on with the class that exists.
    HWND hwnd = make_window("Layered Provider Async Window", kModuleA);
    ASSERT_NE(hwnd, nullptr);

    WNDCLASSA otherModule = make_class("Layered Provider Async Window", kModuleB);
    EXPECT_NE(RegisterClassA(&otherModule), 0);

    EXPECT_FALSE(UnregisterClassA("Layered Provider Async Window", kModuleA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("Layered Provider Async Window", kModuleA));
    EXPECT_NE(RegisterClassA(&wc), 0);
}

TEST_F(Windows, RegistrationRefusesIncompleteClasses) {
    WNDCLASSA noProc = make_class("qf-no-proc", kModuleA);
    noProc.lpfnWndProc = nullptr;
    WNDCLASSA noName = make_class(nullptr, kModuleA);
    WNDCLASSA negativeExtra = make_class("qf-negative", kModuleA, -1);
    for (const WNDCLASSA* wc : {&noProc, &noName, &negativeExtra}) {
        EXPECT_EQ(RegisterClassA(wc), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(make_window("qf-never-registered", kModuleA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Windows, CreationSendsCreateMessagesAndDestructionTheDestroyMessages) {
    WNDCLASSA wc = make_class("qf-lifecycle", kModuleA);
    RegisterClassA(&wc);
    int param = 0;
    HWND hwnd = make_window("qf-lifecycle", kModuleA, &param);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(createParam.load(), &param);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    MSG msg;
    EXPECT_EQ(get_message(msg), FALSE);  // the WM_DESTROY handler asked to quit
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
}

TEST_F(Windows, ExtraBytesHoldAPointerInTheFourBytesOfA32BitWindow) {
    WNDCLASSA wc = make_class("qf-extra", kModuleA, 4);
    RegisterClassA(&wc);
    HWND hwnd = make_window("qf-extra", kModuleA);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), 0);
    int object = 0;
    EXPECT_EQ(SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(&object)), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), reinterpret_cast<LONG_PTR>(&object));
    EXPECT_EQ(SetWindowLongPtrA(hwnd, 0, 0), reinterpret_cast<LONG_PTR>(&object));

    struct Case {
        const char* name;
        int index;
        DWORD error;
    };
    const Case refused[] = {{"past the extra bytes", 4, ERROR_INVALID_INDEX},
                            {"not a 32-bit slot inside them", 1, ERROR_INVALID_INDEX},
                            {"unknown negative index", -2, ERROR_INVALID_INDEX}};
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(SetWindowLongPtrA(hwnd, c.index, 1), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 77);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&recording_proc));
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE), reinterpret_cast<LONG_PTR>(kModuleA));
    DestroyWindow(hwnd);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// A window on a thread of its own with a message loop, as a notification window runs; the loop
// takes the messages of its window only when filterOwnWindow is set.
struct WindowThread {
    HWND hwnd = nullptr;
    DWORD id = 0;
    HANDLE thread = nullptr;

    explicit WindowThread(const char* className, bool filterOwnWindow = false) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread = start_thread(
            [this, className, ready, filterOwnWindow] {
                hwnd = make_window(className, kModuleA);
                SetEvent(ready);
                if (!hwnd) return DWORD{1};
                MSG msg;
                BOOL got;
                while ((got = GetMessageA(&msg, filterOwnWindow ? hwnd : nullptr, 0, 0)) == TRUE) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
                return got == 0 ? static_cast<DWORD>(msg.wParam) : DWORD{2};
            },
            &id);
        EXPECT_EQ(WaitForSingleObject(ready, kDeadlineMs), WAIT_OBJECT_0);
        CloseHandle(ready);
    }
};

TEST_F(Windows, MessagePostedFromAnotherThreadRunsOnTheWindowsThread) {
    WNDCLASSA wc = make_class("qf-async", kModuleA);
    RegisterClassA(&wc);
    WindowThread window("qf-async");
    ASSERT_NE(window.hwnd, nullptr);
    ASSERT_TRUE(PostMessageA(window.hwnd, kNotify, 0x1234, MAKELPARAM(1, 10061)));
    // Only the window's own thread may destroy it; others ask it to close.
    EXPECT_FALSE(DestroyWindow(window.hwnd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(PostMessageA(window.hwnd, WM_CLOSE, 0, 0));
    EXPECT_EQ(join_thread(window.thread), 9u);  // WM_CLOSE -> DestroyWindow -> WM_DESTROY -> quit

    EXPECT_EQ(messages_seen(),
              (std::vector<UINT>{WM_NCCREATE, WM_CREATE, kNotify, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(seen[2].wParam, 0x1234u);
    EXPECT_EQ(seen[2].lParam, MAKELPARAM(1, 10061));
    for (const Seen& s : seen) EXPECT_EQ(s.thread, window.id);
    EXPECT_FALSE(PostMessageA(window.hwnd, kNotify, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Windows, BurstOfPostsReachesALoopFilteringOnItsWindow) {
    WNDCLASSA wc = make_class("qf-burst", kModuleA);
    RegisterClassA(&wc);
    WindowThread window("qf-burst", true);
    constexpr int kPosts = 3000;
    for (int i = 0; i < kPosts; ++i) {
        ASSERT_TRUE(PostMessageA(window.hwnd, kNotify, static_cast<WPARAM>(i), 0));
        if (i % 7 == 0) Sleep(0);
    }
    PostMessageA(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(join_thread(window.thread), 9u);  // WM_QUIT passes any filter
    int delivered = 0;
    for (const Seen& s : seen)
        if (s.message == kNotify && s.wParam == static_cast<WPARAM>(delivered)) ++delivered;
    EXPECT_EQ(delivered, kPosts);
}

TEST_F(Windows, SendMessageFromAnotherThreadWaitsForTheResult) {
    WNDCLASSA wc = make_class("qf-send", kModuleA);
    RegisterClassA(&wc);
    WindowThread window("qf-send");
    EXPECT_EQ(SendMessageA(window.hwnd, kNotify, 41, 0), 42);
    PostMessageA(window.hwnd, WM_CLOSE, 0, 0);
    join_thread(window.thread);
    EXPECT_EQ(seen[2].thread, window.id);
}

TEST_F(Windows, ThreadThatEndsTakesItsWindowsAlong) {
    WNDCLASSA wc = make_class("qf-orphan", kModuleA);
    RegisterClassA(&wc);
    HWND hwnd = nullptr;
    join_thread(start_thread([&] {
        hwnd = make_window("qf-orphan", kModuleA);
        return DWORD{0};
    }));
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, kNotify, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, kNotify, 1, 0), 0);
}

TEST_F(Windows, QuitComesAfterTheMessagesPostedBeforeIt) {
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 1, 0));
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 2, 0));  // no window: a thread message
    MSG msg;
    ASSERT_EQ(get_message(msg), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_EQ(get_message(msg), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(get_message(msg), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the quit request was used up
}

TEST_F(Windows, PostThreadMessageWakesAThreadBlockedInGetMessage) {
    DWORD id = 0;
    HANDLE thread = start_thread(
        [] {
            MSG msg;
            if (GetMessageA(&msg, nullptr, 0, 0) != TRUE) return DWORD{0};
            return static_cast<DWORD>(msg.wParam);
        },
        &id);
    Sleep(20);
    ASSERT_TRUE(PostThreadMessageA(id, WM_USER, 55, 0));
    EXPECT_EQ(join_thread(thread), 55u);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));  // the thread has ended
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST_F(Windows, FiltersSelectByWindowAndRangeAndDestroyDiscardsAWindowsMessages) {
    WNDCLASSA wc = make_class("qf-filter", kModuleA);
    RegisterClassA(&wc);
    HWND first = make_window("qf-filter", kModuleA);
    HWND second = make_window("qf-filter", kModuleA);
    PostMessageA(first, WM_USER + 1, 0, 0);
    PostMessageA(second, WM_USER + 2, 0, 0);
    PostMessageA(first, WM_USER + 3, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, first);
    DestroyWindow(first);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));  // WM_USER + 1 went with its window
    // Then the quit request of the WM_DESTROY handler, which passes any filter.
    EXPECT_EQ(get_message(msg, second, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, first, 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(second);
}

}  // namespace
