// AlertRelay: keeps only the first alert of the waiting group and a count, so a backlog of any
// size costs the same.
#include "alert_relay.h"

#include <cstring>
#include <vector>

namespace {

const int kReadBatch = 64;

}  // namespace

AlertRelay::AlertRelay(INT shownId, AlertReader reader) : reader_(reader), shownId_(shownId < 0 ? 0 : shownId) {}

bool AlertRelay::poll(std::uint64_t nowMs) {
    std::vector<VTAlert> batch(kReadBatch);
    for (;;) {
        const INT after = count_ ? lastId_ : shownId_;
        const int read = reader_(after, batch.data(), kReadBatch);
        if (read < 0) return false;
        for (int i = 0; i < read; ++i) {
            const VTAlert& alert = batch[i];
            if (alert.id <= (count_ ? lastId_ : shownId_)) continue;  // ids only grow; a reader that repeats is ignored
            if (count_ == 0) {
                caption_.assign(alert.caption, strnlen(alert.caption, sizeof(alert.caption)));
                text_.assign(alert.text, strnlen(alert.text, sizeof(alert.text)));
                firstSeenMs_ = nowMs;
            }
            ++count_;
            lastId_ = alert.id;
            lastSeenMs_ = nowMs;
        }
        if (read < kReadBatch) return true;
    }
}

bool AlertRelay::due(std::uint64_t nowMs) const {
    if (count_ == 0) return false;
    return nowMs - lastSeenMs_ >= kQuietMs || nowMs - firstSeenMs_ >= kLongestWaitMs;
}

AlertNotice AlertRelay::notice() const {
    AlertNotice notice;
    notice.count = count_;
    if (count_ == 0) return notice;
    notice.caption = caption_;
    notice.text = text_;
    if (count_ > 1) notice.text += "\n... and " + std::to_string(count_ - 1) + " more";
    notice.lastId = lastId_;
    return notice;
}

void AlertRelay::markShown(const AlertNotice& shown) {
    if (shown.count == 0 || shown.lastId <= shownId_) return;
    shownId_ = shown.lastId;
    // Alerts that came after the notice was taken are read again from the spool, with their own
    // caption and text.
    count_ = 0;
}
