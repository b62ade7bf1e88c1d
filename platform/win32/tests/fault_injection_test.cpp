// Failures on demand: each function named by qf::Fault fails the requested number of times, as it
// would out of resources, and then works again.
#include "thread_helpers.h"

#include <qf/fault_injection.h>

#include <gtest/gtest.h>

#include <functional>

using win32_test::join_thread;

namespace {

HINSTANCE const kModule = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x600000));

LRESULT CALLBACK plain_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

DWORD WINAPI return_seven(LPVOID) { return 7; }

struct Case {
    const char* name;
    qf::Fault kind;
    // Makes one call; true when it succeeded (and undoes what it made).
    std::function<bool()> call;
};

class FaultInjection : public testing::Test {
protected:
    void TearDown() override {
        for (qf::Fault kind : {qf::Fault::CreateIoCompletionPort, qf::Fault::CreateThread, qf::Fault::RegisterClassA,
                               qf::Fault::CreateWindowExA})
            qf::fail_next(kind, 0);
    }

    static std::vector<Case> cases() {
        return {
            {"CreateIoCompletionPort", qf::Fault::CreateIoCompletionPort,
             [] {
                 HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
                 if (port) CloseHandle(port);
                 return port != nullptr;
             }},
            {"CreateThread", qf::Fault::CreateThread,
             [] {
                 HANDLE thread = CreateThread(nullptr, 0, return_seven, nullptr, 0, nullptr);
                 if (!thread) return false;
                 EXPECT_EQ(join_thread(thread), 7u);
                 return true;
             }},
            {"RegisterClassA", qf::Fault::RegisterClassA,
             [] {
                 WNDCLASSA wc = {};
                 wc.lpfnWndProc = plain_proc;
                 wc.hInstance = kModule;
                 wc.lpszClassName = "fault injection class";
                 if (!RegisterClassA(&wc)) return false;
                 UnregisterClassA(wc.lpszClassName, kModule);
                 return true;
             }},
            {"CreateWindowExA", qf::Fault::CreateWindowExA,
             [] {
                 HWND window = CreateWindowExA(0, "fault injection window", "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                               kModule, nullptr);
                 if (!window) return false;
                 DestroyWindow(window);
                 return true;
             }},
        };
    }
};

TEST_F(FaultInjection, EachFunctionFailsTheRequestedNumberOfTimesThenWorks) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = plain_proc;
    wc.hInstance = kModule;
    wc.lpszClassName = "fault injection window";
    ASSERT_NE(RegisterClassA(&wc), 0);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.call());
        qf::fail_next(c.kind, 2);
        EXPECT_EQ(qf::fail_remaining(c.kind), 2);
        for (int i = 0; i < 2; ++i) {
            SetLastError(ERROR_SUCCESS);
            EXPECT_FALSE(c.call());
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
        }
        EXPECT_EQ(qf::fail_remaining(c.kind), 0);
        EXPECT_TRUE(c.call());
    }
    UnregisterClassA(wc.lpszClassName, kModule);
}

TEST_F(FaultInjection, ARequestOfZeroEndsTheFailuresAndOtherFunctionsNeverFail) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        qf::fail_next(c.kind, 5);
        qf::fail_next(c.kind, 0);
        EXPECT_EQ(qf::fail_remaining(c.kind), 0);
    }
    qf::fail_next(qf::Fault::CreateThread, 1);
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    EXPECT_NE(port, nullptr);
    CloseHandle(port);
    EXPECT_EQ(qf::fail_remaining(qf::Fault::CreateThread), 1);
}

TEST_F(FaultInjection, CallsWithBadArgumentsKeepTheirOwnErrorAndUseUpNoFailure) {
    qf::fail_next(qf::Fault::CreateThread, 1);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(qf::fail_remaining(qf::Fault::CreateThread), 1);

    qf::fail_next(qf::Fault::RegisterClassA, 1);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(qf::fail_remaining(qf::Fault::RegisterClassA), 1);
}

}  // namespace
