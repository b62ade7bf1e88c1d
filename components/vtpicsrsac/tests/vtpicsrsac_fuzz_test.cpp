// Random, truncated and mutated label data: no read past the end (the sanitizer build checks
// that), a result of 0, 1 or 2, and never an objection when every level allows anything.
#include "vtpicsrsac.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

int check(const std::string& data, int level) {
    std::unique_ptr<char[]> copy(new char[data.size()]);
    std::memcpy(copy.get(), data.data(), data.size());
    return vtpics_rsac_validate(copy.get(), static_cast<DWORD>(data.size()), level, level, level, level);
}

void expect_sound(const std::string& data) {
    const int strict = check(data, 0);
    ASSERT_TRUE(strict >= 0 && strict <= 2) << data;
    ASSERT_NE(check(data, INT_MAX - 1), PICS_RATED_ABOVE) << data;
}

const char* const kPieces[] = {"<meta ", "http-equiv=", "\"PICS-Label\"", " content=", "'", "\"", "(", ")",
                               "PICS-1.1 ", "\"http://www.rsac.org/ratingsv01.html\" ", "l ", "r ", "ratings ",
                               "n 4 ", "s 1 ", "(1 2) ", "3:4 ", "&quot;", "\r\n", "PICS-Label: ", ">", "<!--",
                               "-->", "for ", "extension ", " ", "4.5 "};

TEST(VtpicsRsacFuzz, RandomPiecesOfLabels) {
    std::mt19937 random(31337);
    for (int i = 0; i < 4000; ++i) {
        std::string data;
        const int pieces = static_cast<int>(random() % 30);
        for (int p = 0; p < pieces; ++p) data += kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
        expect_sound(data);
        if (HasFatalFailure()) return;
    }
}

TEST(VtpicsRsacFuzz, MutatedAndTruncatedLabels) {
    const std::vector<std::string> seeds = {
        "<META http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\" l gen true "
        "comment \"RSACi North America Server\" for \"http://www.example.com\" on \"1997.06.30T14:21-0500\" "
        "r (n 0 s 0 v 0 l 0))'>",
        "HTTP/1.1 200 OK\r\nPICS-Label: (PICS-1.1 \"http://www.rsac.org/ratingsv01.html\"\r\n l (r (n 1)) (r (v "
        "(2 3)))\r\n\r\n<html>",
    };
    std::mt19937 random(5);
    for (const std::string& seed : seeds) {
        for (size_t size = 0; size <= seed.size(); ++size) {
            expect_sound(seed.substr(0, size));
            if (HasFatalFailure()) return;
        }
        for (int i = 0; i < 3000; ++i) {
            std::string data = seed;
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits && !data.empty(); ++e) {
                const size_t at = random() % data.size();
                switch (random() % 3) {
                case 0: data[at] = static_cast<char>(random()); break;
                case 1: data.erase(at, 1 + random() % 8); break;
                default: data.insert(at, kPieces[random() % (sizeof kPieces / sizeof kPieces[0])]); break;
                }
            }
            expect_sound(data);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(VtpicsRsacFuzz, RandomBytes) {
    std::mt19937 random(8);
    for (int i = 0; i < 2000; ++i) {
        std::string data(random() % 400, '\0');
        for (char& c : data) c = static_cast<char>(random());
        expect_sound(data);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
