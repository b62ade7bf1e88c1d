#include "password_prompt.h"

#include <password_rules.h>
#include <secure_wipe.h>

#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One line of in, without its line end. False at the end of the input.
bool read_line(FILE* in, std::string& out) {
    out.clear();
    int c;
    bool any = false;
    while ((c = fgetc(in)) != EOF) {
        any = true;
        if (c == '\n') break;
        out.push_back(static_cast<char>(c));
    }
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return any;
}

// Reads a line from the terminal on standard input with echo turned off, and puts echo back.
bool read_without_echo(const char* prompt, std::string& out) {
    termios saved;
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    fputs(prompt, stderr);
    fflush(stderr);
    const bool got = read_line(stdin, out);
    if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return got;
}

}  // namespace

bool ReadPassword(bool fromStdin, const char* prompt, std::string& out, std::string& error) {
    if (!fromStdin && !isatty(STDIN_FILENO)) {
        error = "standard input is not a terminal: give the password on it with --password-stdin";
        return false;
    }
    const bool got = fromStdin ? read_line(stdin, out) : read_without_echo(prompt, out);
    if (!got) {
        error = "standard input ended before the password";
        return false;
    }
    if (out.size() > static_cast<size_t>(kPasswordMaxLength)) {
        SecureWipe(&out[0], out.size());
        out.clear();
        error = "Password cannot be longer than " + std::to_string(kPasswordMaxLength) + " characters.";
        return false;
    }
    if (memchr(out.data(), '\0', out.size())) {
        SecureWipe(&out[0], out.size());
        out.clear();
        error = "a password cannot hold a NUL character";
        return false;
    }
    return true;
}
