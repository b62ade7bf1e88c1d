// Failures on demand (see qf/fault_injection.h): one counter per function.
#include "fault_take.h"

#include <atomic>

namespace qf {
namespace {

constexpr int kKinds = static_cast<int>(Fault::CreateWindowExA) + 1;
std::atomic<int> pending[kKinds];

std::atomic<int>& counter(Fault kind) { return pending[static_cast<int>(kind)]; }

}  // namespace

void fail_next(Fault kind, int count) { counter(kind).store(count > 0 ? count : 0); }

int fail_remaining(Fault kind) { return counter(kind).load(); }

bool fault_take(Fault kind) {
    std::atomic<int>& left = counter(kind);
    int now = left.load(std::memory_order_relaxed);
    while (now > 0)
        if (left.compare_exchange_weak(now, now - 1)) return true;
    return false;
}

}  // namespace qf
