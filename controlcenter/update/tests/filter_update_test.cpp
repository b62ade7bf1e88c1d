// Filter updates against an update server of the test's own on loopback, in seeded machine roots.
#include <filter_update.h>

#include <http_test_server.h>
#include <machine.h>
#include <recording_window.h>
#include <temp_machine_root.h>

#include <VTList.h>
#include <commctrl.h>
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using controlcenter_test::RecordingWindow;
using controlcenter_test::ShownBox;
using qf_test::HttpAnswer;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace fs = std::filesystem;

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string pattern(size_t length, char seed) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(seed + i * 31 + i / 256);
    return bytes;
}

void set_registry_string(const char* key, const char* name, const std::string& value) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &handle, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1)));
    RegCloseKey(handle);
}

const char kProductKey[] = "SOFTWARE\\Marrowby\\Quillfence\\2.2";

// A topic list file as the server sends it: count topics named names, flags as given, in the
// stored form of the topic list store (names of entries 0 to count raised by 32).
std::string topic_list_file(const std::vector<std::string>& names, INT count, const std::vector<int>& flags = {}) {
    TopicRecord record{};
    vtlist_init(&record);
    record.count = count;
    for (size_t i = 0; i < names.size() && i < VTLIST_ENTRIES; ++i) {
        record.entries[i].id = static_cast<INT>(100 + i);
        snprintf(record.entries[i].name, VTLIST_NAME_SIZE, "%s", names[i].c_str());
        record.entries[i].enabled = i < flags.size() ? flags[i] : 0;
    }
    const int converted = count < 0 ? 0 : (count >= VTLIST_ENTRIES ? VTLIST_ENTRIES : count + 1);
    for (int i = 0; i < converted; ++i)
        for (char& c : record.entries[i].name) c = static_cast<char>(c + 32);
    return std::string(reinterpret_cast<const char*>(&record), sizeof(record));
}

std::string topic_list_file(const std::vector<std::string>& names) {
    return topic_list_file(names, static_cast<INT>(names.size()));
}

// Selects exactly the entries at positions in the installed topic list.
void select_topics(const std::vector<int>& positions) {
    TopicRecord record{};
    ASSERT_EQ(1, vtlist_read(&record));
    for (TopicEntry& entry : record.entries) entry.enabled = 0;
    for (int position : positions) record.entries[position].enabled = 1;
    ASSERT_EQ(1, vtlist_write(&record));
}

struct Topics {
    std::vector<std::string> names;
    std::vector<int> flags;
};

// The installed topic list: the names and flags of the topics in use.
Topics installed_topics() {
    TopicRecord record{};
    Topics topics;
    if (vtlist_read(&record) != 1) return topics;
    for (int i = 0; i < record.count && i < VTLIST_ENTRIES; ++i) {
        topics.names.push_back(record.entries[i].name);
        topics.flags.push_back(record.entries[i].enabled);
    }
    return topics;
}

const ShownBox kFailedBox = {"Error updating filter.\nPlease retry later.", "Quillfence - Filter update",
                             MB_OK | MB_ICONSTOP};
const ShownBox kDoneBox = {
    "Filter update successfully completed.\nPlease review your selections from the filter topic list.",
    "Quillfence - Filter update", MB_OK | MB_ICONINFORMATION};

const char kSizePath[] = "/downloads/filters/v2/dload0.dd0";
const char kDataPath[] = "/downloads/filters/v2/dload1.dd1";
const char kIndexPath[] = "/downloads/filters/v2/dload2.dd2";
const char kTopicsPath[] = "/downloads/filters/v2/dload3.dd3";

// A seeded machine whose update server is the test's server.
class FilterUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(qf::machine_init(root_.path(), error)) << error;
        set_registry_string(kProductKey, "UpdateServer", server_.address());
        installedBefore_ = installed_bytes();
        ASSERT_FALSE(installedBefore_[0].empty()) << "the factory dictionary is seeded";
    }

    std::string dbdir_file(const std::string& relative) const {
        return root_.file("drive_c/Program Files/Quillfence/" + relative);
    }
    std::string system_file(const std::string& name) const { return root_.file("drive_c/WINDOWS/SYSTEM32/" + name); }

    std::vector<std::string> installed_bytes() const {
        return {read_bytes(dbdir_file("db/dict1/worddict.dat")), read_bytes(dbdir_file("db/dict1/worddict.idx")),
                read_bytes(system_file("ixplor64.dll"))};
    }
    std::vector<std::string> log_folder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dbdir_file("log"))) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("access.db", 0) != 0) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    bool any_backup() const {
        return fs::exists(dbdir_file("db/dict1/worddict_ori.dat")) || fs::exists(dbdir_file("db/dict1/worddict_ori.idx")) ||
               fs::exists(system_file("ixlpor64_ori.dll"));
    }

    // The server's four files.
    void serve(const std::string& sizes, const std::string& data, const std::string& index, const std::string& topics) {
        server_.answer(kSizePath, HttpAnswer(200, sizes));
        server_.answer(kDataPath, HttpAnswer(200, data));
        server_.answer(kIndexPath, HttpAnswer(200, index));
        server_.answer(kTopicsPath, HttpAnswer(200, topics));
    }
    void serve_good_update(const std::string& topics) {
        data_ = pattern(1000, 'd');
        index_ = pattern(200, 'i');
        serve("1000\n200\n" + std::to_string(topics.size()) + "\n", data_, index_, topics);
    }

    // The update ended with the error box alone, re-enabled the button, set no marker and left
    // the installed files as they were.
    void expect_failed_cleanly() const {
        EXPECT_THAT(window_.boxes, ElementsAre(kFailedBox));
        EXPECT_EQ("1013 on", window_.buttons.back());
        EXPECT_EQ(0, window_.markers);
        EXPECT_EQ(installedBefore_, installed_bytes());
        EXPECT_FALSE(any_backup());
    }

    qf_test::TempMachineRoot root_;
    qf_test::HttpTestServer server_;
    RecordingWindow window_;
    std::vector<std::string> installedBefore_;
    std::string data_;
    std::string index_;
};

TEST_F(FilterUpdateTest, AnUpdateInstallsTheDownloadsAndRemovesThemAndTheBackups) {
    const std::string topics = topic_list_file({"Alpha", "Beta", "Gamma", "Delta", "Epsilon"});
    serve_good_update(topics);
    FilterUpdate(window_).UpdateFilter();

    EXPECT_THAT(window_.boxes, ElementsAre(kDoneBox));
    EXPECT_EQ(1, window_.markers);
    EXPECT_THAT(window_.buttons, ElementsAre("1013 off", "1013 on"));
    EXPECT_EQ(data_, read_bytes(dbdir_file("db/dict1/worddict.dat")));
    EXPECT_EQ(index_, read_bytes(dbdir_file("db/dict1/worddict.idx")));
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}), installed_topics().names);
    EXPECT_TRUE(log_folder().empty()) << "the four downloads are gone";
    EXPECT_FALSE(any_backup());
    EXPECT_THAT(server_.requested_paths(), ElementsAre(kSizePath, kDataPath, kIndexPath, kTopicsPath));

    // The progress bar: 0..4096 for the size file, then 0..the announced total, advanced by every
    // byte, then back to 0..100 at 0.
    const std::string sizeText = "1000\n200\n" + std::to_string(topics.size()) + "\n";
    const long long total = 1000 + 200 + static_cast<long long>(topics.size());
    ASSERT_GE(window_.progress.size(), 6u);
    EXPECT_EQ(static_cast<UINT>(PBM_SETRANGE), window_.progress.front().message);
    EXPECT_EQ(MAKELPARAM(0, 4096), window_.progress.front().lParam);
    int setRange32 = 0;
    for (const controlcenter_test::ProgressMessage& m : window_.progress) {
        if (m.message != PBM_SETRANGE32) continue;
        ++setRange32;
        EXPECT_EQ(0u, m.wParam);
        EXPECT_EQ(total, m.lParam);
    }
    EXPECT_EQ(1, setRange32);
    EXPECT_EQ(total + static_cast<long long>(sizeText.size()), window_.advanced());
    const auto& last = window_.progress;
    EXPECT_EQ(static_cast<UINT>(PBM_SETRANGE), last[last.size() - 2].message);
    EXPECT_EQ(MAKELPARAM(0, 100), last[last.size() - 2].lParam);
    EXPECT_EQ(static_cast<UINT>(PBM_SETPOS), last.back().message);
    EXPECT_EQ(0u, last.back().wParam);
}

TEST_F(FilterUpdateTest, EveryRequestCarriesExactlyTheUpdatesHeaders) {
    serve_good_update(topic_list_file({"Alpha"}));
    FilterUpdate(window_).UpdateFilter();
    const std::vector<qf_test::HttpRequest> requests = server_.requests();
    ASSERT_EQ(4u, requests.size());
    for (const qf_test::HttpRequest& request : requests) {
        EXPECT_EQ("GET", request.method);
        EXPECT_EQ("HTTP/1.1", request.version);
        EXPECT_THAT(request.headerLines,
                    ElementsAre("Host: " + server_.address(), "User-Agent: filterupdate_tests",
                                "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, image/png, */*",
                                "Accept-Encoding: gzip", "Accept-Language: en", "Accept-Charset: iso-8859-1,*,utf-8"))
            << request.path;
    }
}

TEST_F(FilterUpdateTest, SelectionsAreCarriedOverByPosition) {
    struct Case {
        const char* name;
        std::vector<int> selectedBefore;
        std::vector<std::string> newTopics;
        std::vector<int> newFlags;  // as the server sends them
        std::vector<int> flagsAfter;
    };
    const Case cases[] = {
        {"same positions, other names", {0, 2}, {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}, {0, 1, 0, 1, 0},
         {1, 0, 1, 0, 0}},
        {"a shorter list keeps the positions it has", {0, 2, 5}, {"Alpha", "Beta", "Gamma"}, {}, {1, 0, 1}},
        {"nothing selected before", {}, {"Alpha", "Beta"}, {1, 1}, {0, 0}},
        {"a longer list", {7}, std::vector<std::string>(20, "T"), {},
         {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TopicRecord factory{};
        ASSERT_EQ(1, vtlist_regen(&factory));  // the eight factory topics
        select_topics(c.selectedBefore);
        window_ = RecordingWindow();
        serve_good_update(topic_list_file(c.newTopics, static_cast<INT>(c.newTopics.size()), c.newFlags));
        FilterUpdate(window_).UpdateFilter();
        EXPECT_THAT(window_.boxes, ElementsAre(kDoneBox));
        EXPECT_EQ(c.flagsAfter, installed_topics().flags);
        EXPECT_EQ(c.newTopics, installed_topics().names);
    }
}

TEST_F(FilterUpdateTest, TamperedTopicCountsNeverReachPastTheLastEntry) {
    // Old and new lists that claim far more topics than the twenty entries (and a negative count).
    TopicRecord old{};
    ASSERT_EQ(1, vtlist_read(&old));
    for (TopicEntry& entry : old.entries) entry.enabled = 1;
    old.count = 1000;
    ASSERT_EQ(1, vtlist_write(&old));
    serve_good_update(topic_list_file(std::vector<std::string>(20, "T"), 5000));
    FilterUpdate(window_).UpdateFilter();
    EXPECT_THAT(window_.boxes, ElementsAre(kDoneBox));
    TopicRecord after{};
    ASSERT_EQ(1, vtlist_read(&after));
    EXPECT_EQ(5000, after.count);
    for (const TopicEntry& entry : after.entries) EXPECT_EQ(1, entry.enabled);

    window_ = RecordingWindow();
    serve_good_update(topic_list_file({"A", "B"}, -7, {1, 1}));
    FilterUpdate(window_).UpdateFilter();
    EXPECT_THAT(window_.boxes, ElementsAre(kDoneBox));
    ASSERT_EQ(1, vtlist_read(&after));
    EXPECT_EQ(-7, after.count);
    EXPECT_EQ(1, after.entries[0].enabled) << "no entry is in use, so none is touched";
}

TEST_F(FilterUpdateTest, AFailedDownloadOrSizeEndsTheUpdateAndLeavesTheEarlierDownloads) {
    struct Case {
        const char* name;
        std::string sizes;
        std::string data;
        std::string index;
        int topicsStatus;
        std::vector<std::string> requested;
        std::vector<std::string> logFolder;
    };
    const std::string topics = topic_list_file({"Alpha"});
    const std::string counts = "1000\n200\n" + std::to_string(topics.size()) + "\n";
    const Case cases[] = {
        {"dictionary data one byte short", counts, pattern(999, 'd'), pattern(200, 'i'), 200,
         {kSizePath, kDataPath}, {"dload1.dat"}},
        {"dictionary index one byte long", counts, pattern(1000, 'd'), pattern(201, 'i'), 200,
         {kSizePath, kDataPath, kIndexPath}, {"dload1.dat", "dload1.idx"}},
        {"topic list not found", counts, pattern(1000, 'd'), pattern(200, 'i'), 404,
         {kSizePath, kDataPath, kIndexPath, kTopicsPath}, {"dict.dat", "dload1.dat", "dload1.idx"}},
        {"a zero count", "1000\n0\n5000\n", "", "", 200, {kSizePath}, {}},
        {"a count that is no number", "1000\nabc\n5000\n", "", "", 200, {kSizePath}, {}},
        {"two lines only", "1000\n200\n", "", "", 200, {kSizePath}, {}},
        {"a negative count", "1000\n-200\n5000\n", "", "", 200, {kSizePath}, {}},
        {"counts past the progress bar's range", "2000000000\n2000000000\n1\n", "", "", 200, {kSizePath}, {}},
        {"an empty size file", "", "", "", 200, {kSizePath}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : log_folder()) fs::remove(dbdir_file("log/" + name));
        window_ = RecordingWindow();
        qf_test::HttpTestServer server;
        set_registry_string(kProductKey, "UpdateServer", server.address());
        server.answer(kSizePath, HttpAnswer(200, c.sizes));
        server.answer(kDataPath, HttpAnswer(200, c.data));
        server.answer(kIndexPath, HttpAnswer(200, c.index));
        server.answer(kTopicsPath, HttpAnswer(c.topicsStatus, c.topicsStatus == 200 ? topics : "not here"));
        FilterUpdate(window_).UpdateFilter();
        expect_failed_cleanly();
        EXPECT_EQ(c.requested, server.requested_paths());
        EXPECT_EQ(c.logFolder, log_folder()) << "the size file is deleted once read";
        if (c.logFolder.size() == 3) {
            EXPECT_EQ("", read_bytes(dbdir_file("log/dict.dat"))) << "empty after a 404";
        }
        if (!c.logFolder.empty()) {
            EXPECT_EQ(c.data, read_bytes(dbdir_file("log/dload1.dat")));
        }
    }
}

TEST_F(FilterUpdateTest, ASizeFileThatIsNotThereLeavesAnEmptyLocalFile) {
    server_.answer(kSizePath, HttpAnswer(500, "server trouble"));
    FilterUpdate(window_).UpdateFilter();
    expect_failed_cleanly();
    EXPECT_THAT(server_.requested_paths(), ElementsAre(kSizePath));
    EXPECT_THAT(log_folder(), ElementsAre("sdload.inf"));
    EXPECT_EQ("", read_bytes(dbdir_file("log/sdload.inf")));
}

// Takes a download away after it was checked, so that installing it fails once the installed
// files began to be replaced.
class LosingDownload : public FilterUpdate {
public:
    LosingDownload(AdvancedWindow& window, std::string lose) : FilterUpdate(window), lose_(std::move(lose)) {}
    int DownloadFile(const char* localPath, const char* serverPath, int& byteCount) override {
        const int result = FilterUpdate::DownloadFile(localPath, serverPath, byteCount);
        if (std::string(serverPath) == "/downloads/filters/v2/dload3.dd3") DeleteFileA(lose_.c_str());
        return result;
    }

private:
    std::string lose_;
};

TEST_F(FilterUpdateTest, AFailureAfterTheReplacementBeganPutsEveryInstalledFileBack) {
    select_topics({1, 3});
    installedBefore_ = installed_bytes();
    for (const char* lost : {"C:\\Program Files\\Quillfence\\log\\dict.dat",
                             "C:\\Program Files\\Quillfence\\log\\dload1.idx"}) {
        SCOPED_TRACE(lost);
        window_ = RecordingWindow();
        serve_good_update(topic_list_file({"Alpha", "Beta"}));
        LosingDownload(window_, lost).UpdateFilter();
        expect_failed_cleanly();
        EXPECT_EQ((std::vector<int>{0, 1, 0, 1, 0, 0, 0, 0}), installed_topics().flags);
    }
}

TEST_F(FilterUpdateTest, AnUnreachableServerShowsTheInternetErrorThenTheUpdatesMessage) {
    set_registry_string(kProductKey, "UpdateServer", "127.0.0.1:" + std::to_string(qf_test::unused_loopback_port()));
    FilterUpdate(window_).UpdateFilter();
    ASSERT_EQ(2u, window_.boxes.size());
    EXPECT_THAT(window_.boxes[0].text, HasSubstr("Couldn't connect to server"));
    EXPECT_EQ("Error", window_.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), window_.boxes[0].type);
    EXPECT_EQ(kFailedBox, window_.boxes[1]);
    EXPECT_EQ(installedBefore_, installed_bytes());
    EXPECT_THAT(log_folder(), ElementsAre("sdload.inf")) << "made (empty) whatever the answer";
}

TEST_F(FilterUpdateTest, AMissingOrUnusableServerValueOrLogFolderFailsTheUpdate) {
    struct Case {
        const char* name;
        const char* server;  // null: the value is deleted
        bool removeLogFolder;
        size_t requests;
    };
    const Case cases[] = {
        {"no UpdateServer value", nullptr, false, 0},
        {"a port that is no port", "127.0.0.1:99999", false, 0},
        {"an empty host", ":8080", false, 0},
        {"no log folder to download into", "", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_ = RecordingWindow();
        if (!c.server) {
            HKEY key;
            ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key));
            RegDeleteValueA(key, "UpdateServer");
            RegCloseKey(key);
        } else {
            set_registry_string(kProductKey, "UpdateServer", *c.server ? c.server : server_.address());
        }
        if (c.removeLogFolder) fs::remove_all(dbdir_file("log"));
        serve_good_update(topic_list_file({"Alpha"}));
        const size_t before = server_.requests().size();
        FilterUpdate(window_).UpdateFilter();
        expect_failed_cleanly();
        EXPECT_EQ(c.requests, server_.requests().size() - before);
    }
}

}  // namespace
