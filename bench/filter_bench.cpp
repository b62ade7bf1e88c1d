// The filter on its data path: filter_inspect_recv on 16 KB chunks of clean web content with the
// factory lists loaded (and its ratio to termscan_process alone on the same data), and
// filter_check_connect for an address already in the address table.
// bench-links: vtlsp termscan machine testsupport
// bench-sources: support/clean_page.cpp
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>

#include <filter.h>

#include "support/clean_page.h"
#include <sockrec.h>
#include <termscan.h>

#include "filter_policy.h"
#include "filter_records.h"
#include "machine.h"
#include "temp_machine_root.h"

namespace {

const size_t kChunk = 16 * 1024;
const SOCKET kWebSocket = 1001;
const SOCKET kOtherSocket = 1002;

sockaddr_in target(const char* dotted, u_short port) {
    unsigned a, b, c, d;
    sscanf(dotted, "%u.%u.%u.%u", &a, &b, &c, &d);
    sockaddr_in s = {};
    s.sin_family = AF_INET;
    s.sin_port = htons(port);
    s.sin_addr.s_addr = htonl(a << 24 | b << 16 | c << 8 | d);
    return s;
}

const sockaddr* as_sockaddr(const sockaddr_in& s) { return reinterpret_cast<const sockaddr*>(&s); }

// One machine root with the factory settings and lists for the whole run, loaded once.
struct Machine {
    qf_test::TempMachineRoot root;
    std::string page = clean_page(kChunk);
    sockaddr_in web = target("192.0.2.10", 80);

    Machine() {
        std::string error;
        if (!qf::machine_init(root.path(), error)) fprintf(stderr, "machine_init: %s\n", error.c_str());
        filter_load_policy();
        filter_check_connect(kWebSocket, as_sockaddr(web));
        filter_register_socket(kWebSocket, as_sockaddr(web));
    }
};

Machine& machine() {
    static Machine m;
    return m;
}

void BM_FilterInspectRecv(benchmark::State& state) {
    Machine& m = machine();
    SocketRecord* record = nullptr;
    if (sockrec_retrieve(filter_records().sockets, filter_records().socketCount, kWebSocket, &record) != 1 ||
        record->port != 80) {
        state.SkipWithError("the web socket has no record: nothing would be inspected");
        return;
    }
    std::string chunk = m.page;
    for (auto _ : state) {
        int verdict = filter_inspect_recv(kWebSocket, &chunk[0], static_cast<DWORD>(chunk.size()));
        benchmark::DoNotOptimize(verdict);
        if (verdict != 1) state.SkipWithError("the clean page was blocked");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kChunk));
}
BENCHMARK(BM_FilterInspectRecv);

void BM_TermscanProcessAlone(benchmark::State& state) {
    Machine& m = machine();
    const FilterPolicy& p = filter_policy();
    for (auto _ : state) {
        DWORD counter = 0;
        termscan_process(m.page.data(), static_cast<DWORD>(m.page.size()), p.topics, p.topicCount, 80, 1, 0,
                         &counter, '*');
        benchmark::DoNotOptimize(counter);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kChunk));
}
BENCHMARK(BM_TermscanProcessAlone);

void BM_FilterCheckConnectKnownAddress(benchmark::State& state) {
    Machine& m = machine();
    for (auto _ : state) benchmark::DoNotOptimize(filter_check_connect(kOtherSocket, as_sockaddr(m.web)));
}
BENCHMARK(BM_FilterCheckConnectKnownAddress);

// Prints the usual table, then the receive hook's throughput as a share of the scan alone.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        double recv = rate("BM_FilterInspectRecv"), scan = rate("BM_TermscanProcessAlone");
        if (recv > 0 && scan > 0)
            printf("filter_inspect_recv: %.1f MB/s; termscan_process alone: %.1f MB/s; ratio %.2f\n", recv / 1e6,
                   scan / 1e6, recv / scan);
    }

private:
    // A single run's rate, or the mean of repeated runs.
    double rate(const std::string& name) {
        auto it = rates_.find(name + "_mean");
        if (it == rates_.end()) it = rates_.find(name);
        return it == rates_.end() ? 0 : it->second;
    }
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
