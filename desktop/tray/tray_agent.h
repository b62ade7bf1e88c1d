// The tray agent's work, done on every tick of its main loop: the tray icon follows the filtering
// state, and the alerts of the spool are shown as desktop notifications.
#pragma once

#include "alert_relay.h"

#include <gio/gio.h>

#include <cstdint>
#include <memory>

class DesktopNotifier;
class StatusItem;

class TrayAgent {
public:
    // How often the state and the spool are read: a change shows within a second, and a read of
    // the registry and one of the spool twice a second cost nothing a desktop would notice
    // (watching the files instead would tie the agent to how the registry stores its keys).
    static const guint kTickMs = 500;
    // How long the agent waits before it offers kept alerts again to a notification service
    // that was not there or refused them.
    static const std::uint64_t kRetryMs = 5000;

    // Offers the tray icon and shows alerts through bus, in the calling thread's main context.
    explicit TrayAgent(GDBusConnection* bus);
    ~TrayAgent();
    TrayAgent(const TrayAgent&) = delete;
    TrayAgent& operator=(const TrayAgent&) = delete;

    void tick();

private:
    void showAlerts(std::uint64_t nowMs);
    void openControlCenter();

    // The notifier outlives the item, whose menu may ask it for a notice.
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<StatusItem> item_;
    AlertRelay relay_;
    bool noticeUnderWay_ = false;
    std::uint64_t nextAttemptMs_ = 0;
    bool spoolFailureLogged_ = false;
};
