// bench-links: vtlogger vtmessage qfcommon_testing
// How long VTLogger_Submit and VTGenerateMsg hold the calling thread while 8 processes of 4
// threads each log (or raise alerts) at once, each thread one call a millisecond and then as fast
// as it can, with the database free and while another connection keeps it locked until the
// processes have ended. The program starts its own copies as the logging processes; each times
// every call and hands the times back in a file. "stored" counts the rows in the database after
// the round (every call's). Goal: under 10 ms in the worst case.
//
//   submit_latency_bench [<lines per thread> [free|held]]   (1000 lines, both kinds of round)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "held_database.h"
#include "store_root.h"
#include "vtlogger.h"
#include "vtmessage.h"

namespace {

const int kProcesses = 8;
const int kThreads = 4;

bool wait_for(const std::string& path) { return qf_test::wait_for_file(path, 120000); }

void touch(const std::string& path) { std::ofstream(path).put('\n'); }

// A logging process: kThreads threads, each count calls once the go file appears. For every call
// a line goes to out: its duration in nanoseconds, then 'w' when the thread slept during the call
// (waited for a lock: a voluntary context switch), 'p' when it was only preempted (an
// involuntary one), '-' for neither; '*' marks each thread's first call.
int run_child(const std::string& what, int count, int pauseUs, const std::string& ready, const std::string& go,
              const std::string& out) {
    const bool log = what == "log";
    if (log && VTLogger_Init() != 1) return 1;
    std::vector<std::vector<std::pair<long long, char>>> times(kThreads);
    std::atomic<bool> started{false};
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            while (!started.load()) std::this_thread::yield();
            char text[64];
            for (int i = 0; i < count; ++i) {
                snprintf(text, sizeof(text), "bench %d %d", t, i);
                struct rusage before, after;
                getrusage(RUSAGE_THREAD, &before);
                auto begin = std::chrono::steady_clock::now();
                if (log) {
                    if (VTLogger_Submit("INFORM", 80, text) != 1) ++refused;
                } else {
                    VTGenerateMsg("Quillfence Warning", text);
                }
                auto end = std::chrono::steady_clock::now();
                getrusage(RUSAGE_THREAD, &after);
                char how = after.ru_nvcsw != before.ru_nvcsw ? 'w' : after.ru_nivcsw != before.ru_nivcsw ? 'p' : '-';
                times[t].emplace_back(std::chrono::duration_cast<std::chrono::nanoseconds>(end - begin).count(), how);
                if (pauseUs) std::this_thread::sleep_for(std::chrono::microseconds(pauseUs));
            }
        });
    touch(ready);
    if (!wait_for(go)) return 1;
    started = true;
    for (std::thread& thread : threads) thread.join();
    std::ofstream file(out);
    for (const auto& thread : times)
        for (size_t i = 0; i < thread.size(); ++i)
            file << thread[i].first << ' ' << thread[i].second << (i == 0 ? "*\n" : "\n");
    return refused == 0 ? 0 : 3;
}

struct Figures {
    size_t calls = 0;
    double median = 0, p99 = 0, p999 = 0, worst = 0, worstLater = 0;  // microseconds
};

Figures figures_of(std::vector<long long> all, std::vector<long long> later) {
    Figures f;
    if (all.empty()) return f;
    std::sort(all.begin(), all.end());
    std::sort(later.begin(), later.end());
    auto at = [&](double q) { return all[std::min(all.size() - 1, (size_t)(q * (double)all.size()))] / 1000.0; };
    f.calls = all.size();
    f.median = at(0.5);
    f.p99 = at(0.99);
    f.p999 = at(0.999);
    f.worst = all.back() / 1000.0;
    f.worstLater = later.empty() ? 0 : later.back() / 1000.0;
    return f;
}

// One round: kProcesses logging processes at once; with hold, another connection keeps the
// database locked until they have all ended. Prints one line of figures.
void run_round(const char* self, const std::string& what, int count, int pauseUs, bool hold) {
    qf_test::StoreRoot root;
    const char* file = what == "log" ? "log\\access.db" : "log\\alerts.db";
    const char* table = what == "log" ? "entries" : "alerts";
    VTAlert probe;
    if (what == "log") VTLogger_Init(); else VTMessage_ReadAlerts(0, &probe, 1);  // the database exists
    auto held = std::make_unique<qf_test::HeldDatabase>(file);
    if (!hold) held->release();

    std::vector<std::unique_ptr<qf_test::ChildRun>> children;
    const std::string go = root.file("go");
    for (int p = 0; p < kProcesses; ++p) {
        const std::string n = std::to_string(p);
        children.push_back(std::make_unique<qf_test::ChildRun>(qf_test::command_line(
            self, {"child", what, std::to_string(count), std::to_string(pauseUs), root.file("ready" + n), go,
                   root.file("times" + n)})));
    }
    for (int p = 0; p < kProcesses; ++p) wait_for(root.file("ready" + std::to_string(p)));
    touch(go);
    int failed = 0;
    if (hold) {
        // The children end while the lock is held: what they queued is stored at their end,
        // once the lock goes; release it when they have all begun to end.
        for (int p = 0; p < kProcesses; ++p) wait_for(root.file("times" + std::to_string(p)));
        held->release();
    }
    for (auto& child : children) failed += child->wait() != 0;

    std::vector<long long> all, later;
    int slow = 0, slowWaited = 0, slowPreempted = 0;  // calls over 1 ms
    for (int p = 0; p < kProcesses; ++p) {
        std::ifstream in(root.file("times" + std::to_string(p)));
        for (std::string line; std::getline(in, line);) {
            long long ns = atoll(line.c_str());
            size_t space = line.find(' ');
            char how = space == std::string::npos ? '-' : line[space + 1];
            all.push_back(ns);
            if (ns > 1000000) {
                ++slow;
                slowWaited += how == 'w';
                slowPreempted += how == 'p';
            }
            if (line.back() != '*') later.push_back(ns);
        }
    }
    Figures f = figures_of(all, later);
    long long stored = held->rows(table);
    char slowText[32];
    snprintf(slowText, sizeof(slowText), "%d/%d/%d", slow, slowWaited, slowPreempted);
    printf("%-6s %-5s %6d %8zu %10.1f %10.1f %10.1f %10.1f %14.1f %12s %9lld %6d\n", what.c_str(),
           hold ? "held" : "free", pauseUs, f.calls, f.median, f.p99, f.p999, f.worst, f.worstLater, slowText,
           stored, failed);
    fflush(stdout);
    if (what == "log") VTLogger_Free(); else VTMessage_Close();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 8 && std::string(argv[1]) == "child")
        return run_child(argv[2], atoi(argv[3]), atoi(argv[4]), argv[5], argv[6], argv[7]);
    int count = argc >= 2 ? atoi(argv[1]) : 1000;
    const std::string rounds = argc >= 3 ? argv[2] : "";
    if (count <= 0 || (rounds != "" && rounds != "free" && rounds != "held")) return 2;
    const bool free = rounds != "held", held = rounds != "free";
    // While the lock is held everything waits in the queue, which takes 16384 lines, 4096 alerts.
    int heldLog = std::min(count, 16384 / kThreads), heldAlert = std::min(count, 4096 / kThreads);
    printf("%d processes x %d threads, each thread pausing pause-us between calls (0: as fast as it can);\n"
           "times in microseconds per call; worst-not-1st leaves out each thread's first call;\n"
           ">1ms/w/p: calls over 1 ms / of them the thread slept (waited for a lock) / was only preempted;\n"
           "failed: processes that had a line refused (queue full)\n",
           kProcesses, kThreads);
    printf("%-6s %-5s %6s %8s %10s %10s %10s %10s %14s %12s %9s %6s\n", "what", "db", "pause", "calls", "median",
           "p99", "p99.9", "worst", "worst-not-1st", ">1ms/w/p", "stored", "failed");
    for (int pauseUs : {1000, 0}) {
        if (free) {
            run_round(argv[0], "log", count, pauseUs, false);
            run_round(argv[0], "alert", count, pauseUs, false);
        }
        if (held) {
            run_round(argv[0], "log", heldLog, pauseUs, true);
            run_round(argv[0], "alert", heldAlert, pauseUs, true);
        }
    }
    return 0;
}
