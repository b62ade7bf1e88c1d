// Test helpers: list tables and texts in allocations of exactly their size, so that AddressSanitizer
// sees any read past a table's last slot or a text's last byte.
#pragma once

#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "termscan.h"

namespace termscan_test {

struct Table {
    std::unique_ptr<TermSlot[]> slots;
    INT count = 0;

    explicit Table(const std::vector<std::string>& entries, size_t capacity = 0)
        : slots(new TermSlot[capacity ? capacity : (entries.empty() ? 1 : entries.size())]) {
        const size_t n = capacity ? capacity : (entries.empty() ? 1 : entries.size());
        memset(slots.get(), 0, n * sizeof(TermSlot));
        for (const std::string& e : entries) set(count++, e);
    }
    // Copies at most the 180 bytes of a slot; a text of 180 characters or more leaves it without
    // a terminator.
    void set(int index, const std::string& text) {
        memset(slots[index], 0, sizeof(TermSlot));
        memcpy(slots[index], text.data(), text.size() < sizeof(TermSlot) ? text.size() : sizeof(TermSlot));
    }
    const TermSlot* get() const { return slots.get(); }
};

// A copy of the text with no terminator after it.
struct Exact {
    std::unique_ptr<char[]> data;
    DWORD length;
    explicit Exact(const std::string& text) : data(new char[text.empty() ? 1 : text.size()]), length(static_cast<DWORD>(text.size())) {
        if (!text.empty()) memcpy(data.get(), text.data(), text.size());
    }
};

inline DWORD count_content(const Table& table, const std::string& text) {
    Exact exact(text);
    DWORD counter = 0;
    termscan_process_containsword(exact.data.get(), exact.length, table.get(), table.count, 80, &counter, '*');
    return counter;
}

inline DWORD count_topics(const Table& table, const std::string& text, int nameFlag) {
    Exact exact(text);
    DWORD counter = 0;
    termscan_process(exact.data.get(), exact.length, table.get(), table.count, 80, 1, nameFlag, &counter, '*');
    return counter;
}

}  // namespace termscan_test
