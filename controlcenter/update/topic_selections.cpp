#include "topic_selections.h"

namespace {

// Entries 0 to count inclusive, never past the last entry that exists.
int entries_covered(INT count) {
    if (count < 0) return 0;
    return count >= VTLIST_ENTRIES ? VTLIST_ENTRIES : count + 1;
}

}  // namespace

void RememberTopicSelections(const TopicRecord& record, TopicSelections& selections) {
    const int covered = entries_covered(record.count);
    for (int i = 0; i < covered; ++i)
        if (record.entries[i].enabled == 1) selections.selected[i] = 1;
}

void ApplyTopicSelections(const TopicSelections& selections, TopicRecord& record) {
    const int covered = entries_covered(record.count);
    for (int i = 0; i < covered; ++i) record.entries[i].enabled = selections.selected[i] ? 1 : 0;
}
