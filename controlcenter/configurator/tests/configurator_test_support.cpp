#include "configurator_test_support.h"

#include "change_markers.h"
#include "configurator_app.h"
#include "configurator_resources.h"
#include "password_store.h"

#include <headless_backend.h>
#include <machine.h>
#include <vtlogger.h>

#include <windows.h>

namespace configurator_test {

void ControlCenter::SetUp() {
    std::string error;
    ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
    DlgSetResources(&kConfiguratorResources);
    ClearChangeMarkers();
}

void ControlCenter::TearDown() {
    VTLogger_Free();
    DlgSetBackend(nullptr);
}

namespace {

template <typename Body>
Session run(const std::string& script, Body body) {
    DlgClearRecords();
    HeadlessBackend backend(HeadlessScriptText(script));
    DlgSetBackend(&backend);
    Session session;
    try {
        body();
        backend.CheckFinished();
    } catch (const HeadlessFailure& failure) {
        session.failure = failure.what();
    }
    DlgSetBackend(nullptr);
    for (const DlgRecord& record : DlgRecords()) session.shown.push_back(DlgRecordLine(record));
    return session;
}

}  // namespace

Session RunProgram(const std::string& script, const std::vector<std::string>& commandLine) {
    return run(script, [&] {
        CConfiguratorApp app;
        app.Run(commandLine);
    });
}

Session RunDialogWith(const std::string& script, CDialog& dialog) {
    return run(script, [&] { dialog.DoModal(); });
}

std::vector<std::string> log_lines() {
    std::vector<std::string> lines;
    VTLogEntry entries[32];
    const int count = VTLogger_ReadEntries(0, entries, 32);
    for (int i = 0; i < count; ++i) lines.push_back(std::string(entries[i].kind) + " " + entries[i].text);
    return lines;
}

std::string first_start(const std::string& password) {
    return "type 1006 " + password + "\ntype 1001 " + password + "\nenter\ntype 1006 " + password + "\nenter\n";
}

void set_password(const char* password) { ASSERT_EQ(PWS_WRITTEN, StorePassword(password)); }

bool password_is(const char* password) { return VerifyPassword(password) == PWS_MATCH; }

namespace {

HKEY create_key(const char* key) {
    HKEY handle = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &handle, nullptr));
    return handle;
}

}  // namespace

void set_string(const char* key, const char* name, const char* value) {
    HKEY handle = create_key(key);
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                            static_cast<DWORD>(strlen(value) + 1)));
    RegCloseKey(handle);
}

void set_dword(const char* key, const char* name, DWORD value) {
    HKEY handle = create_key(key);
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)));
    RegCloseKey(handle);
}

void delete_value(const char* key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

}  // namespace configurator_test
