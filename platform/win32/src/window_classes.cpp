// Window classes: RegisterClassA / UnregisterClassA. A class is named without regard to case
// within the module that registers it (CS_GLOBALCLASS: within the process).
#include "modules.h"
#include "windows_internal.h"

#include <qf/fault_injection.h>

#include <strings.h>

namespace qf {
namespace {

std::vector<WindowClass>& classes() {  // guarded by windows_lock()
    static auto* instance = new std::vector<WindowClass>;
    return *instance;
}

bool is_atom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

bool same_name(const WindowClass& c, LPCSTR name) {
    return is_atom(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name))
                         : strcasecmp(c.name.c_str(), name) == 0;
}

}  // namespace

bool window_class_find(LPCSTR name, HINSTANCE module, WindowClass& out) {
    for (const WindowClass& c : classes()) {
        if (same_name(c, name) && c.info.hInstance == module) {
            out = c;
            return true;
        }
    }
    // A window made without a module takes the class of that name from any module; otherwise
    // only a global class of another module will do.
    for (const WindowClass& c : classes()) {
        if (same_name(c, name) && (!module || (c.info.style & CS_GLOBALCLASS))) {
            out = c;
            return true;
        }
    }
    return false;
}

void window_classes_forget_module(HINSTANCE module) {
    std::lock_guard<std::mutex> guard(windows_lock());
    auto& all = classes();
    for (auto it = all.begin(); it != all.end();) it = it->info.hInstance == module ? all.erase(it) : std::next(it);
}

}  // namespace qf

extern "C" ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
        qf::is_atom(lpWndClass->lpszClassName) || !*lpWndClass->lpszClassName || lpWndClass->cbWndExtra < 0 ||
        lpWndClass->cbClsExtra < 0 || lpWndClass->cbWndExtra > 40000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (qf::fault_take(qf::Fault::RegisterClassA)) {  // ahead of the name check: a test asked for it
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::lock_guard<std::mutex> guard(qf::windows_lock());
    auto& all = qf::classes();
    for (const qf::WindowClass& c : all) {
        if (!qf::same_name(c, lpWndClass->lpszClassName)) continue;
        if (c.info.hInstance == lpWndClass->hInstance || ((c.info.style | lpWndClass->style) & CS_GLOBALCLASS)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    static ATOM nextAtom = 0xC000;
    if (nextAtom == 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    qf::WindowClass c;
    c.name = lpWndClass->lpszClassName;
    c.info = *lpWndClass;
    c.info.lpszClassName = nullptr;
    c.info.lpszMenuName = nullptr;
    c.atom = nextAtom++;
    all.push_back(c);
    return c.atom;
}

extern "C" BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
    if (!lpClassName) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(qf::windows_lock());
    auto& all = qf::classes();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (!qf::same_name(*it, lpClassName) || it->info.hInstance != hInstance) continue;
        if (qf::window_class_has_windows(it->atom)) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
        all.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

extern "C" HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(static_cast<uintptr_t>(0x10003)); }
extern "C" HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) {
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x10005));
}
extern "C" HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < 0 || i > 19) return nullptr;
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x01900010 + i));
}
