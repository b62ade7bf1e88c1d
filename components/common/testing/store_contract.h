// What every settings store promises, as one set of typed tests. A store's test instantiates it
// with a traits type:
//   using Record;                         the record type
//   static const char* relative();        its file under DBDIR, e.g. "db\\rsac.dat"
//   static const char* tag();             the four-letter tag of its file
//   static int init/read/write/regen(Record*);
//   static Record sample();               a valid record that differs from the factory settings
//   static void expect_factory(const Record&);
//   static std::vector<Mutation<Record>> out_of_range();  edits that make sample invalid
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "recfile.h"
#include "store_root.h"

namespace qf_test {

template <class Record>
struct Mutation {
    const char* name;
    std::function<void(Record&)> apply;
};

template <class Record>
Record filled_with(unsigned char byte) {
    Record record;
    memset(&record, byte, sizeof(record));
    return record;
}

template <class Record>
bool same_bytes(const Record& a, const Record& b) {
    return memcmp(&a, &b, sizeof(Record)) == 0;
}

template <class Traits>
class StoreContract : public ::testing::Test {
protected:
    using Record = typename Traits::Record;

    std::string storeFile() const {
        std::string relative = Traits::relative();
        for (char& c : relative)
            if (c == '\\') c = '/';
        return root.installed(relative);
    }

    void storeSample() {
        Record record = Traits::sample();
        ASSERT_EQ(1, Traits::write(&record));
    }

    // A read that must fail: result 0 and the caller's record untouched.
    void expectReadRefused(const char* what) {
        Record record = filled_with<Record>(0x5A);
        EXPECT_EQ(0, Traits::read(&record)) << what;
        EXPECT_TRUE(same_bytes(record, filled_with<Record>(0x5A))) << what << ": record changed by a failed read";
    }

    StoreRoot root;
};

TYPED_TEST_SUITE_P(StoreContract);

TYPED_TEST_P(StoreContract, MissingStoreReadsZero) {
    this->expectReadRefused("no file");
}

TYPED_TEST_P(StoreContract, WrittenRecordReadsBackWithoutInit) {
    using Record = typename TypeParam::Record;
    Record written = TypeParam::sample();
    ASSERT_EQ(1, TypeParam::write(&written));
    EXPECT_TRUE(same_bytes(written, TypeParam::sample())) << "write changed the caller's record";
    Record read = filled_with<Record>(0xA5);  // read fills every field, init or not
    ASSERT_EQ(1, TypeParam::read(&read));
    EXPECT_TRUE(same_bytes(read, TypeParam::sample()));
}

TYPED_TEST_P(StoreContract, RegenStoresAndReturnsFactorySettings) {
    using Record = typename TypeParam::Record;
    this->storeSample();
    Record record = filled_with<Record>(0xA5);
    ASSERT_EQ(1, TypeParam::regen(&record));
    TypeParam::expect_factory(record);
    Record again = filled_with<Record>(0x11);
    TypeParam::init(&again);
    ASSERT_EQ(1, TypeParam::read(&again));
    TypeParam::expect_factory(again);
    EXPECT_TRUE(same_bytes(record, again));
}

TYPED_TEST_P(StoreContract, DamagedFileReadsZero) {
    this->storeSample();
    const std::vector<unsigned char> valid = read_bytes(this->storeFile());
    ASSERT_FALSE(valid.empty());
    // Cut everywhere in the header and the first fields, then through the record, and at its end.
    std::vector<size_t> lengths;
    for (size_t length = 0; length < valid.size(); length += length < 24 ? 1 : 13) lengths.push_back(length);
    for (size_t back = 1; back <= 4; ++back) lengths.push_back(valid.size() - back);
    for (size_t length : lengths) {
        write_bytes(this->storeFile(), std::vector<unsigned char>(valid.begin(), valid.begin() + length));
        this->expectReadRefused(("cut to " + std::to_string(length) + " bytes").c_str());
    }
    // Every byte is covered: one changed bit anywhere makes the file unreadable.
    for (size_t at = 0; at < valid.size(); ++at) {
        std::vector<unsigned char> altered = valid;
        altered[at] ^= (unsigned char)(1u << (at % 8));
        write_bytes(this->storeFile(), altered);
        this->expectReadRefused(("byte " + std::to_string(at) + " altered").c_str());
    }
    std::vector<unsigned char> longer = valid;
    longer.push_back(0);
    write_bytes(this->storeFile(), longer);
    this->expectReadRefused("one byte too many");
    write_bytes(this->storeFile(), valid);
    typename TypeParam::Record record;
    EXPECT_EQ(1, TypeParam::read(&record)) << "the untouched file must still read";
}

TYPED_TEST_P(StoreContract, OutOfRangeValuesAreRefused) {
    using Record = typename TypeParam::Record;
    for (const Mutation<Record>& mutation : TypeParam::out_of_range()) {
        this->storeSample();
        Record bad = TypeParam::sample();
        mutation.apply(bad);
        EXPECT_EQ(0, TypeParam::write(&bad)) << mutation.name << ": write accepted a record read would refuse";
        Record stored;
        ASSERT_EQ(1, TypeParam::read(&stored)) << mutation.name;
        EXPECT_TRUE(same_bytes(stored, TypeParam::sample())) << mutation.name << ": refused write changed the store";

        // The same values put into a file with a correct checksum: a damaged store all the same.
        ASSERT_EQ(1, recfile_write(TypeParam::relative(), TypeParam::tag(), &bad, sizeof(bad)));
        this->expectReadRefused(mutation.name);
    }
}

TYPED_TEST_P(StoreContract, WriteReplacesTheFileAndLeavesNoTemporary) {
    using Record = typename TypeParam::Record;
    this->storeSample();
    Record factory;
    ASSERT_EQ(1, TypeParam::regen(&factory));
    std::string folder = this->storeFile().substr(0, this->storeFile().rfind('/'));
    std::string name = this->storeFile().substr(this->storeFile().rfind('/') + 1);
    EXPECT_EQ(std::vector<std::string>{name}, folder_entries(folder));
    Record read;
    ASSERT_EQ(1, TypeParam::read(&read));
    EXPECT_TRUE(same_bytes(read, factory));
}

TYPED_TEST_P(StoreContract, MissingFolderIsCreatedAndMissingDbdirFails) {
    using Record = typename TypeParam::Record;
    std::string folder = this->storeFile().substr(0, this->storeFile().rfind('/'));
    std::filesystem::remove_all(folder);
    this->storeSample();
    Record read;
    EXPECT_EQ(1, TypeParam::read(&read));

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, QF_PRODUCT_KEY, 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, QF_DBDIR_VALUE));
    RegCloseKey(key);
    Record record = TypeParam::sample();
    EXPECT_EQ(0, TypeParam::write(&record));
    this->expectReadRefused("no DBDIR");
    Record factory = filled_with<Record>(0);
    EXPECT_EQ(0, TypeParam::regen(&factory)) << "regen reports that it could not store";
    TypeParam::expect_factory(factory);
}

REGISTER_TYPED_TEST_SUITE_P(StoreContract, MissingStoreReadsZero, WrittenRecordReadsBackWithoutInit,
                            RegenStoresAndReturnsFactorySettings, DamagedFileReadsZero, OutOfRangeValuesAreRefused,
                            WriteReplacesTheFileAndLeavesNoTemporary, MissingFolderIsCreatedAndMissingDbdirFails);

}  // namespace qf_test
