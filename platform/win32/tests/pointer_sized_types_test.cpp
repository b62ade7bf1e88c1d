// Handles, pointers, completion keys and APC data are pointer-sized in every structure and
// signature of the stand-in, as on Win64; counts and codes keep their 32-bit Windows widths.
#include <gtest/gtest.h>
#include <windows.h>

#include <type_traits>

namespace {

constexpr size_t kPointer = sizeof(void*);

static_assert(sizeof(ULONG_PTR) == kPointer && sizeof(UINT_PTR) == kPointer && sizeof(DWORD_PTR) == kPointer &&
                  sizeof(LONG_PTR) == kPointer && sizeof(HANDLE) == kPointer && sizeof(WPARAM) == kPointer &&
                  sizeof(LPARAM) == kPointer && sizeof(LRESULT) == kPointer && sizeof(SIZE_T) == kPointer,
              "pointer-sized Windows types");

static_assert(sizeof(OVERLAPPED::Internal) == kPointer && sizeof(OVERLAPPED::InternalHigh) == kPointer &&
                  sizeof(OVERLAPPED::hEvent) == kPointer && sizeof(OVERLAPPED::Offset) == 4,
              "OVERLAPPED as on Win64");
static_assert(sizeof(CRITICAL_SECTION::OwningThread) == kPointer && sizeof(CRITICAL_SECTION::LockSemaphore) == kPointer &&
                  sizeof(CRITICAL_SECTION::SpinCount) == kPointer && sizeof(CRITICAL_SECTION::LockCount) == 4,
              "CRITICAL_SECTION as on Win64");
static_assert(sizeof(MSG::wParam) == kPointer && sizeof(MSG::lParam) == kPointer && sizeof(MSG::message) == 4,
              "MSG as on Win64");
static_assert(sizeof(SYSTEM_INFO::dwActiveProcessorMask) == kPointer, "SYSTEM_INFO as on Win64");

// Completion keys, APC data and thread start parameters travel in pointer-sized arguments.
static_assert(std::is_same<decltype(&CreateIoCompletionPort), HANDLE (*)(HANDLE, HANDLE, ULONG_PTR, DWORD)>::value,
              "CreateIoCompletionPort takes a ULONG_PTR key");
static_assert(std::is_same<decltype(&GetQueuedCompletionStatus),
                           BOOL (*)(HANDLE, LPDWORD, PULONG_PTR, LPOVERLAPPED*, DWORD)>::value,
              "GetQueuedCompletionStatus gives a ULONG_PTR key");
static_assert(std::is_same<decltype(&PostQueuedCompletionStatus), BOOL (*)(HANDLE, DWORD, ULONG_PTR, LPOVERLAPPED)>::value,
              "PostQueuedCompletionStatus takes a ULONG_PTR key");
static_assert(std::is_same<decltype(&QueueUserAPC), DWORD (*)(PAPCFUNC, HANDLE, ULONG_PTR)>::value,
              "QueueUserAPC takes ULONG_PTR data");
static_assert(std::is_same<PAPCFUNC, void (*)(ULONG_PTR)>::value, "an APC receives ULONG_PTR data");
static_assert(std::is_same<decltype(&SetWindowLongPtrA), LONG_PTR (*)(HWND, int, LONG_PTR)>::value,
              "window data holds a pointer");

TEST(PointerSizedTypes, CompletionKeyAndApcDataCarryAWholePointer) {
    HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    ASSERT_NE(port, nullptr);
    int target = 0;
    const ULONG_PTR key = reinterpret_cast<ULONG_PTR>(&target);
    ASSERT_TRUE(PostQueuedCompletionStatus(port, 1, key, nullptr));
    DWORD bytes = 0;
    ULONG_PTR got = 0;
    LPOVERLAPPED overlapped = nullptr;
    ASSERT_TRUE(GetQueuedCompletionStatus(port, &bytes, &got, &overlapped, 0));
    EXPECT_EQ(reinterpret_cast<int*>(got), &target);
    CloseHandle(port);
}

}  // namespace
