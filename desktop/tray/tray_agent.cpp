#include "tray_agent.h"

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

TrayAgent::TrayAgent(GDBusConnection* bus)
    : notifier_(new DesktopNotifier(bus)),
      item_(new StatusItem(bus, [this] { openControlCenter(); })),
      relay_(ReadShownAlertMark()) {}

TrayAgent::~TrayAgent() {
    item_.reset();
    notifier_.reset();
}

void TrayAgent::tick() {
    // The provider key itself: the agent runs as the desktop's user, who may not write the
    // registry where the recorded state is kept.
    item_->showFilterState(VTTray_ProviderState());
    showAlerts(now_ms());
}

void TrayAgent::showAlerts(std::uint64_t nowMs) {
    // One notice at a time: the relay's waiting group stays as it was sent until it is answered.
    if (noticeUnderWay_ || nowMs < nextAttemptMs_) return;
    if (!relay_.poll(nowMs)) {
        if (!spoolFailureLogged_) tray_log("the alert spool cannot be read; trying again");
        spoolFailureLogged_ = true;
        return;
    }
    spoolFailureLogged_ = false;
    if (!relay_.due(nowMs)) return;
    const AlertNotice notice = relay_.notice();
    noticeUnderWay_ = true;
    notifier_->notify(notice.caption.empty() ? kProductCaption : notice.caption, notice.text, [this, notice](bool shown) {
        noticeUnderWay_ = false;
        if (!shown) {
            nextAttemptMs_ = now_ms() + kRetryMs;
            return;
        }
        relay_.markShown(notice);
        if (!WriteShownAlertMark(notice.lastId))
            tray_log("the last alert shown (%d) cannot be recorded in the registry", (int)notice.lastId);
    });
}

void TrayAgent::openControlCenter() {
    std::string error;
    if (StartControlCenter(error)) return;
    tray_log("%s", error.c_str());
    notifier_->notify(kProductCaption, error, nullptr);
}
