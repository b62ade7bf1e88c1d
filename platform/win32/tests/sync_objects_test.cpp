// Events, semaphores, mutexes and the waits on them.
#include "thread_helpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

using win32_test::join_thread;
using win32_test::kDeadlineMs;
using win32_test::start_thread;

namespace {

constexpr DWORD kTimeout = WAIT_TIMEOUT;

TEST(Events, ManualResetStaysSignalledAutoResetReleasesOneWait) {
    struct Case {
        BOOL manualReset;
        DWORD secondWait;
    };
    for (Case c : {Case{TRUE, WAIT_OBJECT_0}, Case{FALSE, kTimeout}}) {
        SCOPED_TRACE(c.manualReset ? "manual reset" : "auto reset");
        HANDLE event = CreateEventA(nullptr, c.manualReset, FALSE, nullptr);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
        ASSERT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(event, 0), c.secondWait);
        ASSERT_TRUE(SetEvent(event));
        ASSERT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);
        CloseHandle(event);
    }
}

TEST(Events, AutoResetEventWakesExactlyOneOfTwoWaiters) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (WaitForSingleObject(event, 300) == WAIT_OBJECT_0) ++woken;
        return DWORD{0};
    };
    HANDLE a = start_thread(waiter);
    HANDLE b = start_thread(waiter);
    Sleep(50);
    SetEvent(event);
    join_thread(a);
    join_thread(b);
    EXPECT_EQ(woken.load(), 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), kTimeout);  // the one signal was taken
    CloseHandle(event);
}

TEST(Events, SetFromAnotherThreadWakesAnInfiniteWait) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE setter = start_thread([event] {
        Sleep(20);
        SetEvent(event);
        return DWORD{0};
    });
    EXPECT_EQ(WaitForSingleObject(event, kDeadlineMs), WAIT_OBJECT_0);
    join_thread(setter);
    CloseHandle(event);
}

TEST(Events, NamedEventIsSharedInTheProcess) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "qf-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, FALSE, TRUE, "qf-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(WaitForSingleObject(second, 0), kTimeout);  // the existing state, not the new arguments
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    // A semaphore cannot take the name of an event.
    EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "qf-test-event"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(first);
    CloseHandle(second);
}

// An OVERLAPPED hEvent with its lowest bit set asks for no completion packet; the event behind it
// is the same event for every call that takes it.
TEST(Events, HandleWithTagBitsSetNamesTheSameEvent) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    auto tagged = [event](uintptr_t bits) {
        return reinterpret_cast<HANDLE>(reinterpret_cast<uintptr_t>(event) | bits);
    };
    for (uintptr_t bits : {uintptr_t{1}, uintptr_t{2}, uintptr_t{3}}) {
        SCOPED_TRACE(bits);
        ASSERT_TRUE(SetEvent(tagged(bits)));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
        ASSERT_TRUE(ResetEvent(tagged(bits)));
        EXPECT_EQ(WaitForSingleObject(tagged(bits), 0), kTimeout);
        SetEvent(event);
        EXPECT_EQ(WaitForSingleObject(tagged(bits), 0), WAIT_OBJECT_0);
        ResetEvent(event);
    }
    ASSERT_TRUE(CloseHandle(tagged(1)));
    EXPECT_FALSE(SetEvent(event));  // closed under its tagged value
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Events, CallsOnAHandleOfAnotherKindFail) {
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    EXPECT_FALSE(SetEvent(semaphore));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ResetEvent(nullptr));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ReleaseSemaphore(event, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
    CloseHandle(semaphore);
}

TEST(Semaphores, CreationRefusesBadCounts) {
    struct Case {
        LONG initial;
        LONG maximum;
    };
    for (Case c : {Case{0, 0}, Case{-1, 5}, Case{6, 5}, Case{0, -1}}) {
        SCOPED_TRACE(testing::Message() << c.initial << "/" << c.maximum);
        EXPECT_EQ(CreateSemaphoreA(nullptr, c.initial, c.maximum, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST(Semaphores, EachWaitTakesOneCountAndReleaseStopsAtTheLimit) {
    HANDLE semaphore = CreateSemaphoreA(nullptr, 2, 3, nullptr);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kTimeout);

    LONG previous = -1;
    ASSERT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
    EXPECT_EQ(previous, 0);
    previous = -1;
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 2, &previous));  // 2 + 2 > 3
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_EQ(previous, -1);
    ASSERT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));  // the failed release changed nothing
    EXPECT_EQ(previous, 2);
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(semaphore);
}

TEST(Semaphores, LargestLimitDoesNotOverflow) {
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
    ASSERT_TRUE(ReleaseSemaphore(semaphore, 0x7FFFFFFE, nullptr));
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 2, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    LONG previous = 0;
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));
    EXPECT_EQ(previous, 0x7FFFFFFE);
    CloseHandle(semaphore);
}

TEST(Semaphores, ReleaseWakesAsManyWaitersAsItsCount) {
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 10, nullptr);
    std::atomic<int> woken{0};
    std::vector<HANDLE> threads;
    for (int i = 0; i < 3; ++i)
        threads.push_back(start_thread([&] {
            if (WaitForSingleObject(semaphore, 400) == WAIT_OBJECT_0) ++woken;
            return DWORD{0};
        }));
    Sleep(50);
    ReleaseSemaphore(semaphore, 2, nullptr);
    for (HANDLE t : threads) join_thread(t);
    EXPECT_EQ(woken.load(), 2);
    CloseHandle(semaphore);
}

TEST(Waits, WaitForAnyReportsTheLowestSignalledIndex) {
    HANDLE events[3];
    for (HANDLE& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), kTimeout);
    SetEvent(events[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    for (HANDLE e : events) CloseHandle(e);
}

TEST(Waits, WaitForAllTakesNothingUntilEveryObjectIsSignalled) {
    HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    HANDLE both[2] = {autoEvent, semaphore};
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), kTimeout);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);  // still signalled: not consumed
    SetEvent(autoEvent);
    ReleaseSemaphore(semaphore, 1, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoEvent, 0), kTimeout);  // both consumed together
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kTimeout);
    CloseHandle(autoEvent);
    CloseHandle(semaphore);
}

TEST(Waits, BadArgumentsFailTheWait) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, event);
    HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    HANDLE withClosed[2] = {event, closed};
    HANDLE twice[2] = {event, event};
    struct Case {
        const char* name;
        DWORD count;
        const HANDLE* handles;
        BOOL waitAll;
        DWORD error;
    };
    const Case cases[] = {
        {"no handles", 0, many.data(), FALSE, ERROR_INVALID_PARAMETER},
        {"too many handles", MAXIMUM_WAIT_OBJECTS + 1, many.data(), FALSE, ERROR_INVALID_PARAMETER},
        {"closed handle", 2, withClosed, FALSE, ERROR_INVALID_HANDLE},
        {"one object twice in wait-all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many.data(), FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    CloseHandle(event);
}

TEST(Waits, TimeoutElapsesWithoutASignal) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 30), kTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    CloseHandle(event);
}

TEST(Mutexes, OwnerMayReenterOthersWaitUntilTheLastRelease) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // recursion 2
    auto tryFromOtherThread = [mutex] {
        HANDLE t = start_thread([mutex] {
            DWORD r = WaitForSingleObject(mutex, 0);
            if (r == WAIT_OBJECT_0) ReleaseMutex(mutex);
            return r;
        });
        return join_thread(t);
    };
    EXPECT_EQ(tryFromOtherThread(), kTimeout);
    ASSERT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryFromOtherThread(), kTimeout);
    ASSERT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryFromOtherThread(), WAIT_OBJECT_0);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST(Mutexes, OwnerThatEndsAbandonsTheMutex) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
    HANDLE thread = start_thread([mutex] { return WaitForSingleObject(mutex, 0); });
    EXPECT_EQ(join_thread(thread), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // reported once; now owned twice
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

}  // namespace
