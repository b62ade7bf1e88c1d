#include "settings_dialog_support.h"

#include <headless_backend.h>

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace configurator_test {

const DlgControl& WindowLook::at(int id) const {
    auto found = controls.find(id);
    if (found == controls.end()) throw std::runtime_error("no control " + std::to_string(id) + " was seen");
    return found->second;
}

namespace {

WindowLook look_at_active_window() {
    WindowLook look;
    if (DlgOpenWindows().empty()) return look;
    const DlgWindow* window = DlgWindowOf(*DlgOpenWindows().back());
    look.templateId = window->source->id;
    for (const auto& control : window->controls)
        if (control->id != IDC_STATIC) look.controls.emplace(control->id, *control);
    return look;
}

// The Linux path of a store file of the current machine root (DBDIR as the machine is seeded).
std::filesystem::path store_path(const char* name) {
    const char* root = std::getenv("QUILLFENCE_ROOT");
    if (!root) throw std::runtime_error("no machine root");
    return std::filesystem::path(root) / "drive_c/Program Files/Quillfence/db" / name;
}

}  // namespace

ProbedSession RunProbed(const std::string& script, CDialog& dialog,
                        const std::map<std::string, std::function<void()>>& actions) {
    ProbedSession session;
    std::function<bool(std::string&)> lines = HeadlessScriptText(script);
    auto withProbes = [&](std::string& line) {
        while (lines(line)) {
            if (line.rfind("@look ", 0) == 0) {
                session.looks[line.substr(6)] = look_at_active_window();
            } else if (line.rfind("@do ", 0) == 0) {
                auto action = actions.find(line.substr(4));
                if (action == actions.end()) throw HeadlessFailure("no test action " + line.substr(4));
                action->second();
            } else {
                return true;
            }
        }
        return false;
    };
    DlgClearRecords();
    HeadlessBackend backend(withProbes);
    DlgSetBackend(&backend);
    try {
        dialog.DoModal();
        backend.CheckFinished();
    } catch (const HeadlessFailure& failure) {
        session.failure = failure.what();
    }
    DlgSetBackend(nullptr);
    for (const DlgRecord& record : DlgRecords()) session.shown.push_back(DlgRecordLine(record));
    return session;
}

void damage_store(const char* name) {
    const std::string path = std::string("C:\\Program Files\\Quillfence\\db\\") + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "junk", 4, &written, nullptr));
    CloseHandle(file);
}

void set_store_read_only(const char* name, bool readOnly) {
    using std::filesystem::perms;
    std::filesystem::permissions(store_path(name), perms::owner_write | perms::group_write | perms::others_write,
                                 readOnly ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

}  // namespace configurator_test
