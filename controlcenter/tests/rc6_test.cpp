// RC6-32/20 against the published test vectors, and the key length taken in bits.
#include <rc6.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> bytes(const char* hex) {
    std::vector<unsigned char> out;
    for (const char* p = hex; p[0] && p[1]; p += 2) out.push_back((unsigned char)std::stoi(std::string(p, 2), nullptr, 16));
    return out;
}

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

const Vector kPublished[] = {
    {"00000000000000000000000000000000", "00000000000000000000000000000000", "8fc3a53656b1f778c129df4e9848a41e"},
    {"0123456789abcdef0112233445566778", "02132435465768798a9bacbdcedfe0f1", "524e192f4715c6231f51f6367ea43f18"},
    {"000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "6cd61bcb190b30384e8a3f168690ae82"},
    {"0123456789abcdef0112233445566778899aabbccddeeff0", "02132435465768798a9bacbdcedfe0f1",
     "688329d019e505041e52e92af95291d4"},
    {"0000000000000000000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "8f5fbd0510d15fa893fa3fda6e857ec2"},
    {"0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe", "02132435465768798a9bacbdcedfe0f1",
     "c8241816f0d7e48920ad16a1674e5d48"},
};

TEST(Rc6, EncryptsAndDecryptsThePublishedVectorsFor128192And256BitKeys) {
    for (const Vector& v : kPublished) {
        const std::vector<unsigned char> key = bytes(v.key), plain = bytes(v.plain), cipher = bytes(v.cipher);
        Rc6KeySchedule schedule;
        ASSERT_TRUE(Rc6MakeKeySchedule(key.data(), (int)key.size() * 8, &schedule)) << v.key;
        EXPECT_EQ(44, schedule.wordCount);
        unsigned char out[16];
        Rc6Block(&schedule, plain.data(), out, RC6_ENCRYPT);
        EXPECT_EQ(cipher, std::vector<unsigned char>(out, out + 16)) << v.key;
        Rc6Block(&schedule, cipher.data(), out, RC6_DECRYPT);
        EXPECT_EQ(plain, std::vector<unsigned char>(out, out + 16)) << v.key;
        Rc6ReleaseKeySchedule(&schedule);
        EXPECT_EQ(nullptr, schedule.roundKeys);
    }
}

// With a key length of 32 bits one key word enters the schedule: the bytes after the fourth do not
// change the cipher.
TEST(Rc6, A32BitKeyUsesOnlyTheFirstFourKeyBytes) {
    const std::vector<unsigned char> a = bytes("61626364000000000000000000000000");
    const std::vector<unsigned char> b = bytes("61626364ffffffffffffffffffffffff");
    const std::vector<unsigned char> c = bytes("61626365000000000000000000000000");
    const std::vector<unsigned char> plain = bytes("02132435465768798a9bacbdcedfe0f1");
    auto encrypt = [&](const std::vector<unsigned char>& key) {
        Rc6KeySchedule schedule;
        EXPECT_TRUE(Rc6MakeKeySchedule(key.data(), 32, &schedule));
        unsigned char out[16];
        Rc6Block(&schedule, plain.data(), out, RC6_ENCRYPT);
        Rc6ReleaseKeySchedule(&schedule);
        return std::vector<unsigned char>(out, out + 16);
    };
    EXPECT_EQ(encrypt(a), encrypt(b));
    EXPECT_NE(encrypt(a), encrypt(c));
}

TEST(Rc6, RefusesAKeyLongerThanTheScheduleTakes) {
    unsigned char key[256] = {0};
    Rc6KeySchedule schedule;
    EXPECT_FALSE(Rc6MakeKeySchedule(key, 2048, &schedule));
    EXPECT_FALSE(Rc6MakeKeySchedule(key, -8, &schedule));
    EXPECT_EQ(nullptr, schedule.roundKeys);
}

}  // namespace
