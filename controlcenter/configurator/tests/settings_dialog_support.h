// What the rating and time dialog tests share: a run of a dialog whose script can also look at
// the open window and act on the machine between two user actions, and the settings stores of
// the machine root made unreadable or unwritable.
#pragma once

#include "configurator_test_support.h"

#include <dlg_backend.h>

#include <functional>
#include <map>
#include <string>

namespace configurator_test {

// The controls of a window at one point of a script.
struct WindowLook {
    UINT templateId = 0;
    std::map<int, DlgControl> controls;

    const DlgControl& at(int id) const;
    std::string text(int id) const { return at(id).text; }
    bool enabled(int id) const { return at(id).enabled; }
    bool checked(int id) const { return at(id).check == BST_CHECKED; }
    int position(int id) const { return at(id).position; }
    int selection(int id) const { return at(id).selection; }
    const std::vector<std::string>& items(int id) const { return at(id).items; }
};

struct ProbedSession : Session {
    std::map<std::string, WindowLook> looks;
};

// Runs dialog modally from script, in which two kinds of lines are the test's own:
//   @look NAME   keeps the controls of the active window under NAME
//   @do NAME     runs actions[NAME]
ProbedSession RunProbed(const std::string& script, CDialog& dialog,
                        const std::map<std::string, std::function<void()>>& actions = {});

// A settings store file under DBDIR "db\" (rsac.dat, ssurf.dat, period.dat).
// Damaged: the next read fails. Read-only: reads work, writes (and restores) fail.
void damage_store(const char* name);
void set_store_read_only(const char* name, bool readOnly);

}  // namespace configurator_test
