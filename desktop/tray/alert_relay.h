// Which alerts of the spool are shown next, and as what: every alert once, in the order raised,
// and a burst (a page with many blocked parts raises several within a second) as one notice.
#pragma once

#include <vtmessage.h>

#include <cstdint>
#include <string>

// One desktop notification standing for one or more alerts.
struct AlertNotice {
    std::string caption;  // the first alert's
    std::string text;     // the first alert's; for a burst, then "\n... and N more"
    INT lastId = 0;       // the newest alert it stands for
    int count = 0;
};

// Reads alerts after an id, oldest first (VTMessage_ReadAlerts; tests give their own).
using AlertReader = int (*)(INT afterId, VTAlert* alerts, int capacity);

class AlertRelay {
public:
    // A group is shown once no alert has come for this long, or once it has waited this long.
    static const std::uint64_t kQuietMs = 1000;
    static const std::uint64_t kLongestWaitMs = 5000;

    // shownId: the newest alert shown before (0 when none ever was).
    explicit AlertRelay(INT shownId, AlertReader reader = VTMessage_ReadAlerts);

    // Adds the alerts the spool holds beyond those shown or waiting to the waiting group.
    // False when the spool cannot be read (nothing changes then).
    bool poll(std::uint64_t nowMs);
    // Whether the waiting group is to be shown now.
    bool due(std::uint64_t nowMs) const;
    // The waiting group as one notice (count 0 when nothing waits).
    AlertNotice notice() const;
    // The notice has been shown: its alerts are done, its last id becomes the shown id.
    void markShown(const AlertNotice& shown);

    INT shownId() const { return shownId_; }

private:
    AlertReader reader_;
    INT shownId_;
    // The waiting group: its first alert, how many, the newest id, when its first and last came.
    std::string caption_;
    std::string text_;
    int count_ = 0;
    INT lastId_ = 0;
    std::uint64_t firstSeenMs_ = 0;
    std::uint64_t lastSeenMs_ = 0;
};
