// The parent's topic selections, carried from the old topic list to the new one by position in
// the list (not by name or id).
#pragma once

#include <VTList.h>

struct TopicSelections {
    int selected[VTLIST_ENTRIES];  // 1 = the entry at that position was selected
};

// Remembers the selected entries 0 to count (one past the last topic in use) of record; entries
// past the last one that exists are never looked at, whatever count the record holds.
void RememberTopicSelections(const TopicRecord& record, TopicSelections& selections);

// Sets the flag of entries 0 to count of record: 1 where selections has the position selected,
// else 0; within the entries that exist as above.
void ApplyTopicSelections(const TopicSelections& selections, TopicRecord& record);
