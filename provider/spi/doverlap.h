// The request records of overlapped operations in flight: a pool of 999 cut from one block, and
// the buffer hand-off through which send and receive buffers reach the next provider.
#ifndef VTLSP_DOVERLAP_H
#define VTLSP_DOVERLAP_H

#include <mswsock.h>
#include <ws2spi.h>

class LowerProvider;
struct SocketContext;

#define STRUCTSIGNATURE 0xBEADFACE

enum RequestKind : DWORD {
    kRequestRecv = 1,
    kRequestRecvFrom = 2,
    kRequestSend = 4,
    kRequestSendTo = 8,
    kRequestIoctl = 16,
    kRequestTransmitFile = 32,
    kRequestAcceptEx = 64,
};

// Buffer arrays of up to this many entries are kept inside the record.
const DWORD kInlineBuffers = 8;

// A buffer array: inline up to kInlineBuffers entries, else separately allocated.
union BufferArea {
    WSABUF inlineBuffers[kInlineBuffers];
    WSABUF* heapBuffers;
};

struct InternalOverlappedStruct {
    // STRUCTSIGNATURE while in use; the free-list link while on the free list.
    ULONG_PTR iolSignature;
    DWORD kind;
    SOCKET ownHandle;
    LowerProvider* provider;
    SOCKET lowerSocket;
    SocketContext* context;  // counts the request as pending until it is completed
    WSATHREADID callerThread;
    LPWSAOVERLAPPED callerOverlapped;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE callerRoutine;
    // Receives: the caller's array. Sends: the array handed down. I/O control: the input buffer.
    // Transmit-file: the head and tail descriptor.
    union {
        BufferArea buffers;
        LPVOID input;
        TRANSMIT_FILE_BUFFERS transmit;
    } first;
    DWORD firstCount;  // I/O control: input length
    // Receives: the array handed down. I/O control and accept-ex: the output buffer.
    union {
        BufferArea buffers;
        LPVOID output;
    } second;
    DWORD secondCount;  // I/O control: output length; accept-ex: receive data length
    // Receive-from: lpFrom, lpFromlen. Send-to: lpTo, iTolen. Transmit-file: bytes to write, bytes
    // per send. Accept-ex: local and remote address lengths.
    ULONG_PTR extra1;
    ULONG_PTR extra2;
    // Receives: the flags handed down by address. Sends: dwFlags. I/O control: the code.
    // Transmit-file: the file. Accept-ex: the accepting socket's lower socket.
    union {
        DWORD value;
        HANDLE file;
        SOCKET acceptSocket;
    } flags;
    DWORD transmitFlags;
    InternalOverlappedStruct* queueNext;
    InternalOverlappedStruct* queuePrev;
    WSAOVERLAPPED lowerOverlapped;  // zeroed: its hEvent is null
};

// The array of an area holding count entries.
inline WSABUF* area_buffers(BufferArea& area, DWORD count) {
    return count > kInlineBuffers ? area.heapBuffers : area.inlineBuffers;
}
// Copies count entries into the area (allocating above kInlineBuffers); false without memory.
bool area_store(BufferArea& area, const WSABUF* buffers, DWORD count);
void area_free(BufferArea& area, DWORD count);

class OverlappedManager {
public:
    OverlappedManager();
    ~OverlappedManager();
    // False when the block could not be allocated.
    bool Initialize();

    // A zeroed record carrying the signature, or null when all are in flight.
    InternalOverlappedStruct* AllocateRecord();
    void FreeRecord(InternalOverlappedStruct* record);
    // The record whose lower overlapped structure this is, or null when it is not one of ours.
    InternalOverlappedStruct* FindRecord(LPWSAOVERLAPPED lowerOverlapped);

private:
    char* m_block;
    size_t m_blockSize;
    InternalOverlappedStruct* m_free;
    CRITICAL_SECTION m_lock;
};

// The stage through which buffers reach the next provider: the caller's own buffers, as they are.
struct BufferHandOff {
    static int Allocate(LPWSABUF callerBuffers, DWORD callerCount, LPWSABUF* lowerBuffers, DWORD* lowerCount) {
        *lowerBuffers = callerBuffers;
        *lowerCount = callerCount;
        return 0;
    }
    static int Deliver() { return 0; }
    static void Release() {}
};

#endif
