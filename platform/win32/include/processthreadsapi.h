/* Threads, thread-local storage, APCs and the current process and thread of the Win32 stand-in. */
#ifndef QF_PROCESSTHREADSAPI_H
#define QF_PROCESSTHREADSAPI_H

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifndef DECLSPEC_NORETURN
#define DECLSPEC_NORETURN __attribute__((noreturn))
#endif

typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID lpThreadParameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
typedef void(WINAPI* PAPCFUNC)(ULONG_PTR Parameter);

#define STILL_ACTIVE ((DWORD)0x00000103)
#define CREATE_SUSPENDED 0x00000004
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000

#define THREAD_TERMINATE 0x0001
#define THREAD_SUSPEND_RESUME 0x0002
#define THREAD_GET_CONTEXT 0x0008
#define THREAD_SET_CONTEXT 0x0010
#define THREAD_SET_INFORMATION 0x0020
#define THREAD_QUERY_INFORMATION 0x0040
#define THREAD_ALL_ACCESS 0x001F03FF
#define PROCESS_ALL_ACCESS 0x001F0FFF

#define DUPLICATE_CLOSE_SOURCE 0x00000001
#define DUPLICATE_SAME_ACCESS 0x00000002

#define TLS_MINIMUM_AVAILABLE 64
#define TLS_OUT_OF_INDEXES ((DWORD)0xFFFFFFFF)

/* Threads. The handle is signalled when the thread has ended; closing it does not end the thread.
 * dwCreationFlags may be 0 or STACK_SIZE_PARAM_IS_A_RESERVATION. */
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                           LPDWORD lpThreadId);
DECLSPEC_NORETURN void WINAPI ExitThread(DWORD dwExitCode);
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
DWORD WINAPI GetCurrentThreadId(void);
DWORD WINAPI GetThreadId(HANDLE Thread);
HANDLE WINAPI OpenThread(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwThreadId);
/* Pseudo-handles: (HANDLE)-2 and (HANDLE)-1, valid only in the calling thread and process. */
HANDLE WINAPI GetCurrentThread(void);
HANDLE WINAPI GetCurrentProcess(void);
BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                            LPHANDLE lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwOptions);

/* APCs run on the target thread only while it is in an alertable wait. */
DWORD WINAPI QueueUserAPC(PAPCFUNC pfnAPC, HANDLE hThread, ULONG_PTR dwData);

/* Thread-local storage. TlsGetValue sets the last error to ERROR_SUCCESS on success, so a stored
 * NULL can be told from a failure. */
DWORD WINAPI TlsAlloc(void);
LPVOID WINAPI TlsGetValue(DWORD dwTlsIndex);
BOOL WINAPI TlsSetValue(DWORD dwTlsIndex, LPVOID lpTlsValue);
BOOL WINAPI TlsFree(DWORD dwTlsIndex);

#ifdef __cplusplus
}
#endif

#endif
