// Modules: LoadLibraryA and friends over dlopen, with Windows reference counting and DllMain.
// A module name maps to lib<base name>.so in the module directory (see libloaderapi.h). A module
// that was in the process before its first LoadLibraryA (linked by the program, or a dependency of
// another library) is the same instance and is never unloaded, as a statically linked DLL.
#include "modules.h"
#include "module_entry.h"

#include <qf/module_file_name.h>

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qf {
namespace {

typedef BOOL(WINAPI* DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct Module {
    void* handle = nullptr;  // the dlopen handle, which is also the HMODULE
    std::string baseName;    // lower case, e.g. "vtlsp"
    std::string path;
    int references = 0;
    bool pinned = false;  // in the process before we loaded it
    bool attached = false;
    DllMainProc dllMain = nullptr;
    unsigned long attachOrder = 0;
};

struct Loader {
    std::recursive_mutex lock;  // the loader lock: DllMain may load other modules
    std::map<void*, Module> modules;
    unsigned long attachCounter = 0;
};

Loader& loader() {
    static Loader* instance = new Loader;  // outlives every static destructor
    return *instance;
}

LPVOID const kProcessExit = reinterpret_cast<LPVOID>(1);
LPVOID const kStaticLoad = reinterpret_cast<LPVOID>(1);

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "%SystemRoot%\system32\QFBASE.DLL" -> "qfbase": the file name without directory or extension.
std::string base_name(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) file.resize(dot);
    return lower(file);
}

std::string expand(const char* name) {
    char buffer[MAX_PATH * 4];
    DWORD needed = ExpandEnvironmentStringsA(name, buffer, sizeof(buffer));
    if (needed == 0 || needed > sizeof(buffer)) return name;
    return buffer;
}

std::string module_directory() {
    if (const char* path = getenv("QUILLFENCE_MODULE_PATH"); path && *path) return path;
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&LoadLibraryA), &info) && info.dli_fname) {
        std::string self = info.dli_fname;
        size_t slash = self.rfind('/');
        if (slash != std::string::npos) return self.substr(0, slash);
    }
    return ".";
}

// The file of the module in dir, its name compared without regard to case.
std::string find_module_file(const std::string& dir, const std::string& base) {
    std::string wanted = "lib" + base + ".so";
    DIR* d = opendir(dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* entry = readdir(d)) {
        if (strcasecmp(entry->d_name, wanted.c_str()) == 0) {
            found = dir + "/" + entry->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

// A shared object already in the process whose file is lib<base>.so, by whatever path it came.
std::string find_loaded_object(const std::string& base) {
    struct Search {
        std::string wanted;
        std::string found;
    } search{"lib" + base + ".so", {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !*info->dlpi_name) return 0;
            const char* slash = strrchr(info->dlpi_name, '/');
            const char* file = slash ? slash + 1 : info->dlpi_name;
            if (strcasecmp(file, s->wanted.c_str()) != 0) return 0;
            s->found = info->dlpi_name;
            return 1;
        },
        &search);
    return search.found;
}

// A symbol that the module itself defines; dlsym alone would also search its dependencies.
void* own_symbol(void* handle, const char* name) {
    void* symbol = dlsym(handle, name);
    if (!symbol) return nullptr;
    Dl_info info = {};
    link_map* owner = nullptr;
    if (!dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP)) return nullptr;
    link_map* self = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &self) != 0) return nullptr;
    return owner == self ? symbol : nullptr;
}

Module* find_by_base(const std::string& base) {
    for (auto& entry : loader().modules)
        if (entry.second.baseName == base) return &entry.second;
    return nullptr;
}

std::atomic<bool> exiting{false};

void detach_all_at_exit() {
    exiting.store(true);
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    std::vector<Module*> attached;
    for (auto& entry : l.modules)
        if (entry.second.attached) attached.push_back(&entry.second);
    std::sort(attached.begin(), attached.end(),
              [](const Module* a, const Module* b) { return a->attachOrder > b->attachOrder; });
    for (Module* module : attached) {
        module->attached = false;
        module->dllMain(static_cast<HINSTANCE>(module->handle), DLL_PROCESS_DETACH, kProcessExit);
    }
}

// Runs DllMain for process attach; false when the module refused, after it has been detached again.
bool attach(Module& module) {
    if (!module.dllMain || module.attached) return true;
    Loader& l = loader();
    module.attached = true;
    module.attachOrder = ++l.attachCounter;
    HINSTANCE instance = static_cast<HINSTANCE>(module.handle);
    if (!module.dllMain(instance, DLL_PROCESS_ATTACH, module.pinned ? kStaticLoad : nullptr)) {
        module.dllMain(instance, DLL_PROCESS_DETACH, nullptr);
        module.attached = false;
        return false;
    }
    // Registered after the module's own static objects, so at exit DllMain runs before they die.
    std::atexit(detach_all_at_exit);
    return true;
}

// Records a module found in the process or just opened; handle carries one dlopen reference.
// Null (the reference given back) for a module whose entry point would not be found.
Module* record(void* handle, const std::string& base, const std::string& path, bool pinned) {
    Loader& l = loader();
    auto it = l.modules.find(handle);
    if (it != l.modules.end()) {  // the same object under another name
        dlclose(handle);
        return &it->second;
    }
    if (!own_symbol(handle, "DllMain") && module_defines_cxx_dll_main(path)) {
        fprintf(stderr, "LoadLibraryA: %s defines DllMain with C++ linkage; it must be declared as "
                        "<libloaderapi.h> declares it\n", path.c_str());
        dlclose(handle);
        return nullptr;
    }
    Module& module = l.modules[handle];
    module.handle = handle;
    module.baseName = base;
    module.path = path;
    module.pinned = pinned;
    module.dllMain = reinterpret_cast<DllMainProc>(own_symbol(handle, "DllMain"));
    window_classes_module_loaded(static_cast<HINSTANCE>(handle), base);
    return &module;
}

// The module already in the process, recorded (and attached) on first sight; null when absent.
Module* find_in_process(const std::string& base, const std::string& path) {
    void* handle = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    std::string where = path;
    if (!handle) {
        where = find_loaded_object(base);
        if (where.empty()) return nullptr;
        handle = dlopen(where.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!handle) return nullptr;
    }
    Module* module = record(handle, base, where, true);
    if (module) attach(*module);  // a module linked by the program: attached as it would be at start-up
    return module;
}

}  // namespace

bool process_exiting() { return exiting.load(); }

bool module_offset_of(HMODULE module, const void* address, uintptr_t& offset) {
    Dl_info info = {};
    link_map* owner = nullptr;
    link_map* self = nullptr;
    if (!address || !dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) ||
        dlinfo(module, RTLD_DI_LINKMAP, &self) != 0 || owner != self)
        return false;
    offset = reinterpret_cast<uintptr_t>(address) - self->l_addr;
    return true;
}

void* module_address_at(HMODULE module, uintptr_t offset) {
    link_map* self = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &self) != 0) return nullptr;
    return reinterpret_cast<void*>(self->l_addr + offset);
}

bool module_file_name(HMODULE module, std::string& path) {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    auto it = l.modules.find(module);
    if (it == l.modules.end() || it->second.path.empty()) return false;
    path = it->second.path;
    return true;
}

}  // namespace qf

using qf::Module;

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName || !*lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string base = qf::base_name(qf::expand(lpLibFileName));
    if (base.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    qf::Loader& l = qf::loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    if (Module* module = qf::find_by_base(base)) {
        ++module->references;
        return static_cast<HMODULE>(module->handle);
    }
    std::string path = qf::find_module_file(qf::module_directory(), base);
    Module* module = qf::find_in_process(base, path);
    if (module) {
        ++module->references;
        return static_cast<HMODULE>(module->handle);
    }
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        fprintf(stderr, "LoadLibraryA(\"%s\"): %s\n", lpLibFileName, dlerror());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    module = qf::record(handle, base, path, false);
    if (!module) {
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    if (!qf::attach(*module)) {
        l.modules.erase(handle);
        dlclose(handle);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    module->references = 1;
    return static_cast<HMODULE>(handle);
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    qf::Loader& l = qf::loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    auto it = l.modules.find(hLibModule);
    if (it == l.modules.end() || it->second.references == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Module& module = it->second;
    if (--module.references > 0 || module.pinned) return TRUE;
    if (module.attached) {
        module.attached = false;
        module.dllMain(hLibModule, DLL_PROCESS_DETACH, nullptr);
    }
    qf::window_classes_module_unloading(hLibModule, module.baseName);
    void* handle = module.handle;
    l.modules.erase(it);
    dlclose(handle);
    return TRUE;
}

extern "C" void WINAPI FreeLibraryAndExitThread(HMODULE hLibModule, DWORD dwExitCode) {
    FreeLibrary(hLibModule);
    ExitThread(dwExitCode);
}

extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (!lpModuleName) {
        static void* program = dlopen(nullptr, RTLD_NOW);
        return static_cast<HMODULE>(program);
    }
    std::string base = qf::base_name(qf::expand(lpModuleName));
    qf::Loader& l = qf::loader();
    std::lock_guard<std::recursive_mutex> guard(l.lock);
    Module* module = base.empty() ? nullptr : qf::find_by_base(base);
    if (!module && !base.empty()) module = qf::find_in_process(base, qf::find_module_file(qf::module_directory(), base));
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(module->handle);
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    // Exports by ordinal (a name pointer below 0x10000) do not exist here.
    if (!lpProcName || reinterpret_cast<uintptr_t>(lpProcName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* handle = hModule;
    {
        qf::Loader& l = qf::loader();
        std::lock_guard<std::recursive_mutex> guard(l.lock);
        if (!hModule || (l.modules.find(hModule) == l.modules.end() && hModule != GetModuleHandleA(nullptr))) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
    }
    void* symbol = qf::own_symbol(handle, lpProcName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}
