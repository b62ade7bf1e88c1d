// The base provider's readiness watcher (Linux side): one epoll set, each socket watched one-shot
// (after a report it stays quiet until watched again), plus a wake-up for the waiting thread.
#pragma once

#include <cstdint>
#include <vector>

namespace qf::afd {

class KernelPoller {
public:
    KernelPoller();
    ~KernelPoller();
    KernelPoller(const KernelPoller&) = delete;
    KernelPoller& operator=(const KernelPoller&) = delete;
    bool ready() const { return epoll_ >= 0 && wake_ >= 0; }
    // In a forked child: closes its copies of the parent's epoll set (which the parent's engine
    // goes on reading) and wake-up, and opens its own, empty.
    void renew();

    // Watches fd for the events (kReadable, kWritable, ... of kernel_socket.h) once; 0 events stops
    // watching. token comes back with the report.
    void watch(int fd, unsigned events, uint64_t token);
    void forget(int fd);

    struct Report {
        uint64_t token;
        unsigned events;
    };
    // Waits for reports (or a wake-up); timeoutMs -1 waits without limit.
    void wait(std::vector<Report>& reports, int timeoutMs);
    void wake();

private:
    void open();
    void close();

    int epoll_ = -1;
    int wake_ = -1;
};

}  // namespace qf::afd
