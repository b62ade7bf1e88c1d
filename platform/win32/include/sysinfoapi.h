/* System information of the Win32 stand-in. */
#ifndef QF_SYSINFOAPI_H
#define QF_SYSINFOAPI_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_INTEL_PENTIUM 586

typedef struct _SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;

/* Reports the processors online (at least 1) as a 32-bit Intel machine. */
void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo);

#ifdef __cplusplus
}
#endif

#endif
