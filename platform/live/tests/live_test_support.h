// Helpers of the live tests: a page server on 127.0.0.1, programs run with a deadline, and the
// registry changes a scenario needs.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qf_live_test {

// Serves one fixed page over HTTP/1.0 on a loopback address (a port the kernel picks) to every
// connection, until it is destroyed. Every wait has a deadline.
class PageServer {
public:
    explicit PageServer(std::string body, const char* address = "127.0.0.1");
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    int port() const { return port_; }
    std::string url() const { return "http://" + address_ + ":" + std::to_string(port_) + "/page.bin"; }
    int connections() const { return connections_.load(); }
    int requests() const { return requests_.load(); }  // request heads read whole

private:
    void run();
    void serve(int fd);

    std::string body_;
    std::string address_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// Sends every datagram back to where it came from, on 127.0.0.1, until it is destroyed.
class DatagramEcho {
public:
    DatagramEcho();
    ~DatagramEcho();
    DatagramEcho(const DatagramEcho&) = delete;
    DatagramEcho& operator=(const DatagramEcho&) = delete;

    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A name server on port 53 of a loopback address that answers A queries for the names it was
// given (any case) with their address and every other name with "no such name", until it is
// destroyed. Binding port 53 needs root (or a lowered net.ipv4.ip_unprivileged_port_start).
class TestNameServer {
public:
    explicit TestNameServer(std::map<std::string, std::string> addresses);
    ~TestNameServer();
    TestNameServer(const TestNameServer&) = delete;
    TestNameServer& operator=(const TestNameServer&) = delete;

    std::string address() const { return address_; }  // "127.53.X.Y:53"
    // The names asked for so far, lower-cased, in order.
    std::vector<std::string> questions() const;

private:
    std::map<std::string, std::string> addresses_;
    int fd_ = -1;
    std::string address_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> questions_;
    std::thread thread_;
};

// A loopback port that nobody listens on (bound once, then released).
int unused_port();

struct RunResult {
    int exitCode = -1;  // -1: killed at the deadline or by a signal
    std::string out;
    std::string err;
};

// Runs argv with the current environment (less any proxy settings, so that nothing leaves the
// machine) and extra ("NAME=value", replacing a variable of that name), in a process group of
// its own that is killed at the deadline.
RunResult run_program(const std::vector<std::string>& argv, const std::vector<std::string>& extra = {},
                      int deadlineSeconds = 60);

// A page of every byte value, long enough to take many receives.
std::string binary_page(size_t length);

std::string read_file(const std::string& path);

// The python3 the tests run (Debian's when there, else the first on PATH).
std::string python3();

// Registry changes on the current machine root (QUILLFENCE_ROOT).
// Creates the provider key, which is what "filtering on" means to every reader.
bool create_provider_key();
// Removes the Winsock catalog, so that Winsock cannot start.
bool remove_winsock_catalog();

// The policy, written through the stores as the Control Center writes it.
// A user list entry (lexstore's EntryType: 1 a word, 2 a disallowed site).
bool add_list_entry(const char* key, int type);
// RSACi filtering on with these highest allowed levels.
bool set_rsac_limits(int sex, int violence, int language, int nudity);
// Blocks the protocol of this port among the protocol rules.
bool block_protocol(int port);
// Time management on with every half hour of the week refused.
bool refuse_every_access_time();

// The access log as the log viewer reads it back.
struct LogLine {
    std::string kind;
    std::string text;
    int port = 0;
};
int last_log_id();
std::vector<LogLine> log_after(int id);
// The captions of the alert spool's alerts after the first `skip`.
std::vector<std::string> alert_captions(size_t skip = 0);

}  // namespace qf_live_test
