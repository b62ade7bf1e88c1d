// The tray agent's work, done on every tick of its main loop: the tray icon follows the filtering
// state, and the alerts of the spool are shown as desktop notifications, else in a window of the
// agent's own.
#pragma once

#include "alert_relay.h"

#include <gio/gio.h>

#include <cstdint>
#include <memory>
#include <string>

class AlertWindow;
class ClassicTray;
class DesktopNotifier;
class StatusItem;

class TrayAgent {
public:
    // How often the state and the spool are read: a change shows within a second, and a read of
    // the registry and one of the spool twice a second cost nothing a desktop would notice
    // (watching the files instead would tie the agent to how the registry stores its keys).
    static const guint kTickMs = 500;
    // How long the agent waits before it offers kept alerts again to a notification service
    // that was not there or refused them, when it has no display for its own window.
    static const std::uint64_t kRetryMs = 5000;

    // Offers the tray icon and shows alerts through bus, in the calling thread's main context.
    // With GTK initialised on a display, the classic tray stands in while no StatusNotifierWatcher
    // shows the icon, and the agent's window while no notification service shows the alerts.
    explicit TrayAgent(GDBusConnection* bus);
    ~TrayAgent();
    TrayAgent(const TrayAgent&) = delete;
    TrayAgent& operator=(const TrayAgent&) = delete;

    void tick();

private:
    void showAlerts(std::uint64_t nowMs);
    void shown(const AlertNotice& notice);
    void watcherShowsIcon(bool shows);
    void openControlCenter();

    // The notifier outlives the rest: the menus may ask it for a notice.
    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<StatusItem> item_;
    std::unique_ptr<ClassicTray> classicTray_;
    std::unique_ptr<AlertWindow> alertWindow_;    // the alerts'
    std::unique_ptr<AlertWindow> messageWindow_;  // the tray's own messages
    AlertRelay relay_;
    int filterState_ = -1;
    bool noticeUnderWay_ = false;
    std::uint64_t nextAttemptMs_ = 0;
    bool spoolFailureLogged_ = false;
    bool noTrayLogged_ = false;
};
