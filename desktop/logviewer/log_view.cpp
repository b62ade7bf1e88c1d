#include "log_view.h"

#include <log_report.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace {

const char* const kLoggerKinds[] = {"BLOCK", "DENY", "ALLOW", "FETCH", "WARNING", "INFORM"};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool holds(const std::string& haystack, const std::string& lowerNeedle) {
    if (lowerNeedle.size() > haystack.size()) return false;
    const auto at = std::search(haystack.begin(), haystack.end(), lowerNeedle.begin(), lowerNeedle.end(),
                                [](char h, char n) { return lower(h) == n; });
    return at != haystack.end();
}

bool entry_holds(const LogDumpEntry& entry, const std::string& lowerNeedle) {
    if (lowerNeedle.empty()) return true;
    if (holds(entry.text, lowerNeedle)) return true;
    if (!entry.readable) return false;
    return holds(entry.time, lowerNeedle) || holds(entry.kind, lowerNeedle) ||
           holds(std::to_string(entry.port), lowerNeedle) || holds(entry.program, lowerNeedle);
}

}  // namespace

std::vector<size_t> logviewer_filter(const std::vector<LogDumpEntry>& entries, const LogViewFilter& filter) {
    std::string needle = filter.text;
    for (char& c : needle) c = lower(c);
    std::vector<size_t> shown;
    for (size_t i = 0; i < entries.size(); ++i) {
        const LogDumpEntry& entry = entries[i];
        if (!filter.anyKind && entry.kind != filter.kind) continue;
        if (entry_holds(entry, needle)) shown.push_back(i);
    }
    return shown;
}

std::vector<std::string> logviewer_kinds(const std::vector<LogDumpEntry>& entries) {
    std::vector<std::string> kinds(std::begin(kLoggerKinds), std::end(kLoggerKinds));
    bool withoutKind = false;
    for (const LogDumpEntry& entry : entries) {
        if (entry.kind.empty()) {
            withoutKind = true;
            continue;
        }
        if (std::find(kinds.begin(), kinds.end(), entry.kind) == kinds.end()) kinds.push_back(entry.kind);
    }
    if (withoutKind) kinds.push_back("");
    return kinds;
}

bool logviewer_summary(const std::vector<LogDumpEntry>& entries, const std::string& today, int weeks,
                       LogReport& report) {
    report = LogReport();
    if (weeks < 1 || weeks > kLogViewMaxWeeks) return false;
    // Only the refusals are handed to the tally: the dump may be long.
    std::vector<VTLogEntry> refusals;
    for (const LogDumpEntry& entry : entries) {
        if (!entry.readable || (entry.kind != "BLOCK" && entry.kind != "DENY")) continue;
        VTLogEntry e;
        memset(&e, 0, sizeof(e));
        snprintf(e.time, sizeof(e.time), "%s", entry.time.c_str());
        snprintf(e.kind, sizeof(e.kind), "%s", entry.kind.c_str());
        snprintf(e.text, sizeof(e.text), "%s", entry.text.c_str());
        refusals.push_back(e);
    }
    return TallyLogReport(refusals.data(), refusals.size(), today, weeks * 7, report);
}
