// The update's small parsers: the size file and the UpdateServer value.
#include <size_file.h>
#include <update_server.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

TEST(UpdateSizes, LinesOneToThreeAreReadAsAtoiReadsThem) {
    struct Case {
        const char* text;
        size_t length;  // 0: the whole text
        bool valid;
        std::vector<int> counts;
    };
    const Case cases[] = {
        {"1000\n200\n5000\n", 0, true, {1000, 200, 5000}},
        {"1000\r\n200\r\n5000\r\nmore\nlines\n", 0, true, {1000, 200, 5000}},
        {"  12abc\n+3\n7", 0, true, {12, 3, 7}},
        {"1000\n200\n5000", 11, true, {1000, 200, 50}},  // nothing past the length is read
        {"1000\n200\n5000", 9, false, {}},
        {"1000\n0\n5000\n", 0, false, {}},
        {"1000\nabc\n5000\n", 0, false, {}},
        {"1000\n\n5000\n", 0, false, {}},
        {"1000\n-1\n5000\n", 0, false, {}},
        {"2147483647\n1\n1\n", 0, false, {}},
        {"2147483645\n1\n1\n", 0, true, {2147483645, 1, 1}},
        {"99999999999999999999999\n1\n1\n", 0, false, {}},
        {"", 0, false, {}},
    };
    for (const Case& c : cases) {
        const size_t length = c.length ? c.length : strlen(c.text);
        UpdateSizes sizes = {};
        EXPECT_EQ(c.valid, ParseUpdateSizes(c.text, length, sizes)) << c.text;
        if (c.valid) {
            EXPECT_EQ(c.counts, std::vector<int>(sizes.counts, sizes.counts + 3)) << c.text;
        }
    }
}

TEST(UpdateServer, AHostWithAnOptionalPort) {
    struct Case {
        const char* text;
        bool valid;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"update.quillfence.test", true, "update.quillfence.test", 0},
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {"host:65535", true, "host", 65535},
        {"host:65536", false, "", 0},
        {"host:0", false, "", 0},
        {"host:", false, "", 0},
        {"host:80x", false, "", 0},
        {"host:-1", false, "", 0},
        {":80", false, "", 0},
        {"", false, "", 0},
    };
    for (const Case& c : cases) {
        std::string host = "unchanged";
        INTERNET_PORT port = 1;
        EXPECT_EQ(c.valid, ParseUpdateServer(c.text, host, port)) << c.text;
        if (!c.valid) continue;
        EXPECT_EQ(c.host, host) << c.text;
        EXPECT_EQ(c.port, port) << c.text;
    }
}

}  // namespace
