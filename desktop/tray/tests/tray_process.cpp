#include "tray_process.h"

#include <vector>

namespace tray_test {
namespace {

// Nothing of the desktop the tests run in: no display but the test's own. The leak check's
// options (the toolkits' suppressions of the window tests) are inherited.
std::vector<std::string> agent_environment(const std::string& busAddress, const std::string& display) {
    std::vector<std::string> environment = {"DBUS_SESSION_BUS_ADDRESS=" + busAddress, "WAYLAND_DISPLAY"};
    if (display.empty()) {
        environment.push_back("DISPLAY");
    } else {
        environment.push_back("DISPLAY=" + display);
        // No accessibility bus and no settings daemon on the test's bus.
        environment.push_back("NO_AT_BRIDGE=1");
        environment.push_back("GSETTINGS_BACKEND=memory");
    }
    return environment;
}

}  // namespace

TrayProcess::TrayProcess(const std::string& program, const std::string& root, const std::string& busAddress,
                         const std::string& errorsFile, const std::string& display)
    : program_({program, "--root", root}, agent_environment(busAddress, display), "/dev/null", errorsFile) {}

}  // namespace tray_test
