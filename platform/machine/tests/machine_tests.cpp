// machine_init and the quillfence-machine command on temporary machine roots.
#include "machine.h"
#include "name_server.h"

#include <windows.h>
#include <process.h>

#include <VTList.h>
#include <lexstore.h>
#include <vtfw.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

// The Control Center's registry reader: 1 and the text, or 0 and out untouched.
int ReadRegistryString(const char* key, const char* valueName, char* out) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return 0;
    char buffer[256] = {0};
    DWORD size = 255;
    LONG status = RegQueryValueExA(handle, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return 0;
    strcpy(out, buffer);
    return 1;
}

std::string registry_string(const char* key, const char* name) {
    char out[255] = {0};
    return ReadRegistryString(key, name, out) ? out : "<unreadable>";
}

const char kVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kProductKey[] = "SOFTWARE\\Marrowby\\Quillfence\\2.2";

struct CommandResult {
    int exitCode;
    std::string output;  // stdout and stderr together
};

CommandResult run_command(const std::string& arguments) {
    std::string command = std::string("'") + QUILLFENCE_MACHINE + "' " + arguments + " 2>&1";
    CommandResult result{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.output.append(buffer, got);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class Machine : public ::testing::Test {
protected:
    void init() {
        std::string error;
        ASSERT_TRUE(qf::machine_init(root.path(), error)) << error;
    }
    qf_test::TempMachineRoot root;
};

TEST_F(Machine, FreshRootHoldsWhatTheControlCenterAndFilterRead) {
    init();
    EXPECT_EQ(registry_string(kProductKey, "DBDIR"), "C:\\Program Files\\Quillfence\\");
    EXPECT_EQ(registry_string(kProductKey, "UpdateServer"), "update.quillfence.test");
    EXPECT_EQ(registry_string(kVersionKey, "CurrentVersion"), "5.0");
    EXPECT_EQ(registry_string(kVersionKey, "CSDVersion"), "Service Pack 4");
    EXPECT_EQ(registry_string(kVersionKey, "ProductName"), "Microsoft Windows 2000");
    EXPECT_EQ(registry_string("SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters", "WinSock_Registry_Version"),
              "2.0");
    // The prerequisite check's reading of those values: NT 4 or later with Service Pack 4 or later.
    int major = 0, servicePack = 0;
    EXPECT_EQ(sscanf(registry_string(kVersionKey, "CurrentVersion").c_str(), "%d.", &major), 1);
    EXPECT_EQ(sscanf(registry_string(kVersionKey, "CSDVersion").c_str(), "Service Pack %d", &servicePack), 1);
    EXPECT_GE(major, 4);
    EXPECT_GE(servicePack, 4);

    for (const char* folder : {"C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS\\TEMP", "C:\\Program Files\\Quillfence\\bin",
                               "C:\\Program Files\\Quillfence\\log", "C:\\Program Files\\Quillfence\\db\\dict1"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(GetFileAttributesA(folder), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    }

    auto topics = std::make_unique<TopicRecord>();
    ASSERT_EQ(vtlist_read(topics.get()), 1);
    ASSERT_EQ(topics->count, 8);
    EXPECT_STREQ(topics->entries[0].name, "Pornography");
    EXPECT_STREQ(topics->entries[7].name, "Suicide");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(topics->entries[i].enabled, i == 0 ? 1 : 0) << i;

    auto rsac = std::make_unique<RsacSettings>();
    auto safeSurf = std::make_unique<SafeSurfSettings>();
    auto protocols = std::make_unique<ProtocolRuleTable>();
    auto times = std::make_unique<AccessTimeTable>();
    EXPECT_EQ(vtrsac_read(rsac.get()), 1);
    EXPECT_EQ(vtssurf_read(safeSurf.get()), 1);
    EXPECT_EQ(vtfw_read(protocols.get()), 1);
    EXPECT_EQ(vtperiod_read(times.get()), 1);
    EXPECT_EQ(protocols->count, 7);
}

TEST_F(Machine, FactoryDictionaryIsWrittenFromTheBuild) {
    init();
    const std::string dict = root.file("drive_c/Program Files/Quillfence/db/dict1/");
    for (const char* name : {"worddict.dat", "worddict.idx"}) {
        SCOPED_TRACE(name);
        std::string source = std::string(QF_SOURCE_DIR) + "/data/dict1/" + name;
        if (!std::filesystem::exists(source)) GTEST_SKIP() << "no factory dictionary in this source tree yet";
        ASSERT_TRUE(std::filesystem::exists(dict + name));
        std::ifstream a(source, std::ios::binary), b(dict + name, std::ios::binary);
        std::string expected((std::istreambuf_iterator<char>(a)), {}), written((std::istreambuf_iterator<char>(b)), {});
        EXPECT_EQ(written, expected);
        EXPECT_FALSE(std::filesystem::exists(dict + name + ".new"));
    }
}

TEST_F(Machine, SecondInitKeepsWhatAParentChanged) {
    init();
    auto rsac = std::make_unique<RsacSettings>();
    ASSERT_EQ(vtrsac_read(rsac.get()), 1);
    rsac->enabled = 1;
    rsac->violenceLevel = 3;
    ASSERT_EQ(vtrsac_write(rsac.get()), 1);
    auto topics = std::make_unique<TopicRecord>();
    ASSERT_EQ(vtlist_read(topics.get()), 1);
    topics->entries[3].enabled = 1;  // Gambling
    ASSERT_EQ(vtlist_write(topics.get()), 1);
    HKEY version;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_SET_VALUE, &version), ERROR_SUCCESS);
    const char servicePack[] = "Service Pack 6";
    ASSERT_EQ(RegSetValueExA(version, "CSDVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(servicePack),
                             sizeof(servicePack)),
              ERROR_SUCCESS);
    RegCloseKey(version);
    std::filesystem::remove(root.file("drive_c/Program Files/Quillfence/db/dict1/worddict.dat"));
    std::ofstream(root.file("drive_c/Program Files/Quillfence/db/dict1/worddict.idx")) << "parent's";

    init();
    rsac = std::make_unique<RsacSettings>();
    ASSERT_EQ(vtrsac_read(rsac.get()), 1);
    EXPECT_EQ(rsac->enabled, 1);
    EXPECT_EQ(rsac->violenceLevel, 3);
    topics = std::make_unique<TopicRecord>();
    ASSERT_EQ(vtlist_read(topics.get()), 1);
    EXPECT_EQ(topics->entries[3].enabled, 1);
    EXPECT_EQ(registry_string(kVersionKey, "CSDVersion"), "Service Pack 6");
    std::ifstream idx(root.file("drive_c/Program Files/Quillfence/db/dict1/worddict.idx"));
    std::string kept((std::istreambuf_iterator<char>(idx)), {});
    EXPECT_EQ(kept, "parent's");
    EXPECT_FALSE(std::filesystem::exists(root.file("drive_c/Program Files/Quillfence/db/dict1/worddict.dat")))
        << "half of a dictionary pair was completed from the factory one";
}

TEST_F(Machine, MovedInstallationDirectoryIsKeptAndFurnished) {
    HKEY product;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &product,
                              nullptr),
              ERROR_SUCCESS);
    const char dbdir[] = "C:\\Quillfence\\";
    ASSERT_EQ(RegSetValueExA(product, "DBDIR", 0, REG_SZ, reinterpret_cast<const BYTE*>(dbdir), sizeof(dbdir)),
              ERROR_SUCCESS);
    RegCloseKey(product);
    init();
    EXPECT_EQ(registry_string(kProductKey, "DBDIR"), "C:\\Quillfence\\");
    for (const char* folder : {"C:\\Quillfence\\bin", "C:\\Quillfence\\log", "C:\\Quillfence\\db\\dict1"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(GetFileAttributesA(folder), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    }
    EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\Quillfence"), INVALID_FILE_ATTRIBUTES);
    auto rsac = std::make_unique<RsacSettings>();
    EXPECT_EQ(vtrsac_read(rsac.get()), 1);
}

TEST_F(Machine, InitRestoresAMissingTopicList) {
    init();
    ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\SYSTEM32\\ixplor64.dll"));
    init();
    auto topics = std::make_unique<TopicRecord>();
    EXPECT_EQ(vtlist_read(topics.get()), 1);
    EXPECT_EQ(topics->count, 8);
}

TEST_F(Machine, RootThatIsNotADirectoryIsRefused) {
    const std::string file = root.file("plain-file");
    std::ofstream(file) << "x";
    std::string error;
    EXPECT_FALSE(qf::machine_init(file, error));
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;

    CommandResult result = run_command("init --root '" + file + "'");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.output.find("is not a directory"), std::string::npos) << result.output;
}

TEST_F(Machine, BadUsageShowsUsage) {
    for (const char* arguments : {"", "frobnicate", "init --root", "init --bogus", "policy extra"}) {
        SCOPED_TRACE(arguments);
        CommandResult result = run_command(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.output.find("usage: quillfence-machine"), std::string::npos) << result.output;
    }
}

TEST_F(Machine, CommandInitsThenPrintsThePolicy) {
    const std::string machine = "--root '" + root.path() + "'";
    CommandResult init = run_command("init " + machine);
    ASSERT_EQ(init.exitCode, 0) << init.output;
    EXPECT_EQ(run_command("init " + machine).exitCode, 0);
    // The parent's own lists, as the list dialogs store them.
    ASSERT_EQ(lexs_openit(), 1);
    const char value[LEXS_VALUE_SIZE] = {0};
    ASSERT_EQ(lexs_insertdb(value, "badsite.com", BlockedSite, -1), 1);
    ASSERT_EQ(lexs_insertdb(value, "forbidden phrase", Phrase, -1), 1);
    lexs_closedbase();

    CommandResult policy = run_command("policy " + machine);
    ASSERT_EQ(policy.exitCode, 0) << policy.output;
    for (const char* expected : {"[x]  0  Pornography", "[ ]  3  Gambling", "World Wide Web (HTTP)", "Saturday",
                                 "Filtering: off", "Disallowed sites (1):\n    badsite.com",
                                 "Disallowed phrases (1):\n    forbidden phrase", "Topic words of the selected topics (",
                                 "SS~~00A Gambling"}) {
        EXPECT_NE(policy.output.find(expected), std::string::npos) << expected << "\n" << policy.output;
    }
    EXPECT_EQ(policy.output.find("missing or damaged"), std::string::npos) << policy.output;
    EXPECT_EQ(run_command("policy --root '" + root.file("absent") + "'").exitCode, 1);
}

const char kTcpipKey[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";

// The text in a buffer of exactly its length, so that a read past it is caught by ASan.
std::string first_name_server(const std::string& text) {
    std::unique_ptr<char[]> exact(new char[text.size()]);
    memcpy(exact.get(), text.data(), text.size());
    return qf::first_ipv4_name_server(exact.get(), text.size());
}

TEST(NameServer, TheFirstIpv4NameserverLineOfResolvConfIsTaken) {
    const struct {
        const char* text;
        const char* server;
    } cases[] = {
        {"nameserver 192.0.2.53\n", "192.0.2.53"},
        {"# nameserver 192.0.2.1\n; nameserver 192.0.2.2\nsearch example.org\nnameserver 192.0.2.3", "192.0.2.3"},
        {"nameserver 2001:db8::1\nnameserver 192.0.2.4\nnameserver 192.0.2.5\n", "192.0.2.4"},
        {"  \tnameserver\t192.0.2.6  # the router\r\n", "192.0.2.6"},
        {"nameserver 192.0.2.7#x\n", "192.0.2.7"},
        {"nameservers 192.0.2.8\nnameserver192.0.2.9\nNAMESERVER 192.0.2.10\n", ""},
        {"nameserver 192.0.2.300\nnameserver 192.0.2\nnameserver 1921.0.2.5\n", ""},
        {"nameserver", ""},
        {"nameserver ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(first_name_server(c.text), c.server);
    }
}

TEST(NameServer, OnlyAnIpv4AddressWithAnOptionalPortIsAServer) {
    for (const char* good : {"192.0.2.53", "127.0.0.1:5353", "10.0.0.1:1", "10.0.0.1:65535"}) {
        EXPECT_TRUE(qf::valid_name_server(good, strlen(good))) << good;
    }
    for (const char* bad : {"", "ns.example.org", "192.0.2", "192.0.2.53:", "192.0.2.53:0", "192.0.2.53:65536",
                            "192.0.2.53:+53", "192.0.2.53:53:53", "::1", ":53", "192.0.2.53 ", "192.0.2.530"}) {
        EXPECT_FALSE(qf::valid_name_server(bad, strlen(bad))) << bad;
    }
}

TEST_F(Machine, InitSeedsTheNameServerOfThisLinuxMachine) {
    init();
    std::ifstream in("/etc/resolv.conf", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string expected = first_name_server(text);
    EXPECT_EQ(registry_string(kTcpipKey, "NameServer"), expected.empty() ? "<unreadable>" : expected);
}

TEST_F(Machine, SetNameserverReplacesTheServerAndInitKeepsIt) {
    const std::string machine = " --root '" + root.path() + "'";
    CommandResult refused = run_command("set-nameserver 127.0.0.1:5353" + machine);
    EXPECT_EQ(refused.exitCode, 1) << "no machine there yet";
    EXPECT_NE(refused.output.find("quillfence-machine init"), std::string::npos) << refused.output;

    ASSERT_EQ(run_command("init" + machine).exitCode, 0);
    CommandResult set = run_command("set-nameserver 127.0.0.1:5353" + machine);
    ASSERT_EQ(set.exitCode, 0) << set.output;
    EXPECT_EQ(set.output, "name server: 127.0.0.1:5353\n");
    EXPECT_EQ(registry_string(kTcpipKey, "NameServer"), "127.0.0.1:5353");
    ASSERT_EQ(run_command("init" + machine).exitCode, 0);
    EXPECT_EQ(registry_string(kTcpipKey, "NameServer"), "127.0.0.1:5353");

    for (const char* bad : {"set-nameserver ns.example.org", "set-nameserver 127.0.0.1:0", "set-nameserver",
                            "set-nameserver 192.0.2.1 192.0.2.2"}) {
        SCOPED_TRACE(bad);
        CommandResult result = run_command(bad + machine);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.output.find("usage: quillfence-machine"), std::string::npos) << result.output;
    }
    EXPECT_EQ(registry_string(kTcpipKey, "NameServer"), "127.0.0.1:5353");
}

}  // namespace

namespace {

// A stand-in viewer that writes its arguments to args.txt beside itself.
std::string make_recording_viewer(const qf_test::TempMachineRoot& root) {
    const std::string viewer = root.file("viewer.sh");
    std::ofstream(viewer) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << root.file("args.txt")
                          << "'\n";
    chmod(viewer.c_str(), 0755);
    return viewer;
}

const char kViewerValue[] = "C:\\Program Files\\Quillfence\\bin\\quillfence-log-viewer";

TEST_F(Machine, LogViewerIsRegisteredWhereViewLogAndSpawnFindIt) {
    init();
    const std::string viewer = make_recording_viewer(root);
    std::string registered, error;
    ASSERT_TRUE(qf::machine_register_log_viewer(viewer, registered, error)) << error;
    EXPECT_EQ(kViewerValue, registered);
    EXPECT_EQ(kViewerValue, registry_string(qf::kLogViewerAppPathKey, ""));
    const std::string link = root.file("drive_c/Program Files/Quillfence/bin/quillfence-log-viewer");
    EXPECT_EQ(std::filesystem::canonical(viewer), std::filesystem::read_symlink(link));
    // Started as View Log starts it: the Windows path, "wordpad.exe", the quoted dump path.
    ASSERT_EQ(0, _spawnl(_P_WAIT, registered.c_str(), "wordpad.exe", "\"C:\\Program Files\\x y.txt\"", NULL));
    std::ifstream args(root.file("args.txt"));
    std::string first;
    std::getline(args, first);
    EXPECT_EQ("C:\\Program Files\\x y.txt", first);

    // A second registration, of another program, keeps the first.
    const std::string other = root.file("other.sh");
    std::filesystem::copy_file(viewer, other);
    ASSERT_TRUE(qf::machine_register_log_viewer(other, registered, error)) << error;
    EXPECT_EQ(kViewerValue, registered);
    EXPECT_EQ(std::filesystem::canonical(viewer), std::filesystem::read_symlink(link));
}

TEST_F(Machine, LogViewerValueAlreadyThereIsKept) {
    init();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, qf::kLogViewerAppPathKey, 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const char value[] = "\"%ProgramFiles%\\Windows NT\\Accessories\\WORDPAD.EXE\"";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value), sizeof(value)));
    RegCloseKey(key);
    std::string registered, error;
    ASSERT_TRUE(qf::machine_register_log_viewer(make_recording_viewer(root), registered, error)) << error;
    EXPECT_EQ(value, registered);
    EXPECT_EQ(value, registry_string(qf::kLogViewerAppPathKey, ""));
    EXPECT_FALSE(std::filesystem::exists(root.file("drive_c/Program Files/Quillfence/bin/quillfence-log-viewer")));
}

TEST_F(Machine, MissingLogViewerIsRefusedAndNothingRegistered) {
    init();
    std::string registered, error;
    EXPECT_FALSE(qf::machine_register_log_viewer(root.file("absent"), registered, error));
    EXPECT_NE(std::string::npos, error.find("absent")) << error;
    EXPECT_EQ("<unreadable>", registry_string(qf::kLogViewerAppPathKey, ""));
}

}  // namespace
