// Windows paths and where they land under the machine root.
#include <qf/machine_root.h>

#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(PathMapping, MapsWindowsPathsIntoDriveC) {
    qf_test::TempMachineRoot root;
    std::filesystem::create_directories(root.file("drive_c/Program Files/Quillfence"));
    const std::string drive = root.file("drive_c");
    struct Case {
        const char* windows;
        bool maps;
        std::string linuxPath;
    } cases[] = {
        {"C:\\Program Files\\Quillfence\\bin\\vterr32.dll", true, drive + "/Program Files/Quillfence/bin/vterr32.dll"},
        {"c:\\PROGRAM FILES\\quillfence\\", true, drive + "/Program Files/Quillfence"},
        {"C:/Program Files/./Quillfence", true, drive + "/Program Files/Quillfence"},
        {"C:\\WINDOWS\\SYSTEM32\\ixplor64.dll", true, drive + "/WINDOWS/SYSTEM32/ixplor64.dll"},
        {"C:", true, drive},
        {"C:\\..\\..\\etc\\passwd", true, drive + "/etc/passwd"},
        {"C:\\Program Files\\..\\..\\x", true, drive + "/x"},
        {"\\WINDOWS\\win.ini", true, drive + "/WINDOWS/win.ini"},
        {"/etc/passwd", true, drive + "/etc/passwd"},
        {"bin\\vterr32.dll", true, "bin/vterr32.dll"},
        {"..\\up", true, "../up"},
        {"D:\\Data", false, ""},
        {"\\\\server\\share\\file", false, ""},
        {"\\\\?\\C:\\x", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.windows);
        std::string mapped = "unchanged";
        EXPECT_EQ(qf::map_windows_path(c.windows, mapped), c.maps);
        if (c.maps) {
            EXPECT_EQ(mapped, c.linuxPath);
        }
    }
    std::string mapped;
    EXPECT_FALSE(qf::map_windows_path(nullptr, mapped));
}

}  // namespace
