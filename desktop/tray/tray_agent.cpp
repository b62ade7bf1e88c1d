#include "tray_agent.h"

#include "alert_window.h"
#include "classic_tray.h"
#include "control_center_launcher.h"
#include "desktop_notifier.h"
#include "shown_alert_mark.h"
#include "status_item.h"
#include "tray_log.h"

#include <vttray.h>

namespace {

// The summary of an alert raised without a caption, and of the tray's own notices.
const char kProductCaption[] = "Quillfence";

std::uint64_t now_ms() { return static_cast<std::uint64_t>(g_get_monotonic_time() / 1000); }

}  // namespace

TrayAgent::TrayAgent(GDBusConnection* bus) : notifier_(new DesktopNotifier(bus)), relay_(ReadShownAlertMark()) {
    if (AlertWindow::displayAvailable()) {
        alertWindow_.reset(new AlertWindow);
        messageWindow_.reset(new AlertWindow);
        notifier_->setOutageOutcome("alerts are shown in the tray agent's own window until a notification service runs");
    }
    filterState_ = VTTray_ProviderState();
    item_.reset(new StatusItem(bus, [this] { openControlCenter(); }, [this](bool shows) { watcherShowsIcon(shows); }));
}

TrayAgent::~TrayAgent() {
    // The windows and the icons first: their callbacks use the notifier, whose end may still
    // answer a notice.
    alertWindow_.reset();
    messageWindow_.reset();
    classicTray_.reset();
    item_.reset();
    notifier_.reset();
}

void TrayAgent::tick() {
    // The provider key itself: the agent runs as the desktop's user, who may not write the
    // registry where the recorded state is kept.
    filterState_ = VTTray_ProviderState();
    item_->showFilterState(filterState_);
    const std::uint64_t nowMs = now_ms();
    if (classicTray_) {
        classicTray_->showFilterState(filterState_);
        classicTray_->checkDocked(nowMs);
    }
    showAlerts(nowMs);
}

void TrayAgent::watcherShowsIcon(bool shows) {
    if (shows) {
        if (classicTray_) tray_log("a StatusNotifierWatcher shows the tray icon: it leaves the X display's system tray");
        classicTray_.reset();
        noTrayLogged_ = false;
        return;
    }
    if (ClassicTray::displayHasClassicTray()) {
        if (classicTray_) return;
        classicTray_.reset(new ClassicTray([this] { openControlCenter(); }));
        classicTray_->showFilterState(filterState_);
        tray_log("no StatusNotifierWatcher on the session bus: the tray icon goes to the X display's system tray");
        return;
    }
    if (noTrayLogged_) return;
    tray_log("no StatusNotifierWatcher on the session bus and no X display: no tray icon is shown until a watcher "
             "starts (alerts are still shown)");
    noTrayLogged_ = true;
}

void TrayAgent::showAlerts(std::uint64_t nowMs) {
    // One notice at a time: the relay's waiting group stays as it was sent until it is answered
    // (or, in the agent's window, until the person closed it).
    if (noticeUnderWay_ || nowMs < nextAttemptMs_) return;
    if (!relay_.poll(nowMs)) {
        if (!spoolFailureLogged_) tray_log("the alert spool cannot be read; trying again");
        spoolFailureLogged_ = true;
        return;
    }
    spoolFailureLogged_ = false;
    if (!relay_.due(nowMs)) return;
    const AlertNotice notice = relay_.notice();
    const std::string caption = notice.caption.empty() ? kProductCaption : notice.caption;
    noticeUnderWay_ = true;
    notifier_->notify(caption, notice.text, [this, notice, caption](bool delivered) {
        if (delivered) return shown(notice);
        // Counted as shown once the person closed the window: an agent ended while it was open
        // shows it again.
        if (alertWindow_ && alertWindow_->show(caption, notice.text, [this, notice] { shown(notice); })) return;
        noticeUnderWay_ = false;
        nextAttemptMs_ = now_ms() + kRetryMs;
    });
}

void TrayAgent::shown(const AlertNotice& notice) {
    noticeUnderWay_ = false;
    relay_.markShown(notice);
    if (!WriteShownAlertMark(notice.lastId))
        tray_log("the last alert shown (%d) cannot be recorded in the registry", (int)notice.lastId);
}

void TrayAgent::openControlCenter() {
    std::string error;
    if (StartControlCenter(error)) return;
    tray_log("%s", error.c_str());
    notifier_->notify(kProductCaption, error, [this, error](bool delivered) {
        if (!delivered && messageWindow_) messageWindow_->show(kProductCaption, error, nullptr);
    });
}
