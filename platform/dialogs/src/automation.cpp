// The framework's OLE support, as far as a program without automation clients needs it: OLE
// starts, class factories are registered as running objects (recorded; there is no client to
// reach them), and the automation class is entered into the registry.
#include "dialog_internal.h"

// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\SOFTWARE\Classes on the platform; the registry of the
// stand-in keeps HKEY_LOCAL_MACHINE only, so the registration is written there.
const char kDlgClassesKey[] = "SOFTWARE\\Classes";

namespace {

void record_ole(const std::string& call, const std::string& detail) {
    DlgRecord record{DlgRecordKind::Ole};
    record.caption = call;
    record.text = detail;
    DlgAddRecord(record);
}

// Sets the default value of key (created when missing) to text.
bool set_default(const std::string& key, const std::string& text) {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

}  // namespace

BOOL DlgOleInit() {
    record_ole("OleInitialize", "");
    return TRUE;
}

void DlgRegisterRunningObjects(const DlgAutomationClass& automationClass) {
    record_ole("RegisterRunningObjects", automationClass.progId);
}

BOOL DlgUpdateRegistry(const DlgAutomationClass& automationClass) {
    char module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof(module));
    const std::string classes = kDlgClassesKey;
    const std::string progId = classes + "\\" + automationClass.progId;
    const std::string classKey = classes + "\\CLSID\\" + automationClass.classId;
    const bool written = set_default(progId, automationClass.description) &&
                         set_default(progId + "\\CLSID", automationClass.classId) &&
                         set_default(classKey, automationClass.description) &&
                         set_default(classKey + "\\ProgID", automationClass.progId) &&
                         set_default(classKey + "\\LocalServer32", std::string(module, length));
    record_ole("UpdateRegistry", std::string(automationClass.progId) + " " + automationClass.classId +
                                     (written ? "" : " (not written)"));
    return written ? TRUE : FALSE;
}
