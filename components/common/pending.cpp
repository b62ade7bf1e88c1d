// The waiting records are a chain of blocks of fixed-size slots: handing a record over is a copy
// under a short lock, and memory follows how many records wait (a block is only allocated when
// the spare ones are in use). Whoever stores (the writer thread, a caller flushing, the closing
// thread) does so under the store lock and takes the oldest records first, so the records reach
// the database in the order they were handed over.
#include "pending.h"

#include <string.h>

#include <new>

#include "qfatomic.h"

namespace {

const int kBatch = 256;      // records in one transaction at most
const int kBlock = 64;       // records in one block
const int kSpareBlocks = 8;  // emptied blocks kept for reuse; more are freed
const DWORD kRetryMs = 20;   // pause after a store that found the database busy
const DWORD kOwnStoreMs = 1000;  // how long a caller storing its own record keeps trying

enum StoreStep { kNothingWaits, kStored, kNotStored, kLockTaken };

// kBlock records of the queue's record size follow the header.
struct Block {
    Block* next;
};

}  // namespace

struct PendingQueue {
    PendingSink sink;
    CRITICAL_SECTION lock;       // the records' place, the counters and the writer's state below
    CRITICAL_SECTION storeLock;  // one store at a time; the owner's connection
    Block* first;                // the oldest waiting record is slot firstSlot of first
    int firstSlot;
    Block* last;                 // the next record goes to slot lastSlot of last
    int lastSlot;
    Block* spare;                // emptied blocks for reuse
    int spareCount;
    unsigned long long head;     // records stored (or withdrawn) so far
    unsigned long long tail;     // records handed over so far
    HANDLE wake;                 // auto-reset: records wait while the writer is idle, or close asks it to end
    HANDLE writer;               // the writer thread; NULL until it has been started
    bool writerIdle;             // the writer waits for wake with nothing to do
    bool closing;                // pending_close has begun: no writer is started any more
    bool closed;                 // pending_close has ended: callers store their own records
    LONG moduleHeld;             // 1 once sink.module has been loaded for the writer (or needs not be)
    DWORD closeStart;
    DWORD closeTimeout;
    DWORD owner;  // the process the locks, the thread and the waiting records belong to
};

namespace {

bool elapsed(DWORD start, DWORD timeoutMs) { return GetTickCount() - start >= timeoutMs; }

char* slot_of(const PendingQueue* queue, Block* block, int slot) {
    return reinterpret_cast<char*>(block + 1) + (size_t)slot * queue->sink.recordSize;
}

// Under queue->lock: a block for the next records, from the spare ones or new; NULL when out of
// memory.
Block* take_block_locked(PendingQueue* queue) {
    Block* block = queue->spare;
    if (block) {
        queue->spare = block->next;
        --queue->spareCount;
    } else {
        // Records are copied in and read back through their own struct type: the slots keep the
        // alignment of new (the header is one pointer, a record's size a multiple of its alignment).
        size_t bytes = sizeof(Block) + (size_t)kBlock * queue->sink.recordSize;
        block = reinterpret_cast<Block*>(new (std::nothrow) char[bytes]);
        if (!block) return NULL;
    }
    block->next = NULL;
    return block;
}

// Under queue->lock: a block all of whose records have been stored goes back to the spare ones,
// or, when there are enough, onto *unused for the caller to free once it has left the lock.
void give_back_block_locked(PendingQueue* queue, Block* block, Block** unused) {
    bool keep = queue->spareCount < kSpareBlocks;
    Block** list = keep ? &queue->spare : unused;
    block->next = *list;
    *list = block;
    if (keep) ++queue->spareCount;
}

// Under queue->lock: count records from the oldest on have been stored; head moves past them and
// the blocks they emptied go back (see give_back_block_locked).
void advance_locked(PendingQueue* queue, int count, Block** unused) {
    queue->head += (unsigned long long)count;
    queue->firstSlot += count;
    while (queue->first && queue->first != queue->last && queue->firstSlot >= kBlock) {
        Block* emptied = queue->first;
        queue->first = emptied->next;
        queue->firstSlot -= kBlock;
        give_back_block_locked(queue, emptied, unused);
    }
    if (queue->head == queue->tail && queue->first && queue->first == queue->last)
        queue->firstSlot = queue->lastSlot = 0;  // nothing waits: the block starts afresh
}

// A fork's child has only the forking thread: the parent's writer thread did not come along and
// its locks may have been held at the moment of the fork. The child starts afresh with its own;
// the records waiting in the parent are the parent's to store. The first call after a fork comes
// from the forking thread, before the child has started threads of its own.
void adopt_process(PendingQueue* queue) {
    DWORD self = GetCurrentProcessId();
    if (qf_atomic_load(&queue->owner) == self) return;
    InitializeCriticalSection(&queue->lock);
    InitializeCriticalSection(&queue->storeLock);
    queue->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
    queue->writer = NULL;
    queue->writerIdle = false;
    queue->closing = queue->closed = false;
    queue->head = queue->tail;
    queue->first = queue->last;
    queue->firstSlot = queue->lastSlot;
    if (queue->sink.forget) queue->sink.forget(queue->sink.context);
    qf_atomic_store(&queue->owner, self);
}

// Stores the oldest waiting records (up to a batch) under the store lock. With tryOnly the lock
// is not waited for (kLockTaken when another holds it).
StoreStep store_next(PendingQueue* queue, bool tryOnly) {
    if (tryOnly) {
        if (!TryEnterCriticalSection(&queue->storeLock)) return kLockTaken;
    } else {
        EnterCriticalSection(&queue->storeLock);
    }
    // The records from the oldest on stay where they are until head moves past them, which only a
    // store does, under the store lock held here; so they are read outside the queue's lock.
    const void* batch[kBatch];
    EnterCriticalSection(&queue->lock);
    unsigned long long waiting = queue->tail - queue->head;
    int count = (int)(waiting < (unsigned long long)kBatch ? waiting : kBatch);
    Block* block = queue->first;
    int slot = queue->firstSlot;
    for (int i = 0; i < count; ++i, ++slot) {
        if (slot == kBlock) {
            block = block->next;
            slot = 0;
        }
        batch[i] = slot_of(queue, block, slot);
    }
    LeaveCriticalSection(&queue->lock);
    StoreStep step = kNothingWaits;
    if (count > 0) {
        step = queue->sink.store(queue->sink.context, batch, count) ? kStored : kNotStored;
        if (step == kStored) {
            Block* unused = NULL;
            EnterCriticalSection(&queue->lock);
            advance_locked(queue, count, &unused);
            LeaveCriticalSection(&queue->lock);
            while (unused) {
                Block* next = unused->next;
                delete[] reinterpret_cast<char*>(unused);
                unused = next;
            }
        }
    }
    LeaveCriticalSection(&queue->storeLock);
    return step;
}

DWORD WINAPI pending_writer(LPVOID parameter) {
    PendingQueue* queue = static_cast<PendingQueue*>(parameter);
    for (;;) {
        StoreStep step = store_next(queue, false);
        EnterCriticalSection(&queue->lock);
        bool closing = queue->closing;
        bool late = closing && elapsed(queue->closeStart, queue->closeTimeout);
        // Looked at under the lock that submit takes: a record handed over after the store above
        // is seen here, or its submit finds the writer idle and wakes it.
        bool nothingWaits = queue->tail == queue->head;
        queue->writerIdle = nothingWaits && !closing;
        LeaveCriticalSection(&queue->lock);
        if (nothingWaits) {
            if (closing) return 0;
            WaitForSingleObject(queue->wake, INFINITE);
        } else if (step == kNotStored) {
            if (late) return 0;  // pending_close stores the rest if it still can
            WaitForSingleObject(queue->wake, kRetryMs);
        }
    }
}

// Keeps the sink's library loaded for the writer; outside queue->lock, since LoadLibraryA takes the
// loader lock, under which an unloading library's clean-up takes queue->lock.
void hold_module(PendingQueue* queue) {
    if (qf_atomic_load(&queue->moduleHeld)) return;
    if (!queue->sink.module || LoadLibraryA(queue->sink.module)) qf_atomic_store(&queue->moduleHeld, (LONG)1);
}

// Under queue->lock: true when a writer thread has been started (now or before).
bool start_writer_locked(PendingQueue* queue) {
    if (queue->writer) return true;
    if (queue->closing || !queue->wake || !qf_atomic_load(&queue->moduleHeld)) return false;
    queue->writer = CreateThread(NULL, 0, pending_writer, queue, 0, NULL);
    return queue->writer != NULL;
}

// The caller stores the records up to and including its own (index mine) itself. When that fails
// and its record is still the last one waiting, the record is taken back: 0.
int store_own(PendingQueue* queue, unsigned long long mine) {
    DWORD start = GetTickCount();
    for (;;) {
        StoreStep step = store_next(queue, false);
        EnterCriticalSection(&queue->lock);
        bool stored = queue->head > mine;
        LeaveCriticalSection(&queue->lock);
        if (stored) return 1;
        if (step == kNothingWaits || (step == kNotStored && elapsed(start, kOwnStoreMs))) break;
        if (step == kNotStored) Sleep(kRetryMs);
    }
    EnterCriticalSection(&queue->storeLock);
    EnterCriticalSection(&queue->lock);
    int result = 1;  // still waiting behind others, it is stored with them
    if (queue->head > mine) {
        result = 1;
    } else if (queue->tail == mine + 1) {
        queue->tail = mine;  // the last record handed over, in the last slot taken
        --queue->lastSlot;
        result = 0;
    }
    LeaveCriticalSection(&queue->lock);
    LeaveCriticalSection(&queue->storeLock);
    return result;
}

}  // namespace

PendingQueue* pending_create(const PendingSink* sink) {
    if (!sink || !sink->store || sink->recordSize == 0 || sink->capacity <= 0) return NULL;
    PendingQueue* queue = new (std::nothrow) PendingQueue();
    if (!queue) return NULL;
    queue->sink = *sink;
    queue->owner = 0;  // adopted by this process on first use
    adopt_process(queue);
    return queue;
}

int pending_submit(PendingQueue* queue, const void* record) {
    if (!queue || !record) return 0;
    adopt_process(queue);
    hold_module(queue);
    EnterCriticalSection(&queue->lock);
    if (queue->tail - queue->head >= (unsigned long long)queue->sink.capacity) {
        LeaveCriticalSection(&queue->lock);
        return 0;
    }
    if (!queue->last || queue->lastSlot == kBlock) {
        Block* block = take_block_locked(queue);
        if (!block) {
            LeaveCriticalSection(&queue->lock);
            return 0;
        }
        if (queue->last) {
            queue->last->next = block;
        } else {
            queue->first = block;
            queue->firstSlot = 0;
        }
        queue->last = block;
        queue->lastSlot = 0;
    }
    unsigned long long mine = queue->tail;
    memcpy(slot_of(queue, queue->last, queue->lastSlot++), record, queue->sink.recordSize);
    queue->tail = mine + 1;
    bool own = queue->closed || !start_writer_locked(queue);
    bool wake = !own && queue->writerIdle;
    if (wake) queue->writerIdle = false;
    LeaveCriticalSection(&queue->lock);
    if (wake) SetEvent(queue->wake);
    return own ? store_own(queue, mine) : 1;
}

int pending_flush(PendingQueue* queue, DWORD timeoutMs) {
    if (!queue) return 0;
    adopt_process(queue);
    DWORD start = GetTickCount();
    EnterCriticalSection(&queue->lock);
    unsigned long long target = queue->tail;
    LeaveCriticalSection(&queue->lock);
    // The flushing thread stores alongside the writer rather than waiting for it to get round.
    for (;;) {
        StoreStep step = store_next(queue, false);
        EnterCriticalSection(&queue->lock);
        bool done = queue->head >= target;
        LeaveCriticalSection(&queue->lock);
        if (done || step == kNothingWaits) return 1;  // nothing waits: the rest was taken back
        if (elapsed(start, timeoutMs)) return 0;
        if (step == kNotStored) Sleep(kRetryMs);
    }
}

void pending_lock(PendingQueue* queue) {
    adopt_process(queue);
    EnterCriticalSection(&queue->storeLock);
}

void pending_unlock(PendingQueue* queue) { LeaveCriticalSection(&queue->storeLock); }

void pending_close(PendingQueue* queue, DWORD timeoutMs) {
    if (!queue) return;
    adopt_process(queue);
    EnterCriticalSection(&queue->lock);
    if (queue->closing) {
        LeaveCriticalSection(&queue->lock);
        return;
    }
    queue->closing = true;
    queue->closeStart = GetTickCount();
    queue->closeTimeout = timeoutMs;
    HANDLE writer = queue->writer;
    LeaveCriticalSection(&queue->lock);
    if (writer) {
        SetEvent(queue->wake);
        // The writer ends when nothing waits or the time is up; a store in progress then still
        // finishes, which the sink keeps short.
        WaitForSingleObject(writer, timeoutMs + 1000);
    }
    // What the writer left, or all of it where no writer ran (on Windows, at process end, the
    // other threads are gone before this runs; the store lock is held only while records are
    // written, but one ended in the middle of a write never releases it, so it is only tried).
    for (;;) {
        StoreStep step = store_next(queue, true);
        if (step == kNothingWaits || elapsed(queue->closeStart, timeoutMs)) break;
        if (step != kStored) Sleep(step == kLockTaken ? 1 : kRetryMs);
    }
    EnterCriticalSection(&queue->lock);
    queue->closed = true;
    LeaveCriticalSection(&queue->lock);
}
