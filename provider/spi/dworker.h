// Worker: carries the application's overlapped requests to the next provider with records of its
// own and completes them to the application when the next provider is done. One thread on an I/O
// completion port, or, without one, a request queue served by one thread per processor.
#ifndef VTLSP_DWORKER_H
#define VTLSP_DWORKER_H

#include <ws2spi.h>

#include <atomic>

#include "doverlap.h"

struct SocketContext;

class Worker {
public:
    // A running worker, or null when it cannot be had.
    static Worker* Create();
    // Tells the threads to leave and waits (a while at most) until they no longer call the next
    // providers. The last thread to leave releases the object.
    void Stop();

    // A record for a request on context, or null (*lpErrno = WSAENOBUFS) when none is free.
    InternalOverlappedStruct* NewRecord(SocketContext* context, DWORD kind, LPWSAOVERLAPPED overlapped,
                                        LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                                        LPINT lpErrno);
    // Gives a record back unused (the request could not be made).
    void DropRecord(InternalOverlappedStruct* record);
    // Hands the filled record on; always SOCKET_ERROR with *lpErrno = WSA_IO_PENDING.
    int Queue(InternalOverlappedStruct* record, SocketContext* context, LPINT lpErrno);

private:
    Worker();
    ~Worker();
    bool Start();
    static DWORD WINAPI ThreadMain(LPVOID parameter);
    void Run(WSATHREADID& self);
    // Calls the next provider for the request; its result, with its error in *lowerError.
    int Execute(InternalOverlappedStruct* record, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                INT* lowerError);
    // Completion-port mode: executes the request on the calling thread, and completes it there
    // when the next provider finished it within the call and skipsOnSuccess (no packet comes).
    void IssueOnCaller(InternalOverlappedStruct* record, bool skipsOnSuccess);
    static void CALLBACK Complete(DWORD error, DWORD bytes, LPWSAOVERLAPPED lowerOverlapped, DWORD flags);
    // The outcome fetched from the next provider when error is WSA_IO_PENDING, then Finish.
    void Deliver(InternalOverlappedStruct* record, DWORD error, DWORD bytes, DWORD flags);
    void Finish(InternalOverlappedStruct* record, DWORD error, DWORD bytes, DWORD flags);

    std::atomic<LONG> m_stop;
    LONG m_threadCount;
    std::atomic<LONG> m_running;  // threads not yet gone
    HANDLE m_port;
    HANDLE m_semaphore;
    HANDLE m_drained;  // set when the last thread has left its loop
    CRITICAL_SECTION m_lock;
    InternalOverlappedStruct m_queue;  // the request queue's head (semaphore mode)
    OverlappedManager m_pool;
};

#endif
