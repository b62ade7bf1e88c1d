// Heap blocks, critical sections and the clock.
#include <windows.h>

#include <gtest/gtest.h>

#include <time.h>

#include <thread>

namespace {

TEST(Heap, ZeroedBlocksAndFixedAllocators) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 255));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 255; ++i) ASSERT_EQ(block[i], 0);
    EXPECT_TRUE(HeapFree(heap, 0, block));
    void* empty = HeapAlloc(heap, 0, 0);
    EXPECT_NE(empty, nullptr);  // a zero-byte block is still a block
    HeapFree(heap, 0, empty);
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));

    auto* local = static_cast<unsigned char*>(LocalAlloc(LPTR, 16));
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local[15], 0);
    EXPECT_EQ(LocalFree(local), nullptr);
    void* global = GlobalAlloc(GPTR, 16);
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(GlobalFree(global), nullptr);
    const UINT kMoveable = 0x0002;
    EXPECT_EQ(LocalAlloc(kMoveable, 16), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
}

TEST(CriticalSection, IsRecursiveForItsOwnerAndExclusiveForOthers) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));  // the owner enters again
    EXPECT_EQ(section.RecursionCount, 2);
    bool otherGotIn = true;
    std::thread([&] { otherGotIn = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGotIn);
    LeaveCriticalSection(&section);
    std::thread([&] { otherGotIn = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGotIn) << "one leave of two entries must not release the section";
    LeaveCriticalSection(&section);

    // Counting under the section from several threads loses nothing.
    long counter = 0;
    std::thread workers[4];
    for (auto& worker : workers)
        worker = std::thread([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
                LeaveCriticalSection(&section);
            }
        });
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(counter, 80000);
    DeleteCriticalSection(&section);
}

TEST(Clock, SystemTimeAgreesWithTheCalendar) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    time_t seconds = time(nullptr);
    struct tm utc;
    gmtime_r(&seconds, &utc);
    EXPECT_EQ(now.wYear, utc.tm_year + 1900);
    EXPECT_EQ(now.wMonth, utc.tm_mon + 1);
    EXPECT_EQ(now.wDayOfWeek, utc.tm_wday);
    EXPECT_LT(now.wMilliseconds, 1000);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_LT(local.wHour, 24);
    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 20u);
}

}  // namespace
