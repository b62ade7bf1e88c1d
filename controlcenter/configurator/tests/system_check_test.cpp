// SystemCheck on the version values of each Windows it knows.
#include "configurator_test_support.h"

#include "system_check.h"

namespace configurator_test {
namespace {

const char kNt[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kWindows[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// Windows NT and Windows 98 spell the Winsock key and value differently; registry names ignore case,
// so both are one value.
const char kWinsock[] = "System\\CurrentControlSet\\Services\\Winsock2\\Parameters";
const char kWinsockSetup[] = "System\\CurrentControlSet\\Services\\Winsock2\\Setup";

// nullptr: the value is absent.
struct Case {
    const char* name;
    const char* ntVersion;
    const char* servicePack;
    const char* product;
    const char* windowsVersion;
    const char* winsock;
    int ws95Installed;  // -1: absent
    bool passes;
};

const Case kCases[] = {
    {"nt4_sp3", "4.0", "Service Pack 3", "", nullptr, nullptr, -1, false},
    {"nt4_sp4", "4.0", "Service Pack 4", "", nullptr, nullptr, -1, true},
    {"nt4_sp6", "4.0", "Service Pack 6", "", nullptr, nullptr, -1, true},
    {"nt351_sp5", "3.51", "Service Pack 5", "", nullptr, nullptr, -1, false},
    {"nt_version_not_a_number", "x", "Service Pack 6", "", nullptr, nullptr, -1, false},
    {"service_pack_text_other_major5", "5.0", "Release Candidate 2", "", nullptr, nullptr, -1, true},
    {"service_pack_text_other_major4", "4.0", "Beta", "", nullptr, nullptr, -1, true},
    {"w2000_no_sp_winsock2", "5.0", nullptr, "Microsoft Windows 2000", nullptr, "2.0", -1, true},
    {"w2000_no_sp_winsock2_2", "5.0", nullptr, "Microsoft Windows 2000", nullptr, "2.2", -1, true},
    {"w2000_no_sp_winsock1", "5.0", nullptr, "Microsoft Windows 2000", nullptr, "1.1", -1, false},
    {"w2000_no_sp_no_winsock", "5.0", nullptr, "Microsoft Windows 2000", nullptr, nullptr, -1, false},
    {"nt5_no_sp_not_2000", "5.1", nullptr, "Microsoft Windows XP", nullptr, "2.0", -1, false},
    {"nt5_no_sp_no_product", "5.0", nullptr, nullptr, nullptr, "2.0", -1, false},
    {"w98_winsock20", nullptr, nullptr, nullptr, "4.10.1998 Windows 98", "2.0", -1, true},
    {"w98_winsock21", nullptr, nullptr, nullptr, "Windows 98", "2.1", -1, false},
    {"w98_no_winsock", nullptr, nullptr, nullptr, "Windows 98", nullptr, -1, false},
    {"me_winsock20", nullptr, nullptr, nullptr, "Windows Millennium Edition", "2.0", -1, true},
    {"me_winsock20_trailing", nullptr, nullptr, nullptr, "Windows Millennium Edition", "2.0 ", -1, false},
    {"w95_installed", nullptr, nullptr, nullptr, "Windows 95", nullptr, 1, true},
    {"w95_not_installed", nullptr, nullptr, nullptr, "Windows 95", "2.0", 0, false},
    {"w95_never_installed", nullptr, nullptr, nullptr, "Windows 95", "2.0", -1, false},
    {"no_version_at_all", nullptr, nullptr, nullptr, nullptr, "2.0", 1, false},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class SystemCheckCases : public ControlCenter, public ::testing::WithParamInterface<Case> {};

void put(const char* key, const char* name, const char* value) {
    if (value)
        set_string(key, name, value);
    else
        delete_value(key, name);
}

TEST_P(SystemCheckCases, JudgesTheVersionValues) {
    const Case& c = GetParam();
    put(kNt, "CurrentVersion", c.ntVersion);
    put(kNt, "CSDVersion", c.servicePack);
    put(kNt, "ProductName", c.product);
    put(kWindows, "Version", c.windowsVersion);
    put(kWinsock, "Winsock_Registry_Version", c.winsock);
    if (c.ws95Installed >= 0)
        set_dword(kWinsockSetup, "WS2_95_Install_Success", static_cast<DWORD>(c.ws95Installed));
    else
        delete_value(kWinsockSetup, "WS2_95_Install_Success");
    EXPECT_EQ(c.passes, SystemCheck());
}

INSTANTIATE_TEST_SUITE_P(Windows, SystemCheckCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace configurator_test
