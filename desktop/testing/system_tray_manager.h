// The classic system tray of an X display, as a test plays it: owns the _NET_SYSTEM_TRAY_S0
// selection, announces itself with a MANAGER message on the root window, and docks every icon
// that sends SYSTEM_TRAY_REQUEST_DOCK (XEmbed: reparented into a mapped window of its own). Its
// events are handled on a thread of its own, on a connection of its own.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _XDisplay Display;

namespace qf_test {

class SystemTrayManager {
public:
    // Throws when the display cannot be opened or the selection is owned already.
    explicit SystemTrayManager(const std::string& display);
    ~SystemTrayManager();
    SystemTrayManager(const SystemTrayManager&) = delete;
    SystemTrayManager& operator=(const SystemTrayManager&) = delete;

    // The icon windows docked now, in the order they came.
    std::vector<unsigned long> docked() const;

private:
    void run();
    void dock(unsigned long icon);
    void undock(unsigned long icon);

    Display* display_;
    unsigned long window_ = 0;
    unsigned long opcodeAtom_ = 0;
    unsigned long xembedAtom_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<unsigned long> docked_;
};

}  // namespace qf_test
