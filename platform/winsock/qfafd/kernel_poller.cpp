// epoll for the base provider's engine (Linux side).
#include "kernel_poller.h"

#include "kernel_calls.h"
#include "kernel_socket.h"

#include <errno.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qf::afd {
namespace {

const uint64_t kWakeToken = ~static_cast<uint64_t>(0);

static_assert(EPOLLIN == POLLIN && EPOLLOUT == POLLOUT && EPOLLPRI == POLLPRI && EPOLLHUP == POLLHUP &&
                  EPOLLERR == POLLERR && EPOLLRDHUP == POLLRDHUP,
              "epoll reports readiness in poll's bits");

uint32_t to_epoll(unsigned events) { return EPOLLONESHOT | kn_poll_bits(events); }

}  // namespace

KernelPoller::KernelPoller() { open(); }

KernelPoller::~KernelPoller() { close(); }

void KernelPoller::renew() {
    close();
    open();
}

void KernelPoller::open() {
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kWakeToken;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    }
}

void KernelPoller::close() {
    if (wake_ >= 0) qf::ws::kernel::close(wake_);
    if (epoll_ >= 0) qf::ws::kernel::close(epoll_);
    wake_ = epoll_ = -1;
}

void KernelPoller::watch(int fd, unsigned events, uint64_t token) {
    if (!events) {
        // Even a quiet registration reports errors and hang-ups; nothing to watch means not registered.
        forget(fd);
        return;
    }
    epoll_event event{};
    event.events = to_epoll(events);
    event.data.u64 = token;
    if (epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT)
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
}

void KernelPoller::forget(int fd) {
    // The descriptor may be shared with duplicates that stay open; epoll would keep reporting it.
    epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

void KernelPoller::wait(std::vector<Report>& reports, int timeoutMs) {
    reports.clear();
    epoll_event events[64];
    int count = epoll_wait(epoll_, events, 64, timeoutMs);
    for (int i = 0; i < count; ++i) {
        if (events[i].data.u64 == kWakeToken) {
            uint64_t value;
            while (read(wake_, &value, sizeof(value)) > 0) {
            }
            continue;
        }
        reports.push_back(Report{events[i].data.u64, kn_events_of_poll_bits(events[i].events)});
    }
}

void KernelPoller::wake() {
    uint64_t one = 1;
    ssize_t ignored = write(wake_, &one, sizeof(one));
    (void)ignored;
}

}  // namespace qf::afd
