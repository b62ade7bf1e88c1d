// The site of each kind of line the filter writes, read within the given length.
#include "log_site.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct Case {
    const char* name;
    const char* text;
    const char* site;
};

const Case kCases[] = {
    {"name look-up", "Violation in site name (casino.example)", "casino.example"},
    {"name look-up in capitals", "Violation in site name (Casino.EXAMPLE)", "casino.example"},
    {"host and address", "casino.example (10.1.2.3); disallowed content encountered.", "casino.example"},
    {"address only", "10.1.2.3; disallow list.", "10.1.2.3"},
    {"earlier verdict", "casino.example (10.1.2.3); disallowed content encountered previously.", "casino.example"},
    {"rating", "pages.example (10.1.2.3); Due to RSACi rating.", "pages.example"},
    {"violations", "pages.example (10.1.2.3); 12 violations.", "pages.example"},
    {"host with a port", "pages.example:8080 (10.1.2.3); 1 violation.", "pages.example"},
    {"host that holds the separator", "a; b.example (10.1.2.3); 1 violation.", "a; b.example"},
    {"host that holds parentheses", "x (y) (10.1.2.3); 1 violation.", "x (y)"},
    {"blocked protocol", "Chat (IRC) connection to 10.9.8.7.", "10.9.8.7"},
    {"blocked protocol over IPv6", "World Wide Web (HTTP) connection to 2001:db8::1.", "2001:db8::1"},
    {"blocked protocol without an address", "Telnet connection to .", ""},
    {"time management", "Blocked access as per time management configuration.", ""},
    {"unfinished name line", "Violation in site name (casino.exa", ""},
    {"empty", "", ""},
};

TEST(LogSite, ReadsTheSiteOfEachLineTheFilterWrites) {
    for (const Case& c : kCases) {
        // Exactly the text's bytes, no terminator after them: a read past the length is caught.
        std::vector<char> text(c.text, c.text + strlen(c.text));
        char site[255];
        memset(site, 'x', sizeof(site));
        const size_t length = logreport_site(text.data(), text.size(), site, sizeof(site));
        EXPECT_STREQ(c.site, site) << c.name;
        EXPECT_EQ(strlen(c.site), length) << c.name;
    }
}

TEST(LogSite, StopsAtTheGivenLength) {
    const char text[] = "Violation in site name (casino.example)";
    char site[255];
    EXPECT_EQ(0u, logreport_site(text, strlen(text) - 1, site, sizeof(site))) << "the closing parenthesis is past it";
    EXPECT_STREQ("", site);
}

TEST(LogSite, CutsTheSiteToTheBuffer) {
    const char text[] = "casino.example (10.1.2.3); disallow list.";
    char site[7];
    EXPECT_EQ(6u, logreport_site(text, strlen(text), site, sizeof(site)));
    EXPECT_STREQ("casino", site);
    char one[1];
    EXPECT_EQ(0u, logreport_site(text, strlen(text), one, sizeof(one)));
    EXPECT_STREQ("", one);
}

}  // namespace
