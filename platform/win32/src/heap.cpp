// The process heap and the local and global allocators, all over the C heap.
#include <windows.h>

#include <stdlib.h>
#include <string.h>

namespace {

int processHeapTag;  // its address is the process heap's handle
HANDLE process_heap() { return &processHeapTag; }

void* allocate(SIZE_T bytes, bool zeroed) {
    // Windows hands out a valid block for zero bytes too.
    if (bytes == 0) bytes = 1;
    return zeroed ? calloc(1, bytes) : malloc(bytes);
}

}  // namespace

extern "C" HANDLE WINAPI GetProcessHeap(void) { return process_heap(); }

extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (hHeap != process_heap()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* block = allocate(dwBytes, dwFlags & HEAP_ZERO_MEMORY);
    if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    (void)dwFlags;
    if (hHeap != process_heap()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    free(lpMem);
    return TRUE;
}

namespace {

const UINT kFixedFlags = LMEM_ZEROINIT;  // the same bits for LMEM_ and GMEM_

HANDLE fixed_alloc(UINT flags, SIZE_T bytes) {
    if (flags & ~kFixedFlags) {
        SetLastError(ERROR_NOT_SUPPORTED);  // movable and discardable blocks are not offered
        return nullptr;
    }
    void* block = allocate(bytes, flags & LMEM_ZEROINIT);
    if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

}  // namespace

extern "C" HANDLE WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return fixed_alloc(uFlags, uBytes); }

extern "C" HANDLE WINAPI LocalFree(HANDLE hMem) {
    free(hMem);
    return nullptr;
}

extern "C" HANDLE WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return fixed_alloc(uFlags, dwBytes); }

extern "C" HANDLE WINAPI GlobalFree(HANDLE hMem) {
    free(hMem);
    return nullptr;
}
