// Runs a callable on a thread made with CreateThread; the callable's result is the exit code. Waits
// with deadlines.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>

namespace win32_test {

inline HANDLE start_thread(std::function<DWORD()> body, DWORD* threadId = nullptr) {
    auto* owned = new std::function<DWORD()>(std::move(body));
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<std::function<DWORD()>> f(static_cast<std::function<DWORD()>*>(parameter));
            return (*f)();
        },
        owned, 0, threadId);
    if (!thread) delete owned;
    return thread;
}

// Every wait of the tests ends by this deadline, so that a fault fails a test instead of hanging it.
constexpr DWORD kDeadlineMs = 10000;

// Waits for a thread to end and returns its exit code; 0xDEADBEEF (and a failure) when it has not
// ended by the deadline.
inline DWORD join_thread(HANDLE thread, DWORD timeoutMs = kDeadlineMs) {
    DWORD code = 0xDEADBEEF;
    if (WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeThread(thread, &code);
    else
        ADD_FAILURE() << "the thread did not end within " << timeoutMs << " ms";
    CloseHandle(thread);
    return code;
}

// Polls until done() holds; false when it does not within timeoutMs.
template <class Condition>
bool wait_until(Condition done, DWORD timeoutMs = kDeadlineMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(1);
    }
    return true;
}

}  // namespace win32_test
