#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dbdir.h"
#include "qfdb.h"
#include "recfile.h"
#include "store_root.h"

namespace {

TEST(Dbdir, PathIsDbdirPlusRelativeAndNeverSpills) {
    qf_test::StoreRoot root;
    char out[64];
    ASSERT_EQ(1, dbdir_path("db\\rsac.dat", out, sizeof(out)));
    EXPECT_STREQ("C:\\Program Files\\Quillfence\\db\\rsac.dat", out);

    const std::string exact = "C:\\Program Files\\Quillfence\\";
    char tight[64];
    const std::string fill(sizeof(tight) - 1 - exact.size(), 'f');
    EXPECT_EQ(1, dbdir_path(fill.c_str(), tight, sizeof(tight)));
    memset(tight, 'z', sizeof(tight));
    EXPECT_EQ(0, dbdir_path((fill + "x").c_str(), tight, sizeof(tight)));
    EXPECT_STREQ("", tight);
}

TEST(Dbdir, EnsureFolderCreatesOnlyTheFolderOfTheFile) {
    qf_test::StoreRoot root;
    std::filesystem::remove_all(root.installed("db"));
    EXPECT_EQ(1, dbdir_ensure_folder("db\\rsac.dat"));
    EXPECT_TRUE(std::filesystem::is_directory(root.installed("db")));
    EXPECT_EQ(1, dbdir_ensure_folder("db\\rsac.dat"));
    EXPECT_EQ(0, dbdir_ensure_folder("missing\\deeper\\file.dat")) << "only one level is created";
}

TEST(Qfdb, DatabaseLandsUnderDbdirInTheMachineRootInWalMode) {
    qf_test::StoreRoot root;
    std::filesystem::remove_all(root.installed("log"));
    sqlite3* db = qfdb_open("log\\probe.db", "CREATE TABLE IF NOT EXISTS t(x)");
    ASSERT_NE(nullptr, db);
    EXPECT_EQ(SQLITE_OK, qfdb_exec(db, "INSERT INTO t VALUES(1)"));
    sqlite3_stmt* mode = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, NULL));
    ASSERT_EQ(SQLITE_ROW, qfdb_step(mode));
    EXPECT_STREQ("wal", (const char*)sqlite3_column_text(mode, 0));
    sqlite3_finalize(mode);
    sqlite3_close_v2(db);
    EXPECT_TRUE(std::filesystem::is_regular_file(root.installed("log/probe.db")));
}

}  // namespace

namespace {

TEST(Qfdb, DamagedDatabaseIsKeptAsideAndReplaced) {
    qf_test::StoreRoot root;
    const std::vector<unsigned char> garbage(4096, 0xC3);
    qf_test::write_bytes(root.installed("log/probe.db"), garbage);
    sqlite3* db = qfdb_open("log\\probe.db", "CREATE TABLE IF NOT EXISTS t(x)");
    ASSERT_NE(nullptr, db);
    EXPECT_EQ(SQLITE_OK, qfdb_exec(db, "INSERT INTO t VALUES(1)"));
    sqlite3_close_v2(db);
    EXPECT_EQ(garbage, qf_test::read_bytes(root.installed("log/probe.db.damaged")));
}

}  // namespace

namespace {

TEST(Recfile, FileOfAnotherStoreOrSizeIsRefused) {
    qf_test::StoreRoot root;
    const unsigned char record[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(1, recfile_write("db\\probe.dat", "AAAA", record, sizeof(record)));
    unsigned char read[8] = {0};
    EXPECT_EQ(0, recfile_read("db\\probe.dat", "BBBB", read, sizeof(read)));
    EXPECT_EQ(0, recfile_read("db\\probe.dat", "AAAA", read, 4));
    ASSERT_EQ(1, recfile_read("db\\probe.dat", "AAAA", read, sizeof(read)));
    EXPECT_EQ(0, memcmp(record, read, sizeof(read)));
}

TEST(Recfile, FailedReplaceKeepsNothingBehind) {
    qf_test::StoreRoot root;
    std::filesystem::create_directories(root.installed("db/probe.dat/inside"));  // nothing can replace this
    const unsigned char record[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(0, recfile_write("db\\probe.dat", "AAAA", record, sizeof(record)));
    EXPECT_EQ(std::vector<std::string>{"probe.dat"}, qf_test::folder_entries(root.installed("db")));
}

}  // namespace
