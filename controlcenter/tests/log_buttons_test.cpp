// The log buttons: View Log runs the App Paths viewer on a dump of the log and deletes the dump;
// Erase Log asks first.
#include "installer_test_support.h"
#include "recording_window.h"

#include <log_buttons.h>

#include <vtlogger.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using controlcenter_test::RecordingWindow;
using controlcenter_test::ShownBox;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

namespace fs = std::filesystem;

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void set_wordpad_path(const char* value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kWordPadAppPathKey, 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value),
                                            static_cast<DWORD>(strlen(value) + 1)));
    RegCloseKey(key);
}

// A seeded machine with two log entries and a stand-in WordPad at C:\Tools\wordpad.sh that
// writes its arguments to viewer-args.txt and what the file of its first argument held to
// viewer-saw.txt.
class LogButtons : public installer_test::SeededMachine {
protected:
    void SetUp() override {
        installer_test::SeededMachine::SetUp();
        VTLogger_Free();  // the log of this test's root
        ASSERT_EQ(1, VTLogger_Submit("BLOCK", 80, "first entry"));
        ASSERT_EQ(1, VTLogger_Submit("INFORM", 0, "second entry"));
        fs::create_directories(root_.file("drive_c/Tools"));
        const std::string viewer = root_.file("drive_c/Tools/wordpad.sh");
        std::ofstream(viewer) << "#!/bin/sh\n"
                                 "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$QUILLFENCE_ROOT/viewer-args.txt\"\n"
                                 "f=$(printf '%s' \"$1\" | sed -e \"s|^C:|$QUILLFENCE_ROOT/drive_c|\" -e 's|\\\\|/|g')\n"
                                 "cat \"$f\" > \"$QUILLFENCE_ROOT/viewer-saw.txt\"\n";
        chmod(viewer.c_str(), 0755);
    }
    void TearDown() override { VTLogger_Free(); }
    std::vector<std::string> dumps_left() const {
        std::vector<std::string> dumps;
        for (const auto& entry : fs::directory_iterator(root_.file("drive_c/Program Files/Quillfence/log")))
            if (entry.path().filename().string().rfind("vtlog-", 0) == 0) dumps.push_back(entry.path().string());
        return dumps;
    }
    std::vector<std::string> entries() const {
        VTLogEntry read[8];
        const int count = VTLogger_ReadEntries(0, read, 8);
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) texts.push_back(read[i].text);
        return texts;
    }

    RecordingWindow window_;
};

TEST_F(LogButtons, ViewLogShowsTheDumpInTheViewerAndDeletesItAfterwards) {
    struct Case {
        const char* appPath;
        bool viewerRuns;
    };
    const Case cases[] = {
        {"\"%SystemDrive%\\Tools\\wordpad.sh\"", true},  // expanded, the quotation marks taken off
        {"C:\\Tools\\wordpad.sh", true},
        {"%SystemDrive%\\Tools\\wordpad.sh", true},  // expanded, nothing to take off
        {"C:\\Tools\\no-wordpad.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.appPath);
        fs::remove(root_.file("viewer-args.txt"));
        fs::remove(root_.file("viewer-saw.txt"));
        window_ = RecordingWindow();
        set_wordpad_path(c.appPath);
        ViewLog(window_);
        EXPECT_THAT(window_.buttons, ElementsAre("1011 off", "1011 on"));
        EXPECT_THAT(window_.cursor, ElementsAre("wait", "restore"));
        EXPECT_TRUE(window_.boxes.empty());
        EXPECT_TRUE(dumps_left().empty());
        if (!c.viewerRuns) {
            EXPECT_FALSE(fs::exists(root_.file("viewer-args.txt")));
            continue;
        }
        // One argument: the dump's Windows path, without the quotation marks it was given in.
        EXPECT_THAT(read_text(root_.file("viewer-args.txt")),
                    MatchesRegex("C:\\\\Program Files\\\\Quillfence\\\\log\\\\vtlog-[-0-9]*\\.txt\n"));
        const std::string shown = read_text(root_.file("viewer-saw.txt"));
        EXPECT_THAT(shown, HasSubstr("80  first entry"));
        EXPECT_THAT(shown, HasSubstr("second entry"));
    }
}

TEST_F(LogButtons, ViewLogWithoutAWordPadPathStillDumpsAndDeletes) {
    ViewLog(window_);
    EXPECT_FALSE(fs::exists(root_.file("viewer-args.txt")));
    EXPECT_TRUE(dumps_left().empty());
    EXPECT_THAT(window_.buttons, ElementsAre("1011 off", "1011 on"));
}

TEST_F(LogButtons, EraseLogAsksAndErasesOnlyOnYes) {
    const ShownBox question = {"The current log will be completely erased.\nDo you want to erase the log ?",
                               "Quillfence - Erase log", MB_YESNO | MB_DEFBUTTON2};
    window_.answer = IDNO;
    EXPECT_FALSE(EraseLog(window_));
    EXPECT_THAT(window_.boxes, ElementsAre(question));
    EXPECT_THAT(entries(), ElementsAre("first entry", "second entry"));

    window_ = RecordingWindow();
    window_.answer = IDYES;
    EXPECT_TRUE(EraseLog(window_));
    EXPECT_THAT(window_.boxes, ElementsAre(question));
    EXPECT_TRUE(entries().empty());
}

}  // namespace
