// The Winsock structures that hold handles, sockets, pointers or completion keys have the shapes of
// Windows' own headers for the pointer width of the build: the same source is right in a 32-bit
// Windows build and here.
#include "winsock_test_support.h"

#include <cstddef>

namespace {

constexpr size_t kPointer = sizeof(void*);

TEST(WinsockLayoutTest, PointerSizedFieldsSitWhereWindowsPutsThem) {
    struct Case {
        const char* what;
        size_t offset, size;
        size_t expectOffset, expectSize;
    };
    const Case cases[] = {
        {"SOCKET", 0, sizeof(SOCKET), 0, kPointer},
        {"WSATHREADID.ThreadHandle", offsetof(WSATHREADID, ThreadHandle), sizeof(HANDLE), 0, kPointer},
        {"WSATHREADID.Reserved", offsetof(WSATHREADID, Reserved), sizeof(WSATHREADID::Reserved), kPointer, kPointer},
        {"WSAOVERLAPPED.Internal", offsetof(WSAOVERLAPPED, Internal), sizeof(ULONG_PTR), 0, kPointer},
        {"WSAOVERLAPPED.InternalHigh", offsetof(WSAOVERLAPPED, InternalHigh), sizeof(ULONG_PTR), kPointer, kPointer},
        {"WSAOVERLAPPED.Offset", offsetof(WSAOVERLAPPED, Offset), sizeof(DWORD), 2 * kPointer, 4},
        {"WSAOVERLAPPED.hEvent", offsetof(WSAOVERLAPPED, hEvent), sizeof(HANDLE), 2 * kPointer + 8, kPointer},
        {"WSABUF.buf", offsetof(WSABUF, buf), sizeof(CHAR*), kPointer, kPointer},
        {"fd_set.fd_array", offsetof(fd_set, fd_array), sizeof(SOCKET), kPointer, kPointer},
        {"TRANSMIT_FILE_BUFFERS.Tail", offsetof(TRANSMIT_FILE_BUFFERS, Tail), sizeof(LPVOID), 2 * kPointer, kPointer},
        // 64-bit Windows puts the vendor pointer ahead of the texts; 32-bit Windows after them.
        {"WSADATA.lpVendorInfo", offsetof(WSADATA, lpVendorInfo), sizeof(char*), kPointer == 8 ? 8u : 396u, kPointer},
        {"WSADATA.szDescription", offsetof(WSADATA, szDescription), 1, kPointer == 8 ? 16u : 4u, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expectOffset, c.offset) << c.what;
        EXPECT_EQ(c.expectSize, c.size) << c.what;
    }
    // The completion key, a provider's socket context and a blocking hook's context are pointer-sized.
    EXPECT_EQ(kPointer, sizeof(ULONG_PTR));
    EXPECT_EQ(kPointer, sizeof(DWORD_PTR));
    EXPECT_EQ(628u, sizeof(WSAPROTOCOL_INFOW));
}

}  // namespace
