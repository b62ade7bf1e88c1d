#include "vtpicsrsac.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// Runs the check on an exact-size heap copy, so that a read past the data is caught.
int rsac(const std::string& data, int S, int V, int N, int L) {
    std::unique_ptr<char[]> copy(new char[data.size()]);
    std::memcpy(copy.get(), data.data(), data.size());
    return vtpics_rsac_validate(copy.get(), static_cast<DWORD>(data.size()), S, V, N, L);
}

std::string meta(const std::string& ratings) {
    return "<html><head><META http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\" "
           "l gen true comment \"RSACi North America Server\" for \"http://www.example.com\" on "
           "\"1997.06.30T14:21-0500\" r (" +
           ratings + "))'></head><body>hello</body></html>";
}

// Limits chosen apart from each other, so that a category checked against the wrong level shows.
constexpr int kS = 1, kV = 2, kN = 3, kL = 0;

TEST(VtpicsRsac, EachCategoryAtAndAboveItsLevel) {
    struct Case {
        const char* category;
        int limit;
    };
    const Case cases[] = {{"s", kS}, {"v", kV}, {"n", kN}, {"l", kL}};
    for (const Case& c : cases) {
        const std::string at = std::string(c.category) + " " + std::to_string(c.limit);
        const std::string above = std::string(c.category) + " " + std::to_string(c.limit + 1);
        EXPECT_EQ(rsac(meta(at), kS, kV, kN, kL), 1) << at;
        EXPECT_EQ(rsac(meta(above), kS, kV, kN, kL), PICS_RATED_ABOVE) << above;
    }
    EXPECT_EQ(rsac(meta("n 3 s 1 v 2 l 0"), kS, kV, kN, kL), 1);
    EXPECT_EQ(rsac(meta("n 4 s 4 v 4 l 4"), 4, 4, 4, 4), 1);
    EXPECT_EQ(rsac(meta("n 0 s 0 v 0 l 1"), 0, 0, 0, 0), PICS_RATED_ABOVE);
}

TEST(VtpicsRsac, LabelForms) {
    const std::string url = "\"http://www.rsac.org/ratingsv01.html\"";
    struct Case {
        const char* label;
        std::string data;
        int expected;
    };
    const Case cases[] = {
        {"header line", "HTTP/1.0 200 OK\r\nPICS-Label: (PICS-1.1 " + url + " l r (n 4))\r\n\r\nbody", 2},
        {"header line in lower case, no blank",
         "HTTP/1.0 200 OK\r\npics-label:(pics-1.1 " + url + " l r (n 0 s 0))\r\n\r\n", 1},
        {"folded header line",
         "HTTP/1.0 200 OK\r\nPICS-Label: (PICS-1.1 " + url + "\r\n  l\r\n\tr (v\r\n 4))\r\nServer: x\r\n\r\n", 2},
        {"header line without a colon is no label", "PICS-Label (PICS-1.1 " + url + " l r (n 4))\r\n", 0},
        {"META in upper case, long keywords",
         "<META HTTP-EQUIV=\"PICS-LABEL\" CONTENT='(PICS-1.1 \"HTTP://WWW.RSAC.ORG/RATINGSV01.HTML\" LABELS RATINGS "
         "(N 4))'>",
         2},
        {"service URL with a trailing slash", "<meta http-equiv=pics-label content='(PICS-1.1 "
                                              "\"http://www.rsac.org/ratingsv01.html/\" l r (s 4))'>",
         2},
        {"content before http-equiv", "<meta content='(PICS-1.1 " + url + " l r (l 4))' http-equiv='PICS-Label'>", 2},
        {"double-quoted content with &quot;",
         "<meta http-equiv=\"PICS-Label\" content=\"(PICS-1.1 &quot;http://www.rsac.org/ratingsv01.html&quot; l r "
         "(n 4 s 0 v 0 l 0))\">",
         2},
        {"double-quoted content with single quotes inside",
         "<meta http-equiv=\"PICS-Label\" content=\"(PICS-1.1 'http://www.rsac.org/ratingsv01.html' l r (n 4))\">", 2},
        {"odd spacing and line breaks",
         "<meta\n  http-equiv = \"PICS-Label\"\n\tcontent =\n'(PICS-1.1\n" + url + "\n\tl\n r\n(\nn\n4\n)\n)'\n>", 2},
        {"other http-equiv", "<meta http-equiv=\"refresh\" content='(PICS-1.1 " + url + " l r (n 4))'>", 0},
        {"commented-out META", "<!-- <meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + url + " l r (n 4))'> -->",
         0},
        {"label text in the page body", "<p>(PICS-1.1 " + url + " l r (n 4))</p>", 0},
        {"no label at all", "<html><body>plain page</body></html>", 0},
        {"PICS-1.0 header line", "HTTP/1.0 200 OK\r\nPICS-Label: (PICS-1.0 " + url + " l r (n 4))\r\n\r\n", 2},
        {"PICS-1.0 META passing", "<meta http-equiv=\"PICS-Label\" content='(PICS-1.0 " + url + " l r (n 1))'>", 1},
        {"pics-1.0 in lower case", "<meta http-equiv=\"PICS-Label\" content='(pics-1.0 " + url + " l r (v 4))'>", 2},
        {"an unknown version is no label", "<meta http-equiv=\"PICS-Label\" content='(PICS-2.0 " + url + " l r (n 4))'>",
         0},
    };
    for (const Case& c : cases) EXPECT_EQ(rsac(c.data, 2, 2, 2, 2), c.expected) << c.label;
}

TEST(VtpicsRsac, PicksTheRsacServiceAmongSeveral) {
    const std::string rsacUrl = "\"http://www.rsac.org/ratingsv01.html\"";
    const std::string ssUrl = "\"http://www.classify.org/safesurf/\"";
    auto label = [](const std::string& list) {
        return "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + list + ")'>";
    };
    struct Case {
        const char* label;
        std::string data;
        int expected;
    };
    const Case cases[] = {
        {"other service first", label(ssUrl + " l r (SS~~000 9 n 4) " + rsacUrl + " l r (n 0 s 0 v 0 l 0)"), 1},
        {"RSACi first, above", label(rsacUrl + " l r (n 4) " + ssUrl + " l r (SS~~000 1)"), 2},
        {"only another service rates n 4", label(ssUrl + " l r (n 4)"), 0},
        {"an option naming the RSACi URL is not a service",
         label(ssUrl + " l for " + rsacUrl + " by " + rsacUrl + " r (n 4)"), 0},
        {"quoted text that looks like ratings", label(rsacUrl + " l comment \"r (n 4)\" r (n 0)"), 1},
        {"service with an error instead of labels", label(rsacUrl + " error (no-ratings \"none\") " + ssUrl), 0},
        {"several labels of the service, one above", label(rsacUrl + " l (r (n 0)) (r (v 4))"), 2},
        {"extension option skipped", label(rsacUrl + " l extension (optional \"http://x\" r (n 4)) r (n 0)"), 1},
        {"two label lists in one content",
         "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + rsacUrl + " l r (n 0)) (PICS-1.1 " + rsacUrl +
             " l r (s 4))'>",
         2},
        {"two META tags, the second above",
         label(rsacUrl + " l r (n 0)") + "<p>text</p>" + label(rsacUrl + " l r (v 3)"), 2},
    };
    for (const Case& c : cases) EXPECT_EQ(rsac(c.data, 2, 2, 2, 2), c.expected) << c.label;
}

TEST(VtpicsRsac, RatingValues) {
    struct Case {
        const char* ratings;
        int expected;   // against levels of 2
    };
    const Case cases[] = {
        {"n 2.0", 1},  {"n 2.5", 2},   {"n 3", 2},       {"n -1", 1},     {"n +3", 2},
        {"n 0:3", 2},  {"n 0:2", 1},   {"n (1 3)", 2},   {"n (0 1)", 1},  {"n 99999999999999999999", 2},
        {"n four", 1}, {"n \"4\"", 1}, {"n 4x", 1},      {"n", 1},        {"x 4 n 0", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(rsac(meta(c.ratings), 2, 2, 2, 2), c.expected) << c.ratings;
}

TEST(VtpicsRsac, MalformedLabelsAreNoObjection) {
    const std::string url = "\"http://www.rsac.org/ratingsv01.html\"";
    const std::string cases[] = {
        "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + url + " l r n 4)'>",
        "<meta http-equiv=\"PICS-Label\" content='(PICS-1.2 " + url + " l r (n 4))'>",
        "<meta http-equiv=\"PICS-Label\" content='PICS-1.1 " + url + " l r (n 4'>",
        "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + url + " l r (n 4'>",
        "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 " + url + std::string(40, '(') + " r (n 4))'>",
        "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://www.rsac.org/ratingsv01.html l r (n 4))'>",
        "<meta http-equiv=\"PICS-Label\" content=",
        "<meta http-equiv=\"PICS-Label\"",
        "PICS-Label:",
    };
    for (const std::string& data : cases) EXPECT_NE(rsac(data, 2, 2, 2, 2), PICS_RATED_ABOVE) << data;
    EXPECT_EQ(vtpics_rsac_validate(nullptr, 10, 0, 0, 0, 0), 0);
    EXPECT_EQ(vtpics_rsac_validate("", 0, 0, 0, 0, 0), 0);
}

TEST(VtpicsRsac, LabelCutAtTheEndOfTheData) {
    // The data ends inside the label: the ratings count once their list is closed.
    const std::string full = "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                             "\"http://www.rsac.org/ratingsv01.html\" l r (n 0 s 0 v 3 l 0))'>";
    const size_t ratingsClosed = full.find("0))") + 2;
    for (size_t size = 0; size <= full.size(); ++size) {
        const int expected = size >= ratingsClosed ? PICS_RATED_ABOVE : 0;
        EXPECT_EQ(rsac(full.substr(0, size), 2, 2, 2, 2), expected) << full.substr(0, size);
    }
}

}  // namespace
