// What the Control Center's tests share: a machine root seeded as quillfence-machine init leaves
// it, and runs of the program or of one dialog on the headless backend from a script, with the
// lines of everything shown (window, box, answer, help, cursor, ole, end).
#pragma once

#include <temp_machine_root.h>

#include <dlg_dialog.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace configurator_test {

struct Session {
    std::vector<std::string> shown;  // one line per record, as configurator --headless prints them
    std::string failure;             // the script's failure, empty when it ran to its end
};

class ControlCenter : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    qf_test::TempMachineRoot root_;
};

// The whole program: CConfiguratorApp with the command line given.
Session RunProgram(const std::string& script, const std::vector<std::string>& commandLine = {});

// One dialog, opened modally by itself.
template <typename Dialog>
Session RunDialog(const std::string& script);
Session RunDialogWith(const std::string& script, CDialog& dialog);

template <typename Dialog>
Session RunDialog(const std::string& script) {
    Dialog dialog;
    return RunDialogWith(script, dialog);
}

// The access log as "KIND text" lines, oldest first.
std::vector<std::string> log_lines();
// The script that sets the first password and logs in with it.
std::string first_start(const std::string& password);
void set_password(const char* password);
bool password_is(const char* password);

// Registry values under HKEY_LOCAL_MACHINE.
void set_string(const char* key, const char* name, const char* value);
void set_dword(const char* key, const char* name, DWORD value);
void delete_value(const char* key, const char* name);

}  // namespace configurator_test
