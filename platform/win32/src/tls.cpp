// Thread-local storage: TlsAlloc hands out indexes; each thread sees its own value per index.
// TlsFree clears the index in every thread, which a per-index generation does without visiting
// the threads: a value counts only while it was stored under the index's current generation.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

constexpr DWORD kSlots = TLS_MINIMUM_AVAILABLE + 1024;  // as many indexes as Windows offers

// Odd generation: the index is allocated.
std::atomic<uint32_t> slotGeneration[kSlots];
std::mutex allocationLock;

struct ThreadSlots {
    LPVOID value[kSlots] = {};
    uint32_t generation[kSlots] = {};
};
thread_local std::unique_ptr<ThreadSlots> threadSlots;

bool allocated(DWORD index, uint32_t& generation) {
    if (index >= kSlots) return false;
    generation = slotGeneration[index].load(std::memory_order_acquire);
    return (generation & 1) != 0;
}

}  // namespace

extern "C" DWORD WINAPI TlsAlloc(void) {
    std::lock_guard<std::mutex> guard(allocationLock);
    for (DWORD i = 0; i < kSlots; ++i) {
        uint32_t generation = slotGeneration[i].load(std::memory_order_relaxed);
        if ((generation & 1) == 0) {
            slotGeneration[i].store(generation + 1, std::memory_order_release);
            return i;
        }
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return TLS_OUT_OF_INDEXES;
}

extern "C" BOOL WINAPI TlsFree(DWORD dwTlsIndex) {
    std::lock_guard<std::mutex> guard(allocationLock);
    uint32_t generation;
    if (!allocated(dwTlsIndex, generation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    slotGeneration[dwTlsIndex].store(generation + 1, std::memory_order_release);
    return TRUE;
}

extern "C" LPVOID WINAPI TlsGetValue(DWORD dwTlsIndex) {
    uint32_t generation;
    if (!allocated(dwTlsIndex, generation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    ThreadSlots* slots = threadSlots.get();
    if (!slots || slots->generation[dwTlsIndex] != generation) return nullptr;
    return slots->value[dwTlsIndex];
}

extern "C" BOOL WINAPI TlsSetValue(DWORD dwTlsIndex, LPVOID lpTlsValue) {
    uint32_t generation;
    if (!allocated(dwTlsIndex, generation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!threadSlots) threadSlots = std::make_unique<ThreadSlots>();
    threadSlots->value[dwTlsIndex] = lpTlsValue;
    threadSlots->generation[dwTlsIndex] = generation;
    return TRUE;
}
