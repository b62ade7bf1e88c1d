// Modules: the name map, one instance per module, reference counts, DllMain and exports.
#include <temp_machine_root.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

constexpr const char* kModule = "win32_testmodule.dll";

class Modules : public testing::Test {
protected:
    void SetUp() override {
        log_ = root_.file("dllmain.log");
        setenv("QF_TEST_MODULE_LOG", log_.c_str(), 1);
        unsetenv("QF_TEST_MODULE_REFUSE");
        unsetenv("QUILLFENCE_MODULE_PATH");
    }
    void TearDown() override { unsetenv("QF_TEST_MODULE_LOG"); }

    // The DllMain calls so far, one "attach|detach <reserved != NULL>" per line.
    std::string events() const {
        std::ifstream in(log_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    qf_test::TempMachineRoot root_;
    std::string log_;
};

typedef int (*BumpProc)();

template <class Proc>
Proc proc_of(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST_F(Modules, EverySpellingOfTheNameIsOneReferenceCountedInstance) {
    HMODULE first = LoadLibraryA(kModule);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadLibraryA("C:\\WINDOWS\\system32\\WIN32_TESTMODULE.DLL"), first);
    EXPECT_EQ(LoadLibraryA("%SystemRoot%\\system32\\Win32_TestModule.dll"), first);
    EXPECT_EQ(GetModuleHandleA("WIN32_TESTMODULE"), first);
    EXPECT_EQ(events(), "attach 0\n");

    auto bump = proc_of<BumpProc>(first, "test_module_bump");
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump(), 1);
    EXPECT_EQ(proc_of<BumpProc>(GetModuleHandleA(kModule), "test_module_bump")(), 2);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(events(), "attach 0\n");  // still one reference
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(events(), "attach 0\ndetach 0\n");  // unloaded by FreeLibrary: reserved is NULL
    EXPECT_EQ(GetModuleHandleA(kModule), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(FreeLibrary(first));

    // Loaded afresh, it attaches afresh, with fresh static data.
    HMODULE again = LoadLibraryA(kModule);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(events(), "attach 0\ndetach 0\nattach 0\n");
    EXPECT_EQ(proc_of<BumpProc>(again, "test_module_bump")(), 1);
    FreeLibrary(again);
}

TEST_F(Modules, ProcessExitDetachesWithReservedSet) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(LoadLibraryA(kModule) ? (exit(0), 0) : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(events(), "attach 0\ndetach 1\n");
}

typedef BOOL (*ContendLockProc)();

// Windows stops a process's other threads before the libraries' detach at exit; here they still
// run, and one blocked on a lock that the detach deletes must get the lock, not freed memory.
TEST_F(Modules, LockDeletedByTheDetachAtExitStillServesAThreadBlockedOnIt) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HMODULE module = LoadLibraryA(kModule);
        auto contend = module ? proc_of<ContendLockProc>(module, "test_module_contend_lock") : nullptr;
        _exit(contend && contend() ? (exit(0), 0) : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(events(), "attach 0\ndetach 1\nwaiter entered 1\n");
}

TEST_F(Modules, RefusedAttachFailsTheLoadAndUnloads) {
    setenv("QF_TEST_MODULE_REFUSE", "1", 1);
    EXPECT_EQ(LoadLibraryA(kModule), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(events(), "attach 0\ndetach 0\n");
    EXPECT_EQ(GetModuleHandleA(kModule), nullptr);
    unsetenv("QF_TEST_MODULE_REFUSE");
    HMODULE module = LoadLibraryA(kModule);
    EXPECT_NE(module, nullptr);
    FreeLibrary(module);
}

TEST_F(Modules, ModuleWhoseDllMainHasCxxLinkageIsRefused) {
    // Its entry point could not be found by its name, so it would never run: the load fails.
    EXPECT_EQ(LoadLibraryA("win32_cxxentry.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(GetModuleHandleA("win32_cxxentry.dll"), nullptr);
}

TEST_F(Modules, ModuleLinkedByTheProgramIsTheSameInstance) {
    // The test program links the stand-in's own library.
    HMODULE linked = GetModuleHandleA("win32.dll");
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(linked, "GetTickCount")), reinterpret_cast<void*>(&GetTickCount));
    HMODULE loaded = LoadLibraryA("C:\\WINDOWS\\system32\\WIN32.DLL");
    EXPECT_EQ(loaded, linked);
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_EQ(GetModuleHandleA("win32.dll"), linked);  // never unloaded
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST_F(Modules, GetProcAddressFindsOnlyTheModulesOwnExportsByName) {
    HMODULE module = LoadLibraryA(kModule);
    ASSERT_NE(module, nullptr);
    struct Case {
        const char* name;
        LPCSTR proc;
        DWORD error;
    };
    const Case cases[] = {
        {"export of a library the module links", "GetTickCount", ERROR_PROC_NOT_FOUND},
        {"unknown name", "NoSuchFunction", ERROR_PROC_NOT_FOUND},
        {"ordinal", MAKEINTRESOURCEA(1), ERROR_PROC_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetProcAddress(module, c.proc), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_NE(GetProcAddress(module, "DllMain"), nullptr);
    FreeLibrary(module);
    EXPECT_EQ(GetProcAddress(module, "test_module_bump"), nullptr);  // the handle died with the module
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Modules, NamesThatMapToNoLibraryAreNotFound) {
    for (const char* name : {"nosuchmodule.dll", "C:\\WINDOWS\\", ".dll"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadLibraryA(name), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    }
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

TEST_F(Modules, ModulePathChoosesTheDirectory) {
    setenv("QUILLFENCE_MODULE_PATH", root_.path().c_str(), 1);  // holds no libraries
    EXPECT_EQ(LoadLibraryA(kModule), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    unsetenv("QUILLFENCE_MODULE_PATH");
    HMODULE module = LoadLibraryA(kModule);
    EXPECT_NE(module, nullptr);
    FreeLibrary(module);
}

typedef HANDLE (*StartThreadProc)(HANDLE go, HANDLE started);

TEST_F(Modules, ThreadEndsWithFreeLibraryAndExitThreadWhileItsModuleUnloads) {
    HMODULE module = LoadLibraryA(kModule);
    ASSERT_NE(module, nullptr);
    auto start = proc_of<StartThreadProc>(module, "test_module_start_thread");
    ASSERT_NE(start, nullptr);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = start(go, started);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(started, 10000), WAIT_OBJECT_0);
    FreeLibrary(module);  // the thread's reference is now the last
    EXPECT_EQ(events(), "attach 0\n");
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(events(), "attach 0\ndetach 0\n");
    EXPECT_EQ(GetModuleHandleA(kModule), nullptr);
    CloseHandle(thread);
    CloseHandle(go);
    CloseHandle(started);
}

}  // namespace

TEST_F(Modules, ModuleFileNameIsTheLoadedLibrarysFileAndTheProgramsForNull) {
    HMODULE module = LoadLibraryA(kModule);
    ASSERT_NE(module, nullptr);
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_NE(std::string(path).find("libwin32_testmodule.so"), std::string::npos) << path;

    char program[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(GetModuleHandleA(nullptr), program, sizeof(program)), 0u);
    char programToo[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, programToo, sizeof(programToo)), 0u);
    EXPECT_STREQ(program, programToo);

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleFileNameA(module, path, sizeof(path)), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

namespace {

typedef ATOM (*RegisterClassProc)();
constexpr const char* kModuleClass = "Test Module Window";

uintptr_t load_address(HMODULE module) {
    link_map* map = nullptr;
    return dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 ? map->l_addr : 0;
}

HWND module_window(HINSTANCE instance) {
    return CreateWindowExA(0, kModuleClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

// A provider registers its window class at each start-up and goes on with the existing class when
// the registration answers that it exists, as it does on Windows after an unload and a reload.
TEST_F(Modules, WindowClassOfALibraryOutlivesItsUnloadAndServesItWhenLoadedAgain) {
    HMODULE first = LoadLibraryA(kModule);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(proc_of<RegisterClassProc>(first, "test_module_register_class")(), 0);
    const uintptr_t firstAddress = load_address(first);
    ASSERT_NE(firstAddress, 0u);
    ASSERT_TRUE(FreeLibrary(first));

    // While the library is away no window can be made of its class.
    EXPECT_EQ(module_window(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    // The old place is taken, so the library comes back elsewhere.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* blocker = mmap(reinterpret_cast<void*>(firstAddress), page, PROT_NONE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    ASSERT_NE(blocker, MAP_FAILED);
    HMODULE again = LoadLibraryA(kModule);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(load_address(again), firstAddress);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(proc_of<RegisterClassProc>(again, "test_module_register_class")(), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    HWND window = module_window(again);
    ASSERT_NE(window, nullptr) << GetLastError();
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(GetProcAddress(again, "test_module_window_proc")));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 1);  // the procedure of the new load, with its data
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(UnregisterClassA(kModuleClass, again));
    FreeLibrary(again);
    munmap(blocker, page);
}

}  // namespace
