#include "VTList.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "store_root.h"

namespace {

using qf_test::read_bytes;
using qf_test::write_bytes;

const size_t kNameOffset = 8;  // of entry i: 8 + 40 * i

class TopicListTest : public ::testing::Test {
protected:
    std::string topicFile() const { return root.systemFile("ixplor64.dll"); }

    static TopicRecord filled(unsigned char byte) {
        TopicRecord record;
        memset(&record, byte, sizeof(record));
        return record;
    }
    static std::vector<unsigned char> bytes_of(const TopicRecord& record) {
        const unsigned char* p = (const unsigned char*)&record;
        return std::vector<unsigned char>(p, p + sizeof(record));
    }
    static TopicRecord with_topics(int count) {
        TopicRecord record;
        vtlist_init(&record);
        record.count = count;
        for (int i = 0; i < count && i < VTLIST_ENTRIES; ++i) {
            record.entries[i].id = 100 + i;
            snprintf(record.entries[i].name, VTLIST_NAME_SIZE, "Topic %d", i);
            record.entries[i].enabled = i % 2;
        }
        return record;
    }

    qf_test::StoreRoot root;
};

TEST_F(TopicListTest, MissingFileReadsZeroThenRegenCreatesTheFactoryTopics) {
    const TopicRecord untouched = filled(0x5A);
    TopicRecord record = untouched;
    EXPECT_EQ(0, vtlist_read(&record));
    EXPECT_EQ(0, memcmp(&record, &untouched, sizeof(record))) << "a failed read leaves the record untouched";

    ASSERT_EQ(1, vtlist_regen(&record));
    const char* names[] = {"Pornography", "Violence and Weapons", "Hate and Intolerance", "Gambling",
                           "Drugs and Alcohol", "Satanism", "Hacking", "Suicide"};
    EXPECT_EQ(8, record.count);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(i, record.entries[i].id);
        EXPECT_STREQ(names[i], record.entries[i].name) << "regen leaves the plain form";
        EXPECT_EQ(i == 0 ? 1 : 0, record.entries[i].enabled);
    }

    TopicRecord read;
    vtlist_init(&read);
    ASSERT_EQ(1, vtlist_read(&read));
    EXPECT_EQ(8, read.count);
    for (int i = 0; i < VTLIST_ENTRIES; ++i) {
        EXPECT_EQ(i < 8 ? i : -1, read.entries[i].id);
        EXPECT_STREQ(i < 8 ? names[i] : "", read.entries[i].name);
        EXPECT_EQ(i == 0 ? 1 : 0, read.entries[i].enabled);
    }

    // Stored form: names of entries 0 to 8 raised by 32, entry 8's empty name as 30 bytes of 32.
    std::vector<unsigned char> file = read_bytes(topicFile());
    ASSERT_EQ(sizeof(TopicRecord), file.size());
    EXPECT_EQ('P' + 32, file[kNameOffset]);
    for (size_t j = 0; j < VTLIST_NAME_SIZE; ++j) {
        EXPECT_EQ(32, file[kNameOffset + 40 * 8 + j]);
        EXPECT_EQ(0, file[kNameOffset + 40 * 9 + j]);
    }
}

TEST_F(TopicListTest, WriteLeavesTheCallersRecordInStoredForm) {
    TopicRecord record = with_topics(8);
    strcpy(record.entries[3].name, "abcdefghijklmnopqrstuvwxyzABC");  // 29 characters
    const TopicRecord plain = record;
    ASSERT_EQ(1, vtlist_write(&record));

    TopicRecord expected = plain;
    for (int i = 0; i <= 8; ++i)
        for (int j = 0; j < VTLIST_NAME_SIZE; ++j) expected.entries[i].name[j] = (char)(plain.entries[i].name[j] + 32);
    EXPECT_EQ(0, memcmp(&expected, &record, sizeof(record)));
    EXPECT_EQ(bytes_of(expected), read_bytes(topicFile()));

    TopicRecord read = filled(0);
    ASSERT_EQ(1, vtlist_read(&read));
    EXPECT_EQ(0, memcmp(&plain, &read, sizeof(read)));
    EXPECT_STREQ("abcdefghijklmnopqrstuvwxyzABC", read.entries[3].name);
}

TEST_F(TopicListTest, EmptyRecordIsStoredWithoutConversion) {
    TopicRecord record;
    vtlist_init(&record);
    const TopicRecord empty = record;
    ASSERT_EQ(1, vtlist_write(&record));
    EXPECT_EQ(0, memcmp(&empty, &record, sizeof(record)));
    EXPECT_EQ(bytes_of(empty), read_bytes(topicFile()));
    TopicRecord read = filled(0x33);
    ASSERT_EQ(1, vtlist_read(&read));
    EXPECT_EQ(0, memcmp(&empty, &read, sizeof(read)));
}

// A file may hold any count; only entries 0 to 19 exist, and the count stays as stored.
TEST_F(TopicListTest, HostileCountsNeverReachPastTheLastEntry) {
    const INT counts[] = {19, 20, 21, 1000, INT_MAX, -2, -1000, INT_MIN};
    for (INT count : counts) {
        TopicRecord stored = filled(0x41);
        stored.count = count;
        write_bytes(topicFile(), bytes_of(stored));

        TopicRecord read = filled(0);
        ASSERT_EQ(1, vtlist_read(&read)) << count;
        EXPECT_EQ(count, read.count);
        int converted = count < 0 ? 0 : (count >= 19 ? 20 : count + 1);
        for (int i = 0; i < VTLIST_ENTRIES; ++i)
            EXPECT_EQ(i < converted ? 0x41 - 32 : 0x41, (unsigned char)read.entries[i].name[0])
                << "count " << count << " entry " << i;

        TopicRecord written = filled(0x41);
        written.count = count;
        ASSERT_EQ(1, vtlist_write(&written)) << count;
        EXPECT_EQ(bytes_of(written), read_bytes(topicFile()));
        for (int i = 0; i < VTLIST_ENTRIES; ++i)
            EXPECT_EQ(i < converted ? 0x41 + 32 : 0x41, (unsigned char)written.entries[i].name[29]);
    }
}

TEST_F(TopicListTest, ShortFileLeavesTheRestOfTheRecordAsTheCallerHadIt) {
    const TopicRecord plain = with_topics(5);
    TopicRecord storedForm = plain;
    ASSERT_EQ(1, vtlist_write(&storedForm));
    const std::vector<unsigned char> full = read_bytes(topicFile());

    const size_t lengths[] = {0, 2, 4, 20, 8 + 40 + 15, 8 + 40 * 5 + 30, 803};
    for (size_t length : lengths) {
        write_bytes(topicFile(), std::vector<unsigned char>(full.begin(), full.begin() + length));
        TopicRecord caller;
        memset(&caller, 0x77, sizeof(caller));
        caller.count = 5;
        const TopicRecord before = caller;
        ASSERT_EQ(1, vtlist_read(&caller)) << length;

        const unsigned char* got = (const unsigned char*)&caller;
        const unsigned char* had = (const unsigned char*)&before;
        const unsigned char* want = (const unsigned char*)&plain;
        for (size_t at = 0; at < sizeof(TopicRecord); ++at) {
            if (at < length)
                ASSERT_EQ(want[at], got[at]) << "length " << length << " byte " << at;
            else
                ASSERT_EQ(had[at], got[at]) << "length " << length << " byte " << at << " was changed";
        }
    }
}

TEST_F(TopicListTest, UnopenableFileFailsAndLeavesRecordsAsDescribed) {
    // A folder where the file belongs: it cannot be opened as a file, on any machine.
    std::filesystem::create_directories(root.systemFile("ixplor64.dll"));

    TopicRecord record = with_topics(3);
    const TopicRecord plain = record;
    EXPECT_EQ(0, vtlist_write(&record));
    EXPECT_EQ(plain.entries[0].name[0] + 32, record.entries[0].name[0]) << "left in stored form";

    TopicRecord factory = filled(0);
    EXPECT_EQ(0, vtlist_regen(&factory));
    EXPECT_EQ(8, factory.count);
    EXPECT_STREQ("Pornography", factory.entries[0].name) << "left in plain form";
    EXPECT_STREQ("", factory.entries[8].name);
}

}  // namespace

// Random files of any length: every read succeeds, converts exactly the entries the stored count
// names (never past entry 19), leaves bytes past the file as the caller had them, and a write of
// what was read stores the same bytes again.
TEST_F(TopicListTest, RandomFilesReadWithinTheRecordAndWriteBackUnchanged) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 400; ++round) {
        const size_t length = random() % (sizeof(TopicRecord) + 64);
        std::vector<unsigned char> file(length);
        for (unsigned char& byte : file) byte = (unsigned char)random();
        if (length >= 4 && round % 2) {  // half the rounds with a count near the table's size
            INT count = (INT)(random() % 26) - 3;
            memcpy(file.data(), &count, sizeof(count));
        }
        write_bytes(topicFile(), file);

        TopicRecord read = filled(0x5A);
        ASSERT_EQ(1, vtlist_read(&read)) << "round " << round;
        const std::vector<unsigned char> got = bytes_of(read);
        const size_t taken = length < sizeof(TopicRecord) ? length : sizeof(TopicRecord);
        const int converted = read.count < 0 ? 0 : (read.count >= 19 ? 20 : read.count + 1);
        for (size_t at = 0; at < sizeof(TopicRecord); ++at) {
            const size_t entry = at < 4 ? VTLIST_ENTRIES : (at - 4) / 40;
            const bool nameByte = at >= 4 && (at - 4) % 40 >= 4 && (at - 4) % 40 < 4 + VTLIST_NAME_SIZE;
            unsigned char expected = at < taken ? file[at] : 0x5A;
            if (at < taken && nameByte && (int)entry < converted) expected = (unsigned char)(file[at] - 32);
            ASSERT_EQ(expected, got[at]) << "round " << round << " byte " << at;
        }

        if (length == sizeof(TopicRecord)) {
            ASSERT_EQ(1, vtlist_write(&read));
            EXPECT_EQ(file, read_bytes(topicFile())) << "round " << round;
        }
    }
}
