// APCs run on their target thread, and only while it waits alertably.
#include "thread_helpers.h"

#include <gtest/gtest.h>

#include <atomic>

using win32_test::join_thread;
using win32_test::kDeadlineMs;
using win32_test::start_thread;

namespace {

std::atomic<int> apcRuns{0};
std::atomic<DWORD> apcThread{0};

void WINAPI count_apc(ULONG_PTR parameter) {
    apcRuns += static_cast<int>(parameter);
    apcThread = GetCurrentThreadId();
}

class Apcs : public testing::Test {
protected:
    void SetUp() override {
        apcRuns = 0;
        apcThread = 0;
    }
};

TEST_F(Apcs, NonAlertableWaitsLeaveThemQueuedAlertableWaitRunsThem) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(QueueUserAPC(count_apc, GetCurrentThread(), 1), 0u);
    ASSERT_NE(QueueUserAPC(count_apc, GetCurrentThread(), 10), 0u);

    EXPECT_EQ(WaitForSingleObject(event, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObjectEx(event, 10, FALSE), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(SleepEx(10, FALSE), 0u);
    Sleep(10);
    EXPECT_EQ(apcRuns.load(), 0);

    // Even with the object signalled, queued APCs end the alertable wait first.
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObjectEx(event, kDeadlineMs, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcRuns.load(), 11);
    EXPECT_EQ(apcThread.load(), GetCurrentThreadId());
    EXPECT_EQ(WaitForSingleObjectEx(event, 0, TRUE), WAIT_OBJECT_0);  // nothing left to run
    CloseHandle(event);
}

TEST_F(Apcs, QueuedToABlockedThreadWakesItsAlertableWait) {
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = start_thread(
        [=] {
            SetEvent(waiting);
            return WaitForSingleObjectEx(never, kDeadlineMs, TRUE);
        },
        &id);
    ASSERT_EQ(WaitForSingleObject(waiting, kDeadlineMs), WAIT_OBJECT_0);
    Sleep(20);
    ASSERT_NE(QueueUserAPC(count_apc, thread, 5), 0u);
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    EXPECT_EQ(join_thread(thread), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcRuns.load(), 5);
    EXPECT_EQ(apcThread.load(), id);
    // The thread has ended: nothing more can be queued to it.
    EXPECT_EQ(QueueUserAPC(count_apc, copy, 1), 0u);
    CloseHandle(copy);
    CloseHandle(waiting);
    CloseHandle(never);
}

TEST_F(Apcs, AlertableSleepRunsThemAndWaitForMultipleToo) {
    QueueUserAPC(count_apc, GetCurrentThread(), 2);
    EXPECT_EQ(SleepEx(kDeadlineMs, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcRuns.load(), 2);
    EXPECT_EQ(SleepEx(0, TRUE), 0u);

    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    QueueUserAPC(count_apc, GetCurrentThread(), 3);
    EXPECT_EQ(WaitForMultipleObjectsEx(2, events, FALSE, kDeadlineMs, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcRuns.load(), 5);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}

void WINAPI queue_another(ULONG_PTR) {
    ++apcRuns;
    if (apcRuns == 1) QueueUserAPC(count_apc, GetCurrentThread(), 100);
}

TEST_F(Apcs, AnApcQueuedByAnApcRunsInTheSameWait) {
    QueueUserAPC(queue_another, GetCurrentThread(), 0);
    EXPECT_EQ(SleepEx(0, TRUE), WAIT_IO_COMPLETION);
    EXPECT_EQ(apcRuns.load(), 101);
}

TEST_F(Apcs, QueueingNeedsAThreadHandleAndARoutine) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(QueueUserAPC(count_apc, event, 1), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(QueueUserAPC(nullptr, GetCurrentThread(), 1), 0u);
    CloseHandle(event);
}

}  // namespace
