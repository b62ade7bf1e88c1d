#include "dworker.h"

#include <string.h>

#include <new>

#include <filter.h>
#include <qfatomic.h>

#include "dprovide.h"
#include "spi_assert.h"
#include "spi_entries.h"
#include "spi_state.h"

namespace {

const ULONG_PTR kWakeKey = 0xFFFFFFFF;
const DWORD kStopWaitMs = 5000;

// The worker whose records the completions belong to.
std::atomic<Worker*> g_activeWorker{nullptr};

WSAOVERLAPPED g_wakePacket;

// On the caller's thread, in its alertable wait: the routine that the completion left in Internal.
void CALLBACK run_caller_routine(DWORD_PTR value) {
    LPWSAOVERLAPPED overlapped = reinterpret_cast<LPWSAOVERLAPPED>(value);
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine =
        reinterpret_cast<LPWSAOVERLAPPED_COMPLETION_ROUTINE>(overlapped->Internal);
    overlapped->Internal = overlapped->Offset;
    routine(overlapped->Offset, static_cast<DWORD>(overlapped->InternalHigh), overlapped, overlapped->OffsetHigh);
}

// The first buffer's share of what a receive brought.
DWORD first_buffer_bytes(const WSABUF* buffers, DWORD count, DWORD bytes) {
    if (!buffers || count == 0) return 0;
    return bytes < buffers[0].len ? bytes : buffers[0].len;
}

}  // namespace

Worker::Worker() : m_stop(0), m_threadCount(0), m_running(0), m_port(nullptr), m_semaphore(nullptr),
                   m_drained(nullptr) {
    InitializeCriticalSection(&m_lock);
    m_queue.queueNext = m_queue.queuePrev = &m_queue;
}

Worker::~Worker() {
    if (m_port) CloseHandle(m_port);
    if (m_semaphore) CloseHandle(m_semaphore);
    DeleteCriticalSection(&m_lock);
}

Worker* Worker::Create() {
    Worker* worker = new (std::nothrow) Worker;
    if (!worker) return nullptr;
    if (!worker->Start()) {
        delete worker;
        return nullptr;
    }
    g_activeWorker = worker;
    return worker;
}

bool Worker::Start() {
    LONG threads = 1;
    m_port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
    if (!m_port) {
        m_semaphore = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
        if (!m_semaphore) return false;
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        threads = info.dwNumberOfProcessors ? static_cast<LONG>(info.dwNumberOfProcessors) : 1;
    }
    if (!m_pool.Initialize()) return false;
    m_drained = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_drained) return false;
    for (LONG i = 0; i < threads; ++i) {
        // Each thread holds the library from before it starts until it ends.
        HMODULE library = LoadLibraryA(kVtlspLibrary);
        if (!library) break;
        m_running++;
        HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
        if (!thread) {
            m_running--;
            FreeLibrary(library);
            break;
        }
        CloseHandle(thread);
        m_threadCount++;
    }
    if (m_threadCount == 0) {
        CloseHandle(m_drained);
        m_drained = nullptr;
        return false;
    }
    return true;
}

DWORD WINAPI Worker::ThreadMain(LPVOID parameter) {
    Worker* worker = static_cast<Worker*>(parameter);
    WSATHREADID self;
    memset(&self, 0, sizeof(self));
    INT error = 0;
    g_vtlsp.upcalls.lpWPUOpenCurrentThread(&self, &error);
    worker->Run(self);
    g_vtlsp.upcalls.lpWPUCloseThread(&self, &error);
    HMODULE library = GetModuleHandleA(kVtlspLibrary);
    if (--worker->m_running == 0) {
        HANDLE drained = worker->m_drained;
        if (g_activeWorker == worker) g_activeWorker = nullptr;
        delete worker;
        SetEvent(drained);
    }
    FreeLibraryAndExitThread(library, 0);
    return 0;
}

void Worker::Run(WSATHREADID& self) {
    for (;;) {
        if (m_port) {
            DWORD bytes = 0;
            ULONG_PTR key = 0;
            LPOVERLAPPED overlapped = nullptr;
            BOOL ok = GetQueuedCompletionStatus(m_port, &bytes, &key, &overlapped, INFINITE);
            if (m_stop) return;
            if (key == kWakeKey) continue;
            if (overlapped)
                Complete(WSA_IO_PENDING, bytes, overlapped, 0);
            else if (!ok)
                Sleep(10);
        } else {
            DWORD wait = WaitForSingleObjectEx(m_semaphore, INFINITE, TRUE);
            if (m_stop) return;
            if (wait != WAIT_OBJECT_0) continue;
            EnterCriticalSection(&m_lock);
            InternalOverlappedStruct* record = m_queue.queueNext;
            if (record != &m_queue) {
                m_queue.queueNext = record->queueNext;
                record->queueNext->queuePrev = &m_queue;
            } else {
                record = nullptr;
            }
            LeaveCriticalSection(&m_lock);
            if (record) {
                INT error = 0;
                if (Execute(record, Complete, &self, &error) != 0 && error != WSA_IO_PENDING)
                    Complete(static_cast<DWORD>(error), 0, &record->lowerOverlapped, 0);
            }
        }
    }
}

void Worker::Stop() {
    if (m_threadCount == 0) return;
    HANDLE drained = m_drained;
    LONG threads = m_threadCount;
    m_threadCount = 0;
    m_stop = 1;
    if (m_port)
        PostQueuedCompletionStatus(m_port, 0, kWakeKey, &g_wakePacket);
    else
        ReleaseSemaphore(m_semaphore, threads, nullptr);
    // A thread still inside a completion would call a next provider about to be cleaned up.
    if (WaitForSingleObject(drained, kStopWaitMs) == WAIT_OBJECT_0) CloseHandle(drained);
}

InternalOverlappedStruct* Worker::NewRecord(SocketContext* context, DWORD kind, LPWSAOVERLAPPED overlapped,
                                            LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                                            LPINT lpErrno) {
    if (routine && !thread) {
        spi_fail(lpErrno, WSAEINVAL);
        return nullptr;
    }
    InternalOverlappedStruct* record = m_pool.AllocateRecord();
    if (!record) {
        spi_fail(lpErrno, WSAENOBUFS);
        return nullptr;
    }
    record->kind = kind;
    record->ownHandle = context->ownHandle;
    record->provider = context->provider;
    record->lowerSocket = context->lowerSocket;
    record->context = context;
    context->pendingRequests++;
    if (thread) record->callerThread = *thread;
    record->callerOverlapped = overlapped;
    record->callerRoutine = routine;
    return record;
}

void Worker::DropRecord(InternalOverlappedStruct* record) {
    record->context->pendingRequests--;
    m_pool.FreeRecord(record);
}

int Worker::Queue(InternalOverlappedStruct* record, SocketContext* context, LPINT lpErrno) {
    if (m_port) {
        EnterCriticalSection(&m_lock);
        if (context->completionKey == kNoCompletionKey) {
            CreateIoCompletionPort(reinterpret_cast<HANDLE>(context->lowerSocket), m_port, context->ownHandle, 0);
            context->completionKey = context->ownHandle;
            // A request done within the call is then completed by the call, on the caller's
            // thread, instead of by the worker thread once it has taken the packet.
            context->portSkipsOnSuccess = SetFileCompletionNotificationModes(
                reinterpret_cast<HANDLE>(context->lowerSocket), FILE_SKIP_COMPLETION_PORT_ON_SUCCESS);
        }
        const bool skipsOnSuccess = context->portSkipsOnSuccess != FALSE;
        LeaveCriticalSection(&m_lock);
        IssueOnCaller(record, skipsOnSuccess);
    } else {
        EnterCriticalSection(&m_lock);
        record->queueNext = &m_queue;
        record->queuePrev = m_queue.queuePrev;
        m_queue.queuePrev->queueNext = record;
        m_queue.queuePrev = record;
        LeaveCriticalSection(&m_lock);
        ReleaseSemaphore(m_semaphore, 1, nullptr);
    }
    return spi_fail(lpErrno, WSA_IO_PENDING);
}

void Worker::IssueOnCaller(InternalOverlappedStruct* r, bool skipsOnSuccess) {
    WSATHREADID caller = r->callerThread;
    INT error = 0;
    const int result = Execute(r, nullptr, &caller, &error);
    if (result == 0) {
        // Done within the call: where no packet is to come for it, it is completed here.
        if (skipsOnSuccess) Deliver(r, WSA_IO_PENDING, 0, 0);
    } else if (error != WSA_IO_PENDING) {
        Complete(static_cast<DWORD>(error), 0, &r->lowerOverlapped, 0);
    }
}

int Worker::Execute(InternalOverlappedStruct* r, LPWSAOVERLAPPED_COMPLETION_ROUTINE routine, LPWSATHREADID thread,
                    INT* lowerError) {
    const WSPPROC_TABLE& procs = r->provider->Procs();
    LPWSAOVERLAPPED lower = &r->lowerOverlapped;
    DWORD bytes = 0;
    INT error = 0;
    int result = 0;
    switch (r->kind) {
    case kRequestRecv:
        result = procs.lpWSPRecv(r->lowerSocket, area_buffers(r->second.buffers, r->secondCount), r->secondCount,
                                 &bytes, &r->flags.value, lower, routine, thread, &error);
        break;
    case kRequestRecvFrom:
        result = procs.lpWSPRecvFrom(r->lowerSocket, area_buffers(r->second.buffers, r->secondCount), r->secondCount,
                                     &bytes, &r->flags.value, reinterpret_cast<struct sockaddr*>(r->extra1),
                                     reinterpret_cast<LPINT>(r->extra2), lower, routine, thread, &error);
        break;
    case kRequestSend:
        result = procs.lpWSPSend(r->lowerSocket, area_buffers(r->first.buffers, r->firstCount), r->firstCount, &bytes,
                                 r->flags.value, lower, routine, thread, &error);
        break;
    case kRequestSendTo:
        result = procs.lpWSPSendTo(r->lowerSocket, area_buffers(r->first.buffers, r->firstCount), r->firstCount,
                                   &bytes, r->flags.value, reinterpret_cast<const struct sockaddr*>(r->extra1),
                                   static_cast<int>(r->extra2), lower, routine, thread, &error);
        break;
    case kRequestIoctl:
        result = procs.lpWSPIoctl(r->lowerSocket, r->flags.value, r->first.input, r->firstCount, r->second.output,
                                  r->secondCount, &bytes, lower, routine, thread, &error);
        break;
    case kRequestTransmitFile: {
        LPFN_TRANSMITFILE transmit = r->provider->m_TransmitFile;
        LPTRANSMIT_FILE_BUFFERS buffers =
            r->first.transmit.HeadLength || r->first.transmit.TailLength ? &r->first.transmit : nullptr;
        if (!transmit) {
            result = SOCKET_ERROR;
            error = WSAEOPNOTSUPP;
        } else if (!transmit(r->lowerSocket, r->flags.file, static_cast<DWORD>(r->extra1),
                             static_cast<DWORD>(r->extra2), lower, buffers, r->transmitFlags)) {
            result = SOCKET_ERROR;
            error = static_cast<INT>(GetLastError());
        }
        break;
    }
    case kRequestAcceptEx: {
        LPFN_ACCEPTEX accept = r->provider->m_AcceptEx;
        if (!accept) {
            result = SOCKET_ERROR;
            error = WSAEOPNOTSUPP;
        } else if (!accept(r->lowerSocket, r->flags.acceptSocket, r->second.output, r->secondCount,
                           static_cast<DWORD>(r->extra1), static_cast<DWORD>(r->extra2), &bytes, lower)) {
            result = SOCKET_ERROR;
            error = static_cast<INT>(GetLastError());
        }
        break;
    }
    default:
        VTLSP_ASSERT(FALSE, "FALSE", "dworker");
    }
    *lowerError = error;
    return result;
}

void CALLBACK Worker::Complete(DWORD error, DWORD bytes, LPWSAOVERLAPPED lowerOverlapped, DWORD flags) {
    Worker* worker = g_activeWorker;
    if (!worker) return;
    InternalOverlappedStruct* record = worker->m_pool.FindRecord(lowerOverlapped);
    if (!record) return;
    worker->Deliver(record, error, bytes, flags);
}

void Worker::Deliver(InternalOverlappedStruct* record, DWORD error, DWORD bytes, DWORD flags) {
    LPWSAOVERLAPPED lowerOverlapped = &record->lowerOverlapped;
    if (error == WSA_IO_PENDING) {
        INT lowerError = 0;
        if (record->provider->Procs().lpWSPGetOverlappedResult(record->lowerSocket, lowerOverlapped, &bytes, FALSE,
                                                               &flags, &lowerError))
            error = 0;
        else
            error = lowerError ? static_cast<DWORD>(lowerError) : WSASYSCALLFAILURE;
    }
    Finish(record, error, bytes, flags);
}

void Worker::Finish(InternalOverlappedStruct* r, DWORD error, DWORD bytes, DWORD flags) {
    const SOCKET own = r->ownHandle;
    LPWSAOVERLAPPED overlapped = r->callerOverlapped;
    LPWSAOVERLAPPED_COMPLETION_ROUTINE routine = r->callerRoutine;
    WSATHREADID thread = r->callerThread;
    SocketContext* context = r->context;

    switch (r->kind) {
    case kRequestRecv:
    case kRequestRecvFrom: {
        // What arrived is inspected before the application learns of it.
        WSABUF* buffers = area_buffers(r->first.buffers, r->firstCount);
        DWORD inspected = error == 0 ? first_buffer_bytes(buffers, r->firstCount, bytes) : 0;
        char* data = r->firstCount ? buffers[0].buf : nullptr;
        if (r->kind == kRequestRecv) {
            if (!filter_inspect_recv(own, data, inspected)) {
                error = WSAESHUTDOWN;
                bytes = 0;
            }
        } else {
            filter_inspect_recvfrom(own, data, inspected, reinterpret_cast<const struct sockaddr*>(r->extra1));
        }
        BufferHandOff::Deliver();
        BufferHandOff::Release();
        area_free(r->first.buffers, r->firstCount);
        area_free(r->second.buffers, r->secondCount);
        break;
    }
    case kRequestSend:
    case kRequestSendTo:
        area_free(r->first.buffers, r->firstCount);
        break;
    case kRequestIoctl:
        if (r->flags.value == SIO_GET_EXTENSION_FUNCTION_POINTER && error == 0)
            spi_intercept_extension(r->provider, r->first.input, r->firstCount, r->second.output, r->secondCount);
        break;
    default:
        break;
    }
    m_pool.FreeRecord(r);

    INT ignored = 0;
    if (routine) {
        overlapped->InternalHigh = bytes;
        overlapped->Offset = error;
        overlapped->OffsetHigh = flags;
        qf_atomic_store(&overlapped->Internal, reinterpret_cast<ULONG_PTR>(routine));
        g_vtlsp.upcalls.lpWPUQueueApc(&thread, run_caller_routine, reinterpret_cast<DWORD_PTR>(overlapped), &ignored);
    } else {
        overlapped->Offset = error;
        overlapped->OffsetHigh = flags;
        g_vtlsp.completeRequest(own, overlapped, error, bytes, &ignored);
    }
    context->pendingRequests--;  // the context may be gone from here on
}
