// The machine-wide side of a named mutex: a lock file under the machine root. Every process that
// holds the name open keeps a shared lock on byte 0; the process whose thread owns the mutex keeps
// an exclusive lock on byte 1, and marks byte 2 while the mutex is taken. The kernel drops both
// locks when a process ends, so a crashed holder keeps neither the name nor the ownership; the
// mark it leaves tells the next owner that the mutex was abandoned.
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

    // Takes the machine-wide lock without waiting; true when this process now has it.
    bool try_own();
    // After try_own: the mutex is taken; answers whether its last owner ended without releasing it.
    bool take();
    // Gives the lock back; released says the owner let go properly (else the mark stays).
    void disown(bool released);

private:
    explicit MachineMutexName(int fd) : fd_(fd) {}
    int fd_;
    bool owned_ = false;
    bool taken_ = false;
};

}  // namespace qf
