// Runs a callable on a thread made with CreateThread; the callable's result is the exit code.
#pragma once

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

// Waits for a thread to end and returns its exit code.
inline DWORD join_thread(HANDLE thread) {
    DWORD code = 0xDEADBEEF;
    if (WaitForSingleObject(thread, INFINITE) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

}  // namespace win32_test
