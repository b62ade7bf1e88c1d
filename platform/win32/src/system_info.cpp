// GetSystemInfo: the processors online, reported as a 32-bit Intel machine.
#include <windows.h>

#include <unistd.h>

#include <cstring>

extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
    if (!lpSystemInfo) return;
    std::memset(lpSystemInfo, 0, sizeof(*lpSystemInfo));
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    if (processors < 1) processors = 1;
    if (processors > 32) processors = 32;  // a 32-bit processor mask
    long pageSize = sysconf(_SC_PAGESIZE);
    lpSystemInfo->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
    lpSystemInfo->dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
    lpSystemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x00010000);
    lpSystemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFEFFFF);
    lpSystemInfo->dwActiveProcessorMask =
        processors >= 32 ? 0xFFFFFFFFu : ((static_cast<DWORD_PTR>(1) << processors) - 1);
    lpSystemInfo->dwNumberOfProcessors = static_cast<DWORD>(processors);
    lpSystemInfo->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
    lpSystemInfo->dwAllocationGranularity = 0x10000;
    lpSystemInfo->wProcessorLevel = 6;
}
