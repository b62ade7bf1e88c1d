/* Synchronisation objects of the Win32 stand-in: events, semaphores, mutexes and the waits on
 * them (and on thread handles). Alertable waits run the APCs queued to the waiting thread. */
#ifndef QF_SYNCHAPI_H
#define QF_SYNCHAPI_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MAXIMUM_WAIT_OBJECTS 64

#define WAIT_OBJECT_0 ((DWORD)0x00000000)
#define WAIT_ABANDONED ((DWORD)0x00000080)
#define WAIT_ABANDONED_0 ((DWORD)0x00000080)
#define WAIT_IO_COMPLETION ((DWORD)0x000000C0)
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
/* WAIT_TIMEOUT (258) is in winerror.h, as on Windows. */

#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x001F0003
#define SEMAPHORE_MODIFY_STATE 0x0002
#define SEMAPHORE_ALL_ACCESS 0x001F0003
#define MUTANT_QUERY_STATE 0x0001
#define MUTEX_MODIFY_STATE MUTANT_QUERY_STATE
#define MUTEX_ALL_ACCESS 0x001F0001

/* Events. A name is shared within the process (ERROR_ALREADY_EXISTS for a second creation). */
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName);
BOOL WINAPI SetEvent(HANDLE hEvent);
BOOL WINAPI ResetEvent(HANDLE hEvent);

/* Semaphores. */
HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES lpSemaphoreAttributes, LONG lInitialCount,
                               LONG lMaximumCount, LPCSTR lpName);
BOOL WINAPI ReleaseSemaphore(HANDLE hSemaphore, LONG lReleaseCount, LPLONG lpPreviousCount);

/* Mutexes: recursive, owned by a thread, abandoned when the owner ends. A named mutex is shared
 * with every process of the machine root; the name lives while any live process holds it open. */
HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
BOOL WINAPI ReleaseMutex(HANDLE hMutex);

/* Waits. */
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WINAPI WaitForSingleObjectEx(HANDLE hHandle, DWORD dwMilliseconds, BOOL bAlertable);
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds);
DWORD WINAPI WaitForMultipleObjectsEx(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                      DWORD dwMilliseconds, BOOL bAlertable);
/* Returns 0, or WAIT_IO_COMPLETION when an alertable sleep ran APCs. */
DWORD WINAPI SleepEx(DWORD dwMilliseconds, BOOL bAlertable);

#ifdef __cplusplus
}
#endif

#endif
