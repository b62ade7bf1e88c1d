// The headless backend of the dialog framework: windows are in-memory objects and a script of
// actions plays the user. Every window and message box is run to its end from the script; one
// that the script does not answer (the script ends, or its next line does not fit) fails with
// HeadlessFailure instead of waiting. The script language is described in headless_script.cpp.
#pragma once

#include <dlg_backend.h>

#include <stdio.h>

#include <functional>
#include <stdexcept>
#include <string>

class HeadlessFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HeadlessBackend : public DlgBackend {
public:
    // nextLine gives the script's next line, false at its end; lines are read only when needed.
    explicit HeadlessBackend(std::function<bool(std::string& line)> nextLine);

    void RunModal(CDialog& dialog) override;
    int MessageBox(CDialog* owner, const char* text, const char* caption, UINT type) override;

    // Each action as it is taken ("> click 1005").
    void SetEcho(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }
    // After the program has ended: a script with actions left over fails (HeadlessFailure).
    void CheckFinished();

private:
    bool NextAction(std::string& line);
    void Perform(CDialog& dialog, const std::string& line);
    [[noreturn]] void Fail(const std::string& message) const;

    std::function<bool(std::string&)> nextLine_;
    std::function<void(const std::string&)> echo_;
    int lineNumber_ = 0;
};

// Script sources: a text held in memory, and a stream read line by line (standard input).
std::function<bool(std::string&)> HeadlessScriptText(const std::string& text);
std::function<bool(std::string&)> HeadlessScriptStream(FILE* stream);
