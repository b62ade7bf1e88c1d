// Bulk TCP over loopback through vtlsp against the base provider alone, in one run: 64 KB reads of
// clean content on a connection the filter inspects as other traffic and on a web connection
// (an HTTP GET with a Host header first, then a long text/html answer inspected with the factory
// topic lists), each with blocking and with overlapped receives (WSARecv with an event). The
// server streams from the kernel's own sockets on a thread of its own. Prints each case's
// throughput, then the ratio vtlsp/base of each pair.
// bench-links: vtlsp_install ws2_32 sporder vtlogger machine testsupport
// bench-sources: support/kernel_server.cpp support/clean_page.cpp
// bench-loads: vtlsp qfafd
#include <winsock2.h>
#include <ws2spi.h>
#include <sporder.h>

#include <benchmark/benchmark.h>

#include <vtlsp_install.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include <vtlogger.h>

#include "machine.h"
#include "support/clean_page.h"
#include "support/kernel_server.h"
#include "temp_machine_root.h"

namespace {

const DWORD kRead = 64 * 1024;
const size_t kPageSize = 256 * 1024;
const DWORD kDeadlineMs = 10000;
// Each case reads this many times per repetition (up to 16 MB).
const int kReadsPerRun = 256;
const char kHost[] = "bench.example";
const char kRequest[] = "GET /news/index.html HTTP/1.0\r\nHost: bench.example\r\nAccept: */*\r\n\r\n";
const char kPageHead[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

using vtlsp_install::enumerate_catalog;
using vtlsp_install::install_vtlsp;
using vtlsp_install::kChainId;
using vtlsp_install::same_id;

// The machine root, vtlsp installed in it, Winsock started and the server, for the whole run.
struct Session {
    qf_test::TempMachineRoot root;
    WSAPROTOCOL_INFOW base{};
    WSAPROTOCOL_INFOW chain{};
    std::string page = clean_page(kPageSize);
    bench_support::KernelServer server{page, kPageHead};
    bool started = false;
    bool webThroughVtlsp = false;  // a web case ran through vtlsp
    std::string error;

    Session() {
        if (!qf::machine_init(root.path(), error) || !install_vtlsp(base, error)) return;
        for (const auto& entry : enumerate_catalog())
            if (same_id(entry.ProviderId, kChainId)) chain = entry;
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            error = "WSAStartup failed";
            return;
        }
        started = true;
        if (server.port() == 0) error = "the kernel server is not listening";
    }
    ~Session() {
        if (started) WSACleanup();
    }
};

// The run's session, made in main and ended there, before the exit handlers run.
Session* g_session = nullptr;

Session& session() { return *g_session; }

enum class Provider { Base, Vtlsp };
enum class Connection { Other, Web };
enum class Mode { Blocking, Overlapped };

// Receives exactly length bytes (blocking).
bool receive_exactly(SOCKET s, char* data, int length) {
    while (length > 0) {
        int got = recv(s, data, length, 0);
        if (got <= 0) return false;
        data += got;
        length -= got;
    }
    return true;
}

// One 64 KB receive; the bytes received, or -1.
int receive_blocking(SOCKET s, char* buffer) { return recv(s, buffer, static_cast<int>(kRead), 0); }

int receive_overlapped(SOCKET s, char* buffer, WSAOVERLAPPED& overlapped) {
    WSAResetEvent(overlapped.hEvent);
    WSABUF b{kRead, buffer};
    DWORD got = 0, flags = 0;
    if (WSARecv(s, &b, 1, &got, &flags, &overlapped, nullptr) == 0) return static_cast<int>(got);
    if (WSAGetLastError() != WSA_IO_PENDING) return -1;
    if (WSAWaitForMultipleEvents(1, &overlapped.hEvent, TRUE, kDeadlineMs, FALSE) != WSA_WAIT_EVENT_0) return -1;
    if (!WSAGetOverlappedResult(s, &overlapped, &got, FALSE, &flags)) return -1;
    return static_cast<int>(got);
}

// A connected client socket, its web request sent and the answer's header read.
SOCKET connect_client(Session& s, Provider provider, Connection connection, std::string& error) {
    s.server.set_answer(connection == Connection::Web ? bench_support::KernelServer::Answer::WebPage
                                                      : bench_support::KernelServer::Answer::Stream);
    WSAPROTOCOL_INFOW info = provider == Provider::Base ? s.base : s.chain;
    SOCKET c = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, &info, 0, WSA_FLAG_OVERLAPPED);
    if (c == INVALID_SOCKET) {
        error = "WSASocketW failed: " + std::to_string(WSAGetLastError());
        return INVALID_SOCKET;
    }
    // A blocking receive that the server leaves unanswered fails at the deadline.
    DWORD timeout = kDeadlineMs;
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(s.server.port());
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(c, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        error = "connect failed: " + std::to_string(WSAGetLastError());
        closesocket(c);
        return INVALID_SOCKET;
    }
    if (connection == Connection::Web) {
        const int requestLength = static_cast<int>(sizeof kRequest - 1);
        const int headLength = static_cast<int>(sizeof kPageHead - 1);
        char head[sizeof kPageHead];
        if (send(c, kRequest, requestLength, 0) != requestLength || !receive_exactly(c, head, headLength) ||
            memcmp(head, kPageHead, headLength) != 0) {
            error = "the web request was not answered with the page's header";
            closesocket(c);
            return INVALID_SOCKET;
        }
    }
    return c;
}

void BM_Read64K(benchmark::State& state, Provider provider, Connection connection, Mode mode) {
    Session& s = session();
    std::string error;
    SOCKET c = connect_client(s, provider, connection, error);
    if (c == INVALID_SOCKET) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<char> buffer(kRead);
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    int64_t total = 0;
    size_t offset = 0, lastOffset = 0;
    int last = 0;
    for (auto _ : state) {
        int got = mode == Mode::Blocking ? receive_blocking(c, buffer.data())
                                         : receive_overlapped(c, buffer.data(), overlapped);
        if (got <= 0) {
            state.SkipWithError(("the receive failed: " + std::to_string(WSAGetLastError())).c_str());
            break;
        }
        total += got;
        lastOffset = offset;
        offset = (offset + static_cast<size_t>(got)) % s.page.size();
        last = got;
    }
    // A blocked page would have been blanked: the last read must hold the page's bytes.
    for (int i = 0; i < last; ++i)
        if (buffer[i] != s.page[(lastOffset + i) % s.page.size()]) {
            state.SkipWithError("the received content differs from the page sent");
            break;
        }
    WSACloseEvent(overlapped.hEvent);
    closesocket(c);
    state.SetBytesProcessed(total);
    // How full the reads were: a slower reader finds more waiting for each receive.
    state.counters["bytes_per_read"] = benchmark::Counter(
        state.iterations() ? static_cast<double>(total) / static_cast<double>(state.iterations()) : 0);
    if (provider == Provider::Vtlsp && connection == Connection::Web) s.webThroughVtlsp = true;
}

const char* const kProviderNames[] = {"base", "vtlsp"};
const char* const kConnectionNames[] = {"other", "web"};
const char* const kModeNames[] = {"blocking", "overlapped"};

std::string case_name(Provider p, Connection c, Mode m) {
    return std::string("Read64K/") + kConnectionNames[static_cast<int>(c)] + "/" + kModeNames[static_cast<int>(m)] +
           "/" + kProviderNames[static_cast<int>(p)];
}

// Prints the usual table, then each case's MB/s and the ratio vtlsp/base of each pair.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            // Keyed by the case's own name: a single run's, or "name_median" for an aggregate.
            std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate) name += "_" + run.aggregate_name;
            rates_[name] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        printf("\n%-34s %10s %10s %7s\n", "case", "base MB/s", "vtlsp MB/s", "ratio");
        for (Connection c : {Connection::Other, Connection::Web})
            for (Mode m : {Mode::Blocking, Mode::Overlapped}) {
                double base = rate(case_name(Provider::Base, c, m));
                double vtlsp = rate(case_name(Provider::Vtlsp, c, m));
                std::string pair = std::string(kConnectionNames[static_cast<int>(c)]) + " " +
                                   kModeNames[static_cast<int>(m)];
                if (base > 0 && vtlsp > 0)
                    printf("%-34s %10.1f %10.1f %7.2f\n", pair.c_str(), base / 1e6, vtlsp / 1e6, vtlsp / base);
                else
                    printf("%-34s %10s\n", pair.c_str(), "no figures");
            }
    }

private:
    // The median of repeated runs, or a single run's rate.
    double rate(const std::string& name) {
        auto it = rates_.find(name + "_median");
        if (it == rates_.end()) it = rates_.find(name);
        return it == rates_.end() ? 0 : it->second;
    }
    std::map<std::string, double> rates_;
};

// Whether the filter logged the web request's fetch: the web cases were inspected as web.
bool fetch_logged() {
    VTLogEntry entries[64];
    for (int mark = 0, n; (n = VTLogger_ReadEntries(mark, entries, 64)) > 0; mark = entries[n - 1].id)
        for (int i = 0; i < n; ++i)
            if (strstr(entries[i].text, kHost)) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Repeated, interleaved runs unless the command line says otherwise: the machine is shared.
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=3";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.push_back(repetitions);
    args.push_back(interleave);
    args.push_back(aggregates);
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    for (Connection c : {Connection::Other, Connection::Web})
        for (Mode m : {Mode::Blocking, Mode::Overlapped})
            for (Provider p : {Provider::Base, Provider::Vtlsp})
                benchmark::RegisterBenchmark(case_name(p, c, m).c_str(), BM_Read64K, p, c, m)
                    ->Iterations(kReadsPerRun)
                    ->UseRealTime();

    int status = 0;
    {
        Session s;
        g_session = &s;
        if (!s.error.empty()) {
            fprintf(stderr, "provider_bench: %s\n", s.error.c_str());
            status = 1;
        } else {
            RatioReporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            if (s.webThroughVtlsp && !fetch_logged()) printf("the filter logged no fetch from %s\n", kHost);
        }
        g_session = nullptr;
    }
    benchmark::Shutdown();
    return status;
}
