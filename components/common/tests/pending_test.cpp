#include "pending.h"

#include <gtest/gtest.h>

#include <qf/fault_injection.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct Record {
    int source;
    int serial;
};

// A sink in memory that can be made busy: store answers 0 and keeps nothing while busy.
struct MemorySink {
    CRITICAL_SECTION lock;
    std::vector<Record> stored;
    int busyStores = 0;  // the next stores that find the "database" busy; -1: every store
    int stores = 0;

    MemorySink() { InitializeCriticalSection(&lock); }
    ~MemorySink() { DeleteCriticalSection(&lock); }

    static int store(void* context, const void* const* records, int count) {
        MemorySink& sink = *static_cast<MemorySink*>(context);
        EnterCriticalSection(&sink.lock);
        ++sink.stores;
        bool busy = sink.busyStores != 0;
        if (sink.busyStores > 0) --sink.busyStores;
        if (!busy)
            for (int i = 0; i < count; ++i) sink.stored.push_back(*static_cast<const Record*>(records[i]));
        LeaveCriticalSection(&sink.lock);
        return busy ? 0 : 1;
    }

    void setBusy(int stores) {
        EnterCriticalSection(&lock);
        busyStores = stores;
        LeaveCriticalSection(&lock);
    }
    std::vector<Record> snapshot() {
        EnterCriticalSection(&lock);
        std::vector<Record> copy = stored;
        LeaveCriticalSection(&lock);
        return copy;
    }
    std::vector<int> serials() {
        std::vector<int> out;
        for (const Record& r : snapshot()) out.push_back(r.serial);
        return out;
    }
};

// A queue lives until the process ends; the tests keep theirs here, past the static destructors.
std::vector<PendingQueue*>& made_queues() {
    static auto* queues = new std::vector<PendingQueue*>;
    return *queues;
}

class PendingTest : public ::testing::Test {
protected:
    PendingQueue* make(int capacity) {
        PendingSink spec = {MemorySink::store, NULL, &sink, NULL, sizeof(Record), capacity};
        PendingQueue* queue = pending_create(&spec);
        if (queue) made_queues().push_back(queue);
        return queue;
    }
    // The writer threads end before the sink they store to goes.
    void TearDown() override {
        qf::fail_next(qf::Fault::CreateThread, 0);
        for (PendingQueue* queue : made_queues()) pending_close(queue, 1000);
    }

    static std::vector<int> zero_to(int n) {
        std::vector<int> all;
        for (int i = 0; i < n; ++i) all.push_back(i);
        return all;
    }

    MemorySink sink;
};

TEST_F(PendingTest, RecordsFromManyThreadsReachTheSinkOnceEachInTheOrderHandedOver) {
    PendingQueue* queue = make(200);  // less than is handed over: producers wait for room at times
    ASSERT_TRUE(queue);
    const int threads = 4, perThread = 2000;
    std::vector<std::thread> producers;
    std::vector<int> refused(threads, 0);
    for (int t = 0; t < threads; ++t)
        producers.emplace_back([&, t] {
            for (int i = 0; i < perThread;) {
                Record record = {t, i};
                if (pending_submit(queue, &record)) {
                    ++i;
                } else {
                    ++refused[t];
                    Sleep(1);  // full: the producer offers the same record again
                }
            }
        });
    for (std::thread& producer : producers) producer.join();
    ASSERT_EQ(1, pending_flush(queue, 60000));
    std::vector<std::vector<int>> bySource(threads);
    for (const Record& record : sink.snapshot()) bySource[record.source].push_back(record.serial);
    for (int t = 0; t < threads; ++t) EXPECT_EQ(zero_to(perThread), bySource[t]) << "thread " << t;
}

TEST_F(PendingTest, ARecordHandedOverJustAsTheWriterRunsOutOfWorkIsStoredWithoutAnotherOne) {
    PendingQueue* queue = make(16);
    ASSERT_TRUE(queue);
    // Each record follows the moment the one before has been stored, when the writer is about to
    // find nothing more and wait: it must not wait past this record (no flush asks it to).
    for (int i = 0; i < 2000; ++i) {
        Record record = {0, i};
        ASSERT_EQ(1, pending_submit(queue, &record));
        DWORD start = GetTickCount();
        while (sink.snapshot().size() < (size_t)i + 1) {
            ASSERT_LT(GetTickCount() - start, 10000u) << "record " << i << " was left waiting";
            Sleep(0);
        }
    }
}

TEST_F(PendingTest, ABusySinkKeepsTheRecordsUntilItStoresAgainAndAFullQueueRefuses) {
    const int capacity = 150;  // records in more than two blocks
    PendingQueue* queue = make(capacity);
    ASSERT_TRUE(queue);
    sink.setBusy(-1);
    for (int i = 0; i < capacity; ++i) {
        Record record = {0, i};
        ASSERT_EQ(1, pending_submit(queue, &record));
    }
    Record refused = {0, 999};
    EXPECT_EQ(0, pending_submit(queue, &refused)) << "the queue is full";
    EXPECT_EQ(0, pending_flush(queue, 50)) << "nothing can be stored while the sink is busy";
    EXPECT_TRUE(sink.snapshot().empty());

    sink.setBusy(0);
    ASSERT_EQ(1, pending_flush(queue, 60000));
    EXPECT_EQ(zero_to(capacity), sink.serials()) << "the refused record is not stored";
    // The emptied blocks serve again, as full as before.
    sink.setBusy(-1);
    for (int i = capacity; i < 2 * capacity; ++i) {
        Record record = {0, i};
        ASSERT_EQ(1, pending_submit(queue, &record));
    }
    EXPECT_EQ(0, pending_submit(queue, &refused));
    sink.setBusy(0);
    ASSERT_EQ(1, pending_flush(queue, 60000));
    EXPECT_EQ(zero_to(2 * capacity), sink.serials());
}

TEST_F(PendingTest, CloseStoresWhatWaitsAndLaterRecordsAreStoredOnTheCallersThread) {
    PendingQueue* queue = make(16);
    ASSERT_TRUE(queue);
    sink.setBusy(3);  // the first stores find the database busy; close keeps trying
    for (int i = 0; i < 5; ++i) {
        Record record = {0, i};
        ASSERT_EQ(1, pending_submit(queue, &record));
    }
    pending_close(queue, 10000);
    EXPECT_EQ(zero_to(5), sink.serials());

    Record late = {0, 5};
    EXPECT_EQ(1, pending_submit(queue, &late));
    EXPECT_EQ(zero_to(6), sink.serials()) << "stored before pending_submit returned";
    pending_close(queue, 10000);  // a second close does nothing
}

TEST_F(PendingTest, CloseGivesUpOnASinkThatNeverStores) {
    PendingQueue* queue = make(4);
    ASSERT_TRUE(queue);
    sink.setBusy(-1);
    Record record = {0, 0};
    ASSERT_EQ(1, pending_submit(queue, &record));
    pending_close(queue, 100);  // returns: the bound is kept (how soon is for the benchmark)
    EXPECT_TRUE(sink.snapshot().empty());
    EXPECT_GT(sink.stores, 0);
}

TEST_F(PendingTest, WithoutAWriterThreadTheCallerStoresItsRecordOrGetsItBack) {
    PendingQueue* queue = make(4);
    ASSERT_TRUE(queue);
    qf::fail_next(qf::Fault::CreateThread, 100);
    Record first = {0, 0};
    EXPECT_EQ(1, pending_submit(queue, &first));
    EXPECT_EQ(zero_to(1), sink.serials()) << "stored before pending_submit returned";

    sink.setBusy(-1);
    Record refused = {0, 1};
    EXPECT_EQ(0, pending_submit(queue, &refused)) << "could not be stored and is not kept";
    sink.setBusy(0);
    qf::fail_next(qf::Fault::CreateThread, 0);
    Record next = {0, 2};
    EXPECT_EQ(1, pending_submit(queue, &next));
    ASSERT_EQ(1, pending_flush(queue, 60000));
    EXPECT_EQ((std::vector<int>{0, 2}), sink.serials());
}

TEST(Pending, RefusesASinkItCannotUse) {
    PendingSink noStore = {NULL, NULL, NULL, NULL, 4, 4};
    EXPECT_EQ(nullptr, pending_create(&noStore));
    PendingSink noRoom = {MemorySink::store, NULL, NULL, NULL, 4, 0};
    EXPECT_EQ(nullptr, pending_create(&noRoom));
    EXPECT_EQ(nullptr, pending_create(NULL));
    Record record = {0, 0};
    EXPECT_EQ(0, pending_submit(NULL, &record));
    EXPECT_EQ(0, pending_flush(NULL, 0));
}

}  // namespace
