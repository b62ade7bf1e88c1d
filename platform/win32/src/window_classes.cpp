// Window classes: RegisterClassA / UnregisterClassA. A class is named without regard to case
// within the module that registers it (CS_GLOBALCLASS: within the process). A module's classes
// outlive its unloading, as on Windows: dormant while it is away, its own again when it is back.
#include "fault_take.h"
#include "modules.h"
#include "windows_internal.h"

#include <strings.h>

#include <algorithm>

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

// Whether a live class stands in the way of registering name for module: the same name in the
// same module, or a global class of that name on either side.
bool in_the_way(const WindowClass& c, LPCSTR name, HINSTANCE module, UINT style) {
    return !c.dormant && same_name(c, name) &&
           (c.info.hInstance == module || ((c.info.style | style) & CS_GLOBALCLASS));
}

}  // namespace

bool window_class_find(LPCSTR name, HINSTANCE module, WindowClass& out) {
    for (const WindowClass& c : classes()) {
        if (!c.dormant && same_name(c, name) && c.info.hInstance == module) {
            out = c;
            return true;
        }
    }
    // A window made without a module takes the class of that name from any module; otherwise
    // only a global class of another module will do.
    for (const WindowClass& c : classes()) {
        if (!c.dormant && same_name(c, name) && (!module || (c.info.style & CS_GLOBALCLASS))) {
            out = c;
            return true;
        }
    }
    return false;
}

void window_classes_module_unloading(HINSTANCE module, const std::string& moduleName) {
    std::lock_guard<std::mutex> guard(windows_lock());
    for (WindowClass& c : classes()) {
        if (c.dormant || c.info.hInstance != module) continue;
        c.dormant = true;
        c.moduleName = moduleName;
        c.procInModule = module_offset_of(module, reinterpret_cast<const void*>(c.info.lpfnWndProc), c.procOffset);
        c.info.hInstance = nullptr;
    }
}

void window_classes_module_loaded(HINSTANCE module, const std::string& moduleName) {
    std::lock_guard<std::mutex> guard(windows_lock());
    auto& all = classes();
    for (auto it = all.begin(); it != all.end();) {
        if (!it->dormant || it->moduleName != moduleName) {
            ++it;
            continue;
        }
        // A global class of the same name registered meanwhile has taken the name.
        bool taken = std::any_of(all.begin(), all.end(), [&](const WindowClass& other) {
            return in_the_way(other, it->name.c_str(), module, it->info.style);
        });
        if (taken) {
            it = all.erase(it);
            continue;
        }
        it->dormant = false;
        it->info.hInstance = module;
        if (it->procInModule)
            it->info.lpfnWndProc = reinterpret_cast<WNDPROC>(module_address_at(module, it->procOffset));
        ++it;
    }
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
        if (qf::in_the_way(c, lpWndClass->lpszClassName, lpWndClass->hInstance, lpWndClass->style)) {
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
        if (it->dormant || !qf::same_name(*it, lpClassName) || it->info.hInstance != hInstance) continue;
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
