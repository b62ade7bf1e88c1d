#include "log_dump.h"

#include <log_site.h>
#include <qf/machine_root.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t kTimeLength = 19;  // "YYYY-MM-DD hh:mm:ss"
const size_t kKindWidth = 7;
const size_t kKindLimit = 15;
const size_t kPortLimit = 11;  // "-2147483648"

// A cursor over one line that checks the bounds on every step.
struct Cursor {
    const char* data;
    size_t length;
    size_t at = 0;

    size_t left() const { return length - at; }
    bool take(const char* expected) {
        const size_t n = strlen(expected);
        if (left() < n || memcmp(data + at, expected, n) != 0) return false;
        at += n;
        return true;
    }
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// "YYYY-MM-DD hh:mm:ss" with digits where digits belong.
bool read_time(Cursor& line, std::string& time) {
    static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
    if (line.left() < kTimeLength) return false;
    for (size_t i = 0; i < kTimeLength; ++i) {
        const char c = line.data[line.at + i];
        if (kPattern[i] == 'd' ? !is_digit(c) : c != kPattern[i]) return false;
    }
    time.assign(line.data + line.at, kTimeLength);
    line.at += kTimeLength;
    return true;
}

// The kind, padded with blanks to 7 characters (a longer one is not padded); blanks only for an
// empty kind.
bool read_kind(Cursor& line, std::string& kind) {
    const size_t start = line.at;
    size_t n = 0;
    while (n < line.left() && line.data[start + n] != ' ') ++n;
    if (n > kKindLimit) return false;
    kind.assign(line.data + start, n);
    const size_t field = n > kKindWidth ? n : kKindWidth;
    if (line.left() < field) return false;
    for (size_t i = n; i < field; ++i)
        if (line.data[start + i] != ' ') return false;
    line.at += field;
    return true;
}

// The port, right-aligned in at least 5 characters.
bool read_port(Cursor& line, int& port) {
    while (line.left() && line.data[line.at] == ' ') ++line.at;
    const size_t start = line.at;
    bool negative = false;
    if (line.left() && line.data[line.at] == '-') {
        negative = true;
        ++line.at;
    }
    long long value = 0;
    size_t digits = 0;
    while (line.left() && is_digit(line.data[line.at])) {
        value = value * 10 + (line.data[line.at] - '0');
        ++line.at;
        if (++digits > kPortLimit - 1) return false;
    }
    if (digits == 0 || line.at - start > kPortLimit) return false;
    if (negative) value = -value;
    if (value < -2147483647LL - 1 || value > 2147483647LL) return false;
    port = static_cast<int>(value);
    return true;
}

// The rest of a line: "TEXT  [PROGRAM]". The program is the last bracketed part, so a text that
// holds "  [" itself stays whole.
bool read_text_and_program(Cursor& line, std::string& text, std::string& program) {
    const char* rest = line.data + line.at;
    const size_t n = line.left();
    if (n < 3 || rest[n - 1] != ']') return false;
    for (size_t open = n - 2; open >= 2; --open) {
        if (rest[open] == '[' && rest[open - 1] == ' ' && rest[open - 2] == ' ') {
            text.assign(rest, open - 2);
            program.assign(rest + open + 1, n - open - 2);
            return true;
        }
    }
    return false;
}

bool read_entry(const char* data, size_t length, LogDumpEntry& entry) {
    Cursor line{data, length};
    return read_time(line, entry.time) && line.take("  ") && read_kind(line, entry.kind) && line.take("  ") &&
           read_port(line, entry.port) && line.take("  ") && read_text_and_program(line, entry.text, entry.program);
}

LogDumpEntry entry_of_line(const char* data, size_t length) {
    std::string flat(data, length);
    for (char& c : flat)
        if ((unsigned char)c < 32 || c == 127) c = ' ';
    LogDumpEntry entry;
    if (read_entry(flat.data(), flat.size(), entry)) {
        entry.readable = true;
        char site[256];
        if (logreport_site(entry.text.data(), entry.text.size(), site, sizeof(site))) entry.site = site;
        return entry;
    }
    LogDumpEntry kept;
    kept.text = flat;
    return kept;
}

bool is_windows_path(const std::string& path) {
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || path.find('\\') != std::string::npos;
}

}  // namespace

std::vector<LogDumpEntry> logviewer_read_dump(const char* data, size_t length) {
    std::vector<LogDumpEntry> entries;
    if (!data) return entries;
    size_t start = 0;
    while (start < length) {
        const void* found = memchr(data + start, '\n', length - start);
        const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - data) : length;
        size_t lineEnd = end;
        if (lineEnd > start && data[lineEnd - 1] == '\r') --lineEnd;
        entries.push_back(entry_of_line(data + start, lineEnd - start));
        start = end + 1;
    }
    return entries;
}

bool logviewer_load_dump(const std::string& linuxPath, std::vector<LogDumpEntry>& entries, std::string& error) {
    entries.clear();
    const int fd = open(linuxPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "The log file " + linuxPath + " cannot be opened: " + strerror(errno) + ".";
        return false;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = "The log file " + linuxPath + " is not a file.";
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > kLogDumpMaxBytes) {
        close(fd);
        error = "The log file " + linuxPath + " is too large to be shown (" + std::to_string(st.st_size) + " bytes).";
        return false;
    }
    std::string data;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = "The log file " + linuxPath + " cannot be read: " + strerror(errno) + ".";
            close(fd);
            return false;
        }
        if (got == 0) break;
        if (data.size() + static_cast<size_t>(got) > kLogDumpMaxBytes) {
            close(fd);
            error = "The log file " + linuxPath + " is too large to be shown.";
            return false;
        }
        data.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    entries = logviewer_read_dump(data.data(), data.size());
    return true;
}

bool logviewer_dump_path(const char* argument, std::string& linuxPath, std::string& error) {
    std::string path = argument ? argument : "";
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    if (path.empty()) {
        error = "No log file was named.";
        return false;
    }
    if (!is_windows_path(path)) {
        linuxPath = path;
        return true;
    }
    if (!qf::map_windows_path(path.c_str(), linuxPath)) {
        error = "The log file " + path + " is not on drive C: of the machine.";
        return false;
    }
    return true;
}
