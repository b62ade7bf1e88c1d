// The machine-wide side of a named mutex: a lock file under the machine root. Every process that
// holds the name open keeps a shared lock on byte 0; the process whose thread owns the mutex keeps
// an exclusive lock on byte 1. The kernel drops both when a process ends, so a crashed holder
// keeps neither the name nor the ownership.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace qf {

class MachineMutexName {
public:
    ~MachineMutexName();
    MachineMutexName(const MachineMutexName&) = delete;
    MachineMutexName& operator=(const MachineMutexName&) = delete;

    // Opens the name; existed tells whether a live process already held it. Null with the last
    // error set when the lock file cannot be made.
    static std::unique_ptr<MachineMutexName> open(const std::string& name, bool& existed);
    // Whether a live process holds the name open (without opening it).
    static bool held(const std::string& name);

    // Takes the machine-wide ownership without waiting; true when this process now has it.
    bool try_own();
    void disown();
    bool owned() const { return owned_; }

private:
    explicit MachineMutexName(int fd) : fd_(fd) {}
    int fd_;
    bool owned_ = false;
};

}  // namespace qf
