// Files: dispositions and their errors, reading and writing, the file pointer, copy, move, delete.
#include <windows.h>

#include "temp_machine_root.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(root.file("drive_c/Data")); }

    // Writes a file through the Linux side.
    void put(const std::string& relative, const std::string& content) {
        std::ofstream(root.file(relative), std::ios::binary) << content;
    }
    std::string get(const std::string& relative) {
        std::ifstream in(root.file(relative), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool exists(const std::string& relative) { return std::filesystem::exists(root.file(relative)); }

    HANDLE open(const char* path, DWORD access, DWORD disposition, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition, attributes, nullptr);
    }
    std::string read_all(HANDLE file) {
        char buffer[256];
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(file, buffer, sizeof(buffer), &got, nullptr));
        return std::string(buffer, got);
    }
    void write(HANDLE file, const std::string& text) {
        DWORD put = 0;
        ASSERT_TRUE(WriteFile(file, text.data(), DWORD(text.size()), &put, nullptr));
        ASSERT_EQ(put, text.size());
    }

    qf_test::TempMachineRoot root;
};

TEST_F(Files, DispositionsFollowWindows) {
    struct Case {
        const char* name;
        DWORD disposition;
        bool existsBefore;
        bool opens;
        DWORD lastError;
        const char* contentAfter;  // nullptr: no file afterwards
    } cases[] = {
        {"create new, absent", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {"create new, present", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {"create always, absent", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"create always, present truncates", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"open existing, absent", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"open existing, present", OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {"open always, absent", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"open always, present keeps", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {"truncate existing, absent", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"truncate existing, present", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
        {"unknown disposition", 9, true, false, ERROR_INVALID_PARAMETER, "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(root.file("drive_c/Data/f.txt"));
        if (c.existsBefore) put("drive_c/Data/f.txt", "old");
        SetLastError(0xDEAD);
        HANDLE file = open("C:\\Data\\f.txt", GENERIC_READ | GENERIC_WRITE, c.disposition);
        EXPECT_EQ(GetLastError(), c.lastError);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        EXPECT_EQ(exists("drive_c/Data/f.txt"), c.contentAfter != nullptr);
        if (c.contentAfter) {
            EXPECT_EQ(get("drive_c/Data/f.txt"), c.contentAfter);
        }
    }
    // Truncating needs the right to write.
    EXPECT_EQ(open("C:\\Data\\f.txt", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Files, MissingFileAndMissingPathAreTold) {
    struct Case {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\Data\\absent.txt", ERROR_FILE_NOT_FOUND},
        {"C:\\NoSuchFolder\\absent.txt", ERROR_PATH_NOT_FOUND},
        {"D:\\Data\\x.txt", ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\x.txt", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\bad*name.txt", ERROR_INVALID_NAME},
        {"C:\\Data", ERROR_ACCESS_DENIED},  // a folder is no file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(open(c.path, GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    put("drive_c/Data/plain", "x");
    EXPECT_EQ(open("C:\\Data\\plain\\inner.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, PathsMatchExistingNamesWithoutCase) {
    HANDLE file = open("C:\\DATA\\Mixed.TXT", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    write(file, "hello");
    CloseHandle(file);
    EXPECT_EQ(get("drive_c/Data/Mixed.TXT"), "hello");
    file = open("c:/data/mixed.txt", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(read_all(file), "hello");
    CloseHandle(file);
}

TEST_F(Files, AccessRightsLimitTheHandle) {
    put("drive_c/Data/f.txt", "abc");
    char buffer[4];
    DWORD count = 77;
    HANDLE reader = open("C:\\Data\\f.txt", GENERIC_READ, OPEN_EXISTING);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(reader);

    HANDLE writer = open("C:\\Data\\f.txt", GENERIC_WRITE, OPEN_EXISTING);
    EXPECT_FALSE(ReadFile(writer, buffer, sizeof(buffer), &count, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    CloseHandle(writer);

    // Append-only rights write at the end wherever the pointer is.
    HANDLE appender = open("C:\\Data\\f.txt", FILE_APPEND_DATA, OPEN_EXISTING);
    ASSERT_NE(appender, INVALID_HANDLE_VALUE);
    write(appender, "de");
    CloseHandle(appender);
    EXPECT_EQ(get("drive_c/Data/f.txt"), "abcde");
}

TEST_F(Files, ReadOnlyFilesRefuseWritersAndDeletion) {
    HANDLE file = open("C:\\Data\\ro.txt", GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    write(file, "kept");  // the creating handle may still write
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\ro.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(open("C:\\Data\\ro.txt", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open("C:\\Data\\ro.txt", GENERIC_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFileA("C:\\Data\\ro.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    put("drive_c/Data/other.txt", "x");
    EXPECT_FALSE(MoveFileExA("C:\\Data\\other.txt", "C:\\Data\\ro.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CopyFileA("C:\\Data\\other.txt", "C:\\Data\\ro.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(get("drive_c/Data/ro.txt"), "kept");
}

TEST_F(Files, ReadStopsAtEndOfFile) {
    put("drive_c/Data/f.txt", "0123456789");
    HANDLE file = open("C:\\Data\\f.txt", GENERIC_READ, OPEN_EXISTING);
    char buffer[16];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 4, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "0123");
    ASSERT_TRUE(ReadFile(file, buffer, sizeof(buffer), &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "456789");
    ASSERT_TRUE(ReadFile(file, buffer, sizeof(buffer), &got, nullptr));  // at the end: success, no bytes
    EXPECT_EQ(got, 0u);
    // An OVERLAPPED on a plain handle names the position to read from.
    OVERLAPPED at = {};
    at.Offset = 7;
    ASSERT_TRUE(ReadFile(file, buffer, 2, &got, &at));
    EXPECT_EQ(std::string(buffer, got), "78");
    ASSERT_TRUE(ReadFile(file, buffer, 1, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "9");
    CloseHandle(file);
}

TEST_F(Files, FilePointerMovesAndReportsErrors) {
    put("drive_c/Data/f.txt", "0123456789");
    HANDLE file = open("C:\\Data\\f.txt", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    struct Case {
        const char* name;
        LONG distance;
        DWORD method;
        DWORD expect;
        DWORD error;
    } cases[] = {
        {"from the start", 3, FILE_BEGIN, 3, ERROR_SUCCESS},
        {"forward from here", 2, FILE_CURRENT, 5, ERROR_SUCCESS},
        {"back from here", -4, FILE_CURRENT, 1, ERROR_SUCCESS},
        {"from the end", -2, FILE_END, 8, ERROR_SUCCESS},
        {"past the end", 5, FILE_END, 15, ERROR_SUCCESS},
        {"before the start", -20, FILE_END, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
        {"unknown method", 0, 7, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SetFilePointer(file, c.distance, nullptr, c.method), c.expect);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // A failed move leaves the pointer where it was.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 15u);
    CloseHandle(file);
}

TEST_F(Files, HighPartsCarryPositionsAndSizesBeyondFourGigabytes) {
    HANDLE file = open("C:\\Data\\big.bin", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    LONG high = 1;  // 4 GiB + 16
    EXPECT_EQ(SetFilePointer(file, 16, &high, FILE_BEGIN), 16u);
    EXPECT_EQ(high, 1);
    ASSERT_TRUE(SetEndOfFile(file));  // sparse on the Linux side
    DWORD sizeHigh = 0;
    EXPECT_EQ(GetFileSize(file, &sizeHigh), 16u);
    EXPECT_EQ(sizeHigh, 1u);
    // Without the high part the answer must fit in 32 bits.
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    high = -1;  // a negative 64-bit distance: back 32 bytes
    EXPECT_EQ(SetFilePointer(file, -32, &high, FILE_END), 0xFFFFFFF0u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
    high = 0;
    ASSERT_EQ(SetFilePointer(file, 3, &high, FILE_BEGIN), 3u);
    ASSERT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, &sizeHigh), 3u);
    EXPECT_EQ(sizeHigh, 0u);
    CloseHandle(file);
}

TEST_F(Files, HandlesCloseOnce) {
    HANDLE file = open("C:\\Data\\f.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    DWORD got;
    char buffer[1];
    EXPECT_FALSE(ReadFile(file, buffer, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetFileSize(nullptr, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(Files, CopyHonoursFailIfExists) {
    put("drive_c/Data/a.txt", "source");
    put("drive_c/Data/b.txt", "target");
    EXPECT_FALSE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(get("drive_c/Data/b.txt"), "target");
    EXPECT_TRUE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\b.txt", FALSE));
    EXPECT_EQ(get("drive_c/Data/b.txt"), "source");
    EXPECT_TRUE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\c.txt", TRUE));
    EXPECT_EQ(get("drive_c/Data/c.txt"), "source");

    EXPECT_FALSE(CopyFileA("C:\\Data\\absent.txt", "C:\\Data\\d.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA("C:\\Data\\a.txt", "C:\\Nowhere\\d.txt", FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CopyFileA("C:\\Data\\a.txt", "C:\\Data\\a.txt", FALSE));
    EXPECT_EQ(get("drive_c/Data/a.txt"), "source");
    // No temporary is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.file("drive_c/Data")),
                            std::filesystem::directory_iterator()),
              3);
}

TEST_F(Files, MoveRefusesOrReplacesAsAsked) {
    put("drive_c/Data/new.txt", "new");
    put("drive_c/Data/cur.txt", "current");
    EXPECT_FALSE(MoveFileExA("C:\\Data\\new.txt", "C:\\Data\\cur.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExA("C:\\Data\\new.txt", "C:\\Data\\cur.txt", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(get("drive_c/Data/cur.txt"), "new");
    EXPECT_FALSE(exists("drive_c/Data/new.txt"));
    EXPECT_TRUE(MoveFileExA("C:\\Data\\cur.txt", "C:\\Data\\moved.txt", 0));
    EXPECT_FALSE(MoveFileExA("C:\\Data\\cur.txt", "C:\\Data\\x.txt", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA("C:\\Data\\moved.txt", nullptr, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// A reader that opens the file over and over while it is being replaced always finds a whole
// file: the old one or the new one.
TEST_F(Files, ReplacingMoveIsAtomicForReaders) {
    put("drive_c/Data/store.dat", std::string(4096, 'A'));
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread reader([&] {
        while (!done) {
            HANDLE file = CreateFileA("C:\\Data\\store.dat", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                ++failures;
                continue;
            }
            if (GetFileSize(file, nullptr) != 4096) ++failures;
            CloseHandle(file);
        }
    });
    for (int i = 0; i < 300; ++i) {
        HANDLE temp = CreateFileA("C:\\Data\\store.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string content(4096, char('B' + i % 20));
        DWORD put = 0;
        WriteFile(temp, content.data(), 4096, &put, nullptr);
        CloseHandle(temp);
        ASSERT_TRUE(MoveFileExA("C:\\Data\\store.tmp", "C:\\Data\\store.dat", MOVEFILE_REPLACE_EXISTING));
    }
    done = true;
    reader.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(Files, DeleteAndAttributes) {
    put("drive_c/Data/f.txt", "x");
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\f.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("C:\\Data"), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(DeleteFileA("C:\\Data\\f.txt"));
    EXPECT_EQ(GetFileAttributesA("C:\\Data\\f.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA("C:\\Data\\f.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA("C:\\Gone\\f.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA("C:\\Data"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(Files, FoldersAreMadeAndRemovedAsOnWindows) {
    EXPECT_TRUE(CreateDirectoryA("C:\\Data\\Sub", nullptr));
    EXPECT_FALSE(CreateDirectoryA("C:\\data\\sub", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA("C:\\Missing\\Sub", nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    put("drive_c/Data/Sub/f.txt", "x");
    EXPECT_FALSE(RemoveDirectoryA("C:\\Data\\Sub"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryA("C:\\Data\\Sub\\f.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    ASSERT_TRUE(DeleteFileA("C:\\Data\\Sub\\f.txt"));
    EXPECT_TRUE(RemoveDirectoryA("C:\\Data\\Sub"));
    EXPECT_FALSE(RemoveDirectoryA("C:\\Data\\Sub"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, TempPathIsAFolderUnderTheRoot) {
    char small[4];
    EXPECT_EQ(GetTempPathA(sizeof(small), small), 17u);
    char path[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(path), path);
    EXPECT_EQ(length, strlen(path));
    EXPECT_EQ(std::string(path), "C:\\WINDOWS\\TEMP\\");
    EXPECT_EQ(GetFileAttributesA(path), DWORD(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(std::filesystem::is_directory(root.file("drive_c/WINDOWS/TEMP")));
}

}  // namespace
