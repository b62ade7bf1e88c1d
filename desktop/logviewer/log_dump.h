// The text dump of the access log that View Log hands to the viewer: one line per entry,
//   "YYYY-MM-DD hh:mm:ss  KIND     PORT  TEXT  [PROGRAM]"
// (the kind padded to 7 characters, the port right-aligned in 5), lines ended by "\r\n".
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

struct LogDumpEntry {
    // False for a line that is not in the dump's layout (damaged, cut short): it is kept, whole,
    // as text, so nothing of the file is hidden, and it has no time, kind, port or program.
    bool readable = false;
    std::string time;  // "YYYY-MM-DD hh:mm:ss"
    std::string kind;  // "BLOCK", "DENY", ... or empty
    int port = 0;
    std::string text;
    std::string program;
    std::string site;  // the site the text names (log_site.h), or empty
};

// Reads the dump's lines from data (length bytes, no terminator needed; never read past it).
// Control characters other than the line ends are shown as spaces. An empty last line is no
// entry.
std::vector<LogDumpEntry> logviewer_read_dump(const char* data, size_t length);

// The largest dump the viewer reads.
const size_t kLogDumpMaxBytes = 512u * 1024u * 1024u;

// Reads the whole file at linuxPath into entries. False, with a sentence in error, when the file
// cannot be opened or read, is not a file or is larger than kLogDumpMaxBytes.
bool logviewer_load_dump(const std::string& linuxPath, std::vector<LogDumpEntry>& entries, std::string& error);

// The file the viewer's argument names: the dump path as View Log passes it, in double quotation
// marks (taken off when present), a Windows path on the machine's drive C: (one that starts with
// a drive letter or holds a backslash, mapped into the machine root as every Win32 file function
// maps it) or a Linux path. False, with a sentence in error, for an empty argument or a Windows
// path outside drive C:.
bool logviewer_dump_path(const char* argument, std::string& linuxPath, std::string& error);
