#include "vtpicsssurf.h"

#include <safesurf_categories.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {


// Stored levels, all different, so that a category compared with another's level shows.
const int kStored[11] = {0, 1, 2, 3, 4, 5, 6, 7, 3, 2, 1};

int safesurf(const std::string& data, const int (&levels)[11]) {
    std::unique_ptr<char[]> copy(new char[data.size()]);
    std::memcpy(copy.get(), data.data(), data.size());
    return vtpics_safesurf_validate(copy.get(), static_cast<DWORD>(data.size()), levels[0], levels[1], levels[2],
                                    levels[3], levels[4], levels[5], levels[6], levels[7], levels[8], levels[9],
                                    levels[10]);
}

std::string meta(const std::string& service, const std::string& ratings) {
    return "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 \"" + service + "\" l r (" + ratings + "))'>";
}

std::string safesurf_meta(const std::string& ratings) { return meta("http://www.classify.org/safesurf/", ratings); }

TEST(VtpicsSafeSurf, StoredLevelPAllowsPagesRatedUpToPPlusOne) {
    for (int i = 0; i < 11; ++i) {
        const std::string allowed = std::string(kSafeSurfCategories[i].code) + " " + std::to_string(kStored[i] + 1);
        const std::string above = std::string(kSafeSurfCategories[i].code) + " " + std::to_string(kStored[i] + 2);
        EXPECT_EQ(safesurf(safesurf_meta(allowed), kStored), 1) << allowed;
        EXPECT_EQ(safesurf(safesurf_meta(above), kStored), PICS_RATED_ABOVE) << above;
    }
}

TEST(VtpicsSafeSurf, LevelsAtTheEndsOfTheScale) {
    const int lowest[11] = {};
    int highest[11];
    for (int& level : highest) level = 8;
    EXPECT_EQ(safesurf(safesurf_meta("SS~~004 1"), lowest), 1);
    EXPECT_EQ(safesurf(safesurf_meta("SS~~004 2"), lowest), PICS_RATED_ABOVE);
    EXPECT_EQ(safesurf(safesurf_meta("SS~~004 9 SS~~00A 9"), highest), 1);
    EXPECT_EQ(safesurf(safesurf_meta("SS~~004 10"), highest), PICS_RATED_ABOVE);
}

TEST(VtpicsSafeSurf, LabelForms) {
    struct Case {
        const char* label;
        std::string data;
        int expected;
    };
    const Case cases[] = {
        {"lower-case category names", safesurf_meta("ss~~00a 9"), 2},
        {"service without the trailing slash", meta("http://www.classify.org/safesurf", "SS~~001 9"), 2},
        {"service in upper case", meta("HTTP://WWW.CLASSIFY.ORG/SAFESURF/", "SS~~001 9"), 2},
        {"header line", "PICS-Label: (PICS-1.1 \"http://www.classify.org/safesurf/\" labels ratings (SS~~006 9))\r\n",
         2},
        {"unknown categories are ignored", safesurf_meta("SS~~100 9 SS~~00B 9 SS~~0 9"), 1},
        {"RSACi label only", meta("http://www.rsac.org/ratingsv01.html", "n 4 s 4 v 4 l 4"), 0},
        {"RSACi ratings beside passing SafeSurf ratings",
         "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\" l r (n 4) "
         "\"http://www.classify.org/safesurf/\" l r (SS~~000 1))'>",
         1},
        {"ratings list cut off", "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                                 "\"http://www.classify.org/safesurf/\" l r (SS~~000 9",
         0},
        {"no label", "<html><body>SS~~000 9</body></html>", 0},
        {"PICS-1.0 label", "<meta http-equiv=\"PICS-Label\" content='(PICS-1.0 \"http://www.classify.org/safesurf/\" l r "
                           "(SS~~004 9))'>",
         2},
    };
    for (const Case& c : cases) EXPECT_EQ(safesurf(c.data, kStored), c.expected) << c.label;
}

// Random, truncated and mutated labels: no read past the end (the sanitizer build checks
// that), a result of 0, 1 or 2, and never an objection when every level allows anything.
TEST(VtpicsSafeSurfFuzz, MutatedAndTruncatedLabels) {
    const std::string seed =
        "HTTP/1.0 200 OK\r\nPICS-Label: (PICS-1.1 \"http://www.classify.org/safesurf/\" l r (SS~~000 1 SS~~004 "
        "(2 3)))\r\n\r\n<head><meta content=\"(PICS-1.1 &quot;http://www.classify.org/safesurf/&quot; l by "
        "&quot;x&quot; r (SS~~00A 0:9))\" http-equiv=\"PICS-Label\"></head>";
    const char* const pieces[] = {"(", ")", "\"", "'", "&quot;", "SS~~00A ", "9 ", "r ", "l ", " ", "\r\n",
                                  "<meta ", ">", "PICS-1.1 ", "\"http://www.classify.org/safesurf/\""};
    int none[11];
    for (int& level : none) level = INT_MAX - 1;
    const int strict[11] = {};
    std::mt19937 random(77);
    for (int i = 0; i < 4000; ++i) {
        std::string data = i < static_cast<int>(seed.size()) ? seed.substr(0, static_cast<size_t>(i)) : seed;
        if (i >= static_cast<int>(seed.size())) {
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !data.empty(); ++e) {
                const size_t at = random() % data.size();
                switch (random() % 3) {
                case 0: data[at] = static_cast<char>(random()); break;
                case 1: data.erase(at, 1 + random() % 8); break;
                default: data.insert(at, pieces[random() % (sizeof pieces / sizeof pieces[0])]); break;
                }
            }
        }
        const int result = safesurf(data, strict);
        ASSERT_TRUE(result >= 0 && result <= 2) << data;
        ASSERT_NE(safesurf(data, none), PICS_RATED_ABOVE) << data;
    }
}

}  // namespace
