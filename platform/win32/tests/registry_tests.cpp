// The registry: names, values and their sizes, enumeration, deletion, rights, and many writers.
#include <windows.h>

#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kProductKey[] = "SOFTWARE\\Marrowby\\Quillfence\\2.2";

class Registry : public ::testing::Test {
protected:
    HKEY create(const char* path, DWORD* disposition = nullptr, REGSAM sam = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key,
                                  disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }
    LONG open(const char* path, HKEY& key, REGSAM sam = KEY_ALL_ACCESS) {
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, sam, &key);
    }
    void set_string(HKEY key, const char* name, const char* text) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1)),
                  ERROR_SUCCESS);
    }
    std::string read_string(HKEY key, const char* name) {
        char buffer[256] = {0};
        DWORD size = sizeof(buffer) - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
            return "<unreadable>";
        return buffer;
    }
    std::vector<std::string> subkeys(HKEY key) {
        std::vector<std::string> names;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD length = sizeof(name);
            LONG status = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            EXPECT_EQ(status, ERROR_SUCCESS);
            if (status != ERROR_SUCCESS) break;
            EXPECT_EQ(length, strlen(name));
            names.push_back(name);
        }
        return names;
    }

    qf_test::TempMachineRoot root;
};

TEST_F(Registry, CreatesIntermediateKeysAndReportsDisposition) {
    DWORD disposition = 0;
    HKEY key = create(kProductKey, &disposition);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(key);

    HKEY middle = nullptr;
    ASSERT_EQ(open("SOFTWARE\\Marrowby", middle), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(middle), std::vector<std::string>{"Quillfence"});
    RegCloseKey(middle);

    key = create("software\\MARROWBY\\quillfence\\2.2\\", &disposition);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
}

TEST_F(Registry, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    RegCloseKey(create("SOFTWARE\\WinSock2\\Vantrel Service Provider"));
    HKEY key = nullptr;
    ASSERT_EQ(open("SOFTWARE\\Winsock2\\Vantrel Service Provider", key), ERROR_SUCCESS);
    set_string(key, "DBDIR", "C:\\Program Files\\Quillfence\\");
    EXPECT_EQ(read_string(key, "dbdir"), "C:\\Program Files\\Quillfence\\");
    set_string(key, "DbDir", "changed");  // the same value, not a second one
    EXPECT_EQ(read_string(key, "DBDIR"), "changed");
    RegCloseKey(key);

    HKEY software = nullptr;
    ASSERT_EQ(open("software", software), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(software), std::vector<std::string>{"WinSock2"});
    RegCloseKey(software);
}

TEST_F(Registry, QueryAnswersSizesAndMoreData) {
    HKEY key = create(kProductKey);
    set_string(key, "DBDIR", "abc");
    const DWORD number = 0x01020304;
    ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
    // A string stored without its terminator gets one.
    ASSERT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("xyz"), 3), ERROR_SUCCESS);

    struct Case {
        const char* name;
        const char* value;
        bool withData;
        DWORD bufferSize;
        LONG expect;
        DWORD expectSize;
        DWORD expectType;
    } cases[] = {
        {"size query without data", "DBDIR", false, 0, ERROR_SUCCESS, 4, REG_SZ},
        {"string size counts the terminator", "DBDIR", true, 100, ERROR_SUCCESS, 4, REG_SZ},
        {"exact fit", "DBDIR", true, 4, ERROR_SUCCESS, 4, REG_SZ},
        {"one byte short", "DBDIR", true, 3, ERROR_MORE_DATA, 4, REG_SZ},
        {"empty buffer", "DBDIR", true, 0, ERROR_MORE_DATA, 4, REG_SZ},
        {"dword", "Number", true, 4, ERROR_SUCCESS, 4, REG_DWORD},
        {"dword too small", "Number", true, 2, ERROR_MORE_DATA, 4, REG_DWORD},
        {"terminator added", "Bare", true, 10, ERROR_SUCCESS, 4, REG_SZ},
        {"missing value", "Absent", true, 10, ERROR_FILE_NOT_FOUND, 10, 0xEEEE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BYTE buffer[128];
        memset(buffer, 0xCC, sizeof(buffer));
        DWORD size = c.bufferSize;
        DWORD type = 0xEEEE;
        EXPECT_EQ(RegQueryValueExA(key, c.value, nullptr, &type, c.withData ? buffer : nullptr, &size), c.expect);
        EXPECT_EQ(size, c.expectSize);
        EXPECT_EQ(type, c.expectType);
        if (c.expect == ERROR_SUCCESS && c.withData && c.expectType == REG_SZ) {
            EXPECT_EQ(buffer[size - 1], 0);
        }
        if (c.expect == ERROR_MORE_DATA) {
            EXPECT_EQ(buffer[c.bufferSize], 0xCC) << "wrote past the buffer";
        }
    }
    BYTE buffer[8];
    EXPECT_EQ(RegQueryValueExA(key, "DBDIR", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "DBDIR", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, DefaultValueAndValueDeletion) {
    HKEY key = create(kProductKey);
    set_string(key, nullptr, "default");
    EXPECT_EQ(read_string(key, ""), "default");
    EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(read_string(key, nullptr), "<unreadable>");
    RegCloseKey(key);
}

TEST_F(Registry, EnumeratesInNameOrderUntilNoMoreItems) {
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) {
        std::string path = std::string("SOFTWARE\\List\\") + name;
        RegCloseKey(create(path.c_str()));
    }
    HKEY list = nullptr;
    ASSERT_EQ(open("SOFTWARE\\List", list, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(list), (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma"}));

    char name[4];
    DWORD length = sizeof(name);  // "Alpha" needs 6
    EXPECT_EQ(RegEnumKeyExA(list, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    length = sizeof(name);
    EXPECT_EQ(RegEnumKeyExA(list, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    char beta[5];
    length = sizeof(beta);
    FILETIME written = {0, 0};
    EXPECT_EQ(RegEnumKeyExA(list, 2, beta, &length, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
    EXPECT_STREQ(beta, "beta");
    EXPECT_NE(written.dwHighDateTime, 0u);
    length = sizeof(beta);
    EXPECT_EQ(RegEnumKeyExA(list, 4, beta, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(list);
}

TEST_F(Registry, DeletesOnlyLeafKeys) {
    RegCloseKey(create("SOFTWARE\\WinSock2\\Vantrel Service Provider\\Chain0"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinSock2\\Vantrel Service Provider"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinSock2\\Vantrel Service Provider\\chain0"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinSock2\\Vantrel Service Provider\\Chain0"),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Winsock2\\Vantrel Service Provider"), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(open("SOFTWARE\\WinSock2\\Vantrel Service Provider", key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);  // never the hive's root
}

TEST_F(Registry, KeyDeletedWhileOpenAnswersKeyDeleted) {
    HKEY provider = create("SOFTWARE\\Provider");
    set_string(provider, "Name", "x");
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Provider"), ERROR_SUCCESS);
    // A key of the same name made afterwards is another key: the old handle stays dead.
    HKEY again = create("SOFTWARE\\Provider");

    char buffer[16];
    DWORD size = sizeof(buffer);
    DWORD length = sizeof(buffer);
    HKEY child = nullptr;
    const BYTE data[] = "y";
    EXPECT_EQ(RegQueryValueExA(provider, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(provider, "Name", 0, REG_SZ, data, 2), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyExA(provider, 0, buffer, &length, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(provider, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(provider), ERROR_SUCCESS);
    EXPECT_EQ(read_string(again, "Name"), "<unreadable>");  // values died with the old key
    RegCloseKey(again);
}

TEST_F(Registry, RightsOfTheHandleAreEnforced) {
    RegCloseKey(create(kProductKey));
    HKEY readOnly = nullptr;
    ASSERT_EQ(open(kProductKey, readOnly, KEY_QUERY_VALUE), ERROR_SUCCESS);
    const BYTE data[] = "x";
    EXPECT_EQ(RegSetValueExA(readOnly, "DBDIR", 0, REG_SZ, data, 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueA(readOnly, "DBDIR"), ERROR_ACCESS_DENIED);
    char name[16];
    DWORD length = sizeof(name);
    EXPECT_EQ(RegEnumKeyExA(readOnly, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(readOnly, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);

    HKEY generic = nullptr;
    ASSERT_EQ(open(kProductKey, generic, GENERIC_READ | GENERIC_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(generic, "DBDIR", 0, REG_SZ, data, 2), ERROR_SUCCESS);
    RegCloseKey(generic);
}

TEST_F(Registry, RefusesBadHandlesAndPaths) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Configurator.Application", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    for (const char* bad : {"\\SOFTWARE", "SOFTWARE\\\\Marrowby"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, bad, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_BAD_PATHNAME);
        EXPECT_EQ(open(bad, key), ERROR_BAD_PATHNAME);
    }
    std::string longName = "SOFTWARE\\" + std::string(256, 'k');
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    HKEY software = nullptr;
    EXPECT_EQ(open("SOFTWARE", software), ERROR_FILE_NOT_FOUND);  // nothing was created on the way
}

TEST_F(Registry, EachMachineRootHasItsOwnRegistry) {
    HKEY first = create(kProductKey);
    set_string(first, "DBDIR", "first");
    {
        qf_test::TempMachineRoot other;
        HKEY key = nullptr;
        EXPECT_EQ(open(kProductKey, key), ERROR_FILE_NOT_FOUND);
        // A handle of the other machine's registry names no key here.
        EXPECT_EQ(read_string(first, "DBDIR"), "<unreadable>");
    }
    EXPECT_EQ(read_string(first, "DBDIR"), "first");
    RegCloseKey(first);
}

// Writers in several processes and threads at once: every value arrives.
TEST_F(Registry, ManyWritersAtOnceLoseNothing) {
    RegCloseKey(create("SOFTWARE\\Shared"));  // the parent has the registry open before forking
    const int kProcesses = 2, kThreads = 2, kValues = 60;
    auto writer = [](int writerId) {
        bool ok = true;
        for (int i = 0; i < kValues; ++i) {
            std::string sub = "SOFTWARE\\Shared\\W" + std::to_string(writerId) + "_" + std::to_string(i);
            HKEY key = nullptr;
            ok = ok && RegCreateKeyExA(HKEY_LOCAL_MACHINE, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                       nullptr) == ERROR_SUCCESS;
            DWORD value = DWORD(writerId * 1000 + i);
            ok = ok && RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
        return ok;
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            std::vector<std::thread> threads;
            std::vector<char> results(kThreads, 0);
            for (int t = 0; t < kThreads; ++t)
                threads.emplace_back([&, t] { results[size_t(t)] = writer(p * kThreads + t); });
            for (auto& thread : threads) thread.join();
            for (char r : results) ok = ok && r;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    bool parentOk = writer(99);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(parentOk);

    HKEY shared = nullptr;
    ASSERT_EQ(open("SOFTWARE\\Shared", shared), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(shared).size(), size_t((kProcesses * kThreads + 1) * kValues));
    RegCloseKey(shared);
    for (int w : {0, kProcesses * kThreads - 1, 99}) {
        std::string sub = "SOFTWARE\\Shared\\W" + std::to_string(w) + "_" + std::to_string(kValues - 1);
        HKEY key = nullptr;
        ASSERT_EQ(open(sub.c_str(), key), ERROR_SUCCESS);
        DWORD value = 0, size = 4;
        EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(value, DWORD(w * 1000 + kValues - 1));
        RegCloseKey(key);
    }
}

// Processes that meet a machine root with no registry yet all get one store, and keep their writes.
TEST_F(Registry, ProcessesCreatingTheStoreAtOnceShareIt) {
    const int kProcesses = 4;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string path = "SOFTWARE\\Fresh\\P" + std::to_string(p);
            HKEY key = nullptr;
            bool ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                      nullptr) == ERROR_SUCCESS;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY fresh = nullptr;
    ASSERT_EQ(open("SOFTWARE\\Fresh", fresh), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(fresh).size(), size_t(kProcesses));
    RegCloseKey(fresh);
}

}  // namespace
