// Threads: handles that can be waited on, exit codes, ids, ExitThread, thread-local storage.
#include "thread_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

using win32_test::join_thread;
using win32_test::kDeadlineMs;
using win32_test::wait_until;
using win32_test::start_thread;

namespace {

TEST(Threads, HandleIsSignalledOnlyWhenTheThreadHasEnded) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = start_thread([go] {
        WaitForSingleObject(go, kDeadlineMs);
        return DWORD{42};
    });
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, kDeadlineMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_TRUE(CloseHandle(thread));
    CloseHandle(go);
}

TEST(Threads, ClosingTheHandleLeavesTheThreadRunning) {
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = start_thread([=] {
        WaitForSingleObject(go, kDeadlineMs);
        SetEvent(done);
        return DWORD{0};
    });
    ASSERT_TRUE(CloseHandle(thread));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
    CloseHandle(go);
    CloseHandle(done);
}

std::atomic<bool> exitAtTheBottom{true};

void exit_from_deep_inside(int depth) {
    if (depth > 0)
        exit_from_deep_inside(depth - 1);
    else if (exitAtTheBottom)
        ExitThread(7);
}

std::atomic<bool> returnedAfterExit{false};

DWORD WINAPI exiting_thread(LPVOID) {
    // A plain routine: ExitThread unwinds nothing, so no frame here may own memory.
    exit_from_deep_inside(3);
    returnedAfterExit = true;
    return 1;
}

TEST(Threads, ExitThreadEndsTheThreadWithItsCode) {
    HANDLE thread = CreateThread(nullptr, 0, exiting_thread, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(join_thread(thread), 7u);
    EXPECT_FALSE(returnedAfterExit);
}

TEST(Threads, IdsAreDistinctAndNameTheSameThreadEverywhere) {
    DWORD reported = 0;
    std::atomic<DWORD> seenInside{0};
    HANDLE thread = start_thread(
        [&] {
            seenInside = GetCurrentThreadId();
            return DWORD{0};
        },
        &reported);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(GetThreadId(thread), reported);
    join_thread(thread);
    EXPECT_EQ(seenInside.load(), reported);
    EXPECT_NE(reported, 0u);
    EXPECT_NE(reported, GetCurrentThreadId());
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(Threads, ThreadsNotMadeByCreateThreadHaveIdsAndHandles) {
    std::atomic<DWORD> id{0};
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        id = GetCurrentThreadId();
        WaitForSingleObject(go, kDeadlineMs);
    });
    ASSERT_TRUE(wait_until([&] { return id != 0; }));
    HANDLE handle = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(WaitForSingleObject(handle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
    other.join();
    CloseHandle(handle);
    CloseHandle(go);
}

TEST(Threads, OpenThreadRefusesAnUnknownId) {
    EXPECT_EQ(OpenThread(THREAD_ALL_ACCESS, FALSE, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Threads, DuplicatedPseudoHandleNamesTheThreadFromAnyThread) {
    // A thread hands out a real handle to itself, as a Winsock thread id is made.
    HANDLE self = nullptr;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = start_thread(
        [&] {
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
            SetEvent(ready);
            WaitForSingleObject(go, kDeadlineMs);
            return DWORD{3};
        },
        &id);
    ASSERT_EQ(WaitForSingleObject(ready, kDeadlineMs), WAIT_OBJECT_0);
    ASSERT_NE(self, nullptr);
    EXPECT_NE(self, GetCurrentThread());
    EXPECT_EQ(GetThreadId(self), id);
    EXPECT_EQ(WaitForSingleObject(self, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(self, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(self, &code);
    EXPECT_EQ(code, 3u);
    CloseHandle(self);
    join_thread(thread);
    CloseHandle(go);
    CloseHandle(ready);
}

TEST(Threads, CreateThreadRefusesWhatItCannotDo) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    auto routine = [](LPVOID) -> DWORD { return 0; };
    EXPECT_EQ(CreateThread(nullptr, 0, routine, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Threads, SystemInfoCountsTheProcessorsOnline) {
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_EQ(info.dwNumberOfProcessors, std::min(32u, std::max(1u, std::thread::hardware_concurrency())));
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
}

TEST(ThreadLocalStorage, EachThreadSeesItsOwnValue) {
    DWORD index = TlsAlloc();
    ASSERT_NE(index, TLS_OUT_OF_INDEXES);
    int mine = 0;
    ASSERT_TRUE(TlsSetValue(index, &mine));
    std::vector<HANDLE> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 4; ++i) {
        threads.push_back(start_thread([&, i] {
            SetLastError(12345);
            if (TlsGetValue(index) != nullptr || GetLastError() != ERROR_SUCCESS) ++failures;  // new thread: NULL
            int local = i;
            TlsSetValue(index, &local);
            Sleep(5);
            if (TlsGetValue(index) != &local) ++failures;
            return DWORD{0};
        }));
    }
    for (HANDLE t : threads) join_thread(t);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TlsGetValue(index), &mine);
    EXPECT_TRUE(TlsFree(index));
}

TEST(ThreadLocalStorage, FreeClearsTheValueInEveryThreadForTheNextOwner) {
    DWORD index = TlsAlloc();
    int value = 0;
    TlsSetValue(index, &value);
    ASSERT_TRUE(TlsFree(index));
    EXPECT_EQ(TlsGetValue(index), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DWORD again = TlsAlloc();
    ASSERT_EQ(again, index);  // the lowest free index comes back
    SetLastError(99);
    EXPECT_EQ(TlsGetValue(again), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(TlsFree(TLS_OUT_OF_INDEXES));
    EXPECT_FALSE(TlsSetValue(0x7FFF, &value));
    TlsFree(again);
}

TEST(ThreadLocalStorage, RunsOutOfIndexesAndRecovers) {
    std::set<DWORD> indexes;
    for (;;) {
        DWORD index = TlsAlloc();
        if (index == TLS_OUT_OF_INDEXES) break;
        ASSERT_TRUE(indexes.insert(index).second);
        ASSERT_LT(indexes.size(), 100000u);
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_GE(indexes.size(), static_cast<size_t>(TLS_MINIMUM_AVAILABLE));
    TlsFree(*indexes.begin());
    EXPECT_EQ(TlsAlloc(), *indexes.begin());
    for (DWORD index : indexes) TlsFree(index);
}

}  // namespace
