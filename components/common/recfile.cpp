#include "recfile.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <vector>

#include "dbdir.h"

namespace {

const char kMagic[4] = {'Q', 'F', 'R', 'C'};
const DWORD kHeaderSize = 12;
const DWORD kTrailerSize = 4;

void put32(unsigned char* out, DWORD value) {
    out[0] = (unsigned char)(value & 0xFF);
    out[1] = (unsigned char)((value >> 8) & 0xFF);
    out[2] = (unsigned char)((value >> 16) & 0xFF);
    out[3] = (unsigned char)((value >> 24) & 0xFF);
}

DWORD get32(const unsigned char* in) {
    return (DWORD)in[0] | ((DWORD)in[1] << 8) | ((DWORD)in[2] << 16) | ((DWORD)in[3] << 24);
}

// Reads exactly length bytes; false on an error or an early end of file.
bool read_all(HANDLE file, unsigned char* buffer, DWORD length) {
    DWORD done = 0;
    while (done < length) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + done, length - done, &got, NULL) || got == 0) return false;
        done += got;
    }
    return true;
}

bool write_all(HANDLE file, const unsigned char* buffer, DWORD length) {
    DWORD done = 0;
    while (done < length) {
        DWORD put = 0;
        if (!WriteFile(file, buffer + done, length - done, &put, NULL) || put == 0) return false;
        done += put;
    }
    return true;
}

// A temporary name beside the final file that no other writer (thread or process) uses.
bool temporary_path(const char* finalPath, char* out, size_t outSize) {
    static std::atomic<unsigned> counter{0};
    unsigned serial = ++counter;
    int written = snprintf(out, outSize, "%s.%lu.%u.tmp", finalPath, (unsigned long)GetCurrentProcessId(), serial);
    return written > 0 && (size_t)written < outSize;
}

}  // namespace

namespace {

struct Crc32Table {
    DWORD entries[256];
    Crc32Table() {
        for (DWORD i = 0; i < 256; ++i) {
            DWORD c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[i] = c;
        }
    }
};

}  // namespace

DWORD recfile_crc32(const void* data, size_t length) {
    static const Crc32Table crcTable;
    const DWORD* table = crcTable.entries;
    const unsigned char* bytes = (const unsigned char*)data;
    DWORD crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

int recfile_read(const char* relative, const char tag[4], void* record, DWORD size) {
    if (!relative || !tag || !record || size == 0 || size > RECFILE_MAX_RECORD) return 0;
    char path[256];
    if (!dbdir_path(relative, path, sizeof(path))) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const DWORD expected = kHeaderSize + size + kTrailerSize;
    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    std::vector<unsigned char> buffer(expected);
    bool ok = length == expected && high == 0 && read_all(file, buffer.data(), expected);
    CloseHandle(file);
    if (!ok) return 0;
    if (memcmp(buffer.data(), kMagic, 4) != 0 || memcmp(buffer.data() + 4, tag, 4) != 0) return 0;
    if (get32(buffer.data() + 8) != size) return 0;
    if (get32(buffer.data() + kHeaderSize + size) != recfile_crc32(buffer.data(), kHeaderSize + size)) return 0;
    memcpy(record, buffer.data() + kHeaderSize, size);
    return 1;
}

int recfile_write(const char* relative, const char tag[4], const void* record, DWORD size) {
    if (!relative || !tag || !record || size == 0 || size > RECFILE_MAX_RECORD) return 0;
    char path[256];
    char temporary[300];
    if (!dbdir_path(relative, path, sizeof(path)) || !temporary_path(path, temporary, sizeof(temporary))) return 0;
    if (!dbdir_ensure_folder(relative)) return 0;

    std::vector<unsigned char> buffer(kHeaderSize + size + kTrailerSize);
    memcpy(buffer.data(), kMagic, 4);
    memcpy(buffer.data() + 4, tag, 4);
    put32(buffer.data() + 8, size);
    memcpy(buffer.data() + kHeaderSize, record, size);
    put32(buffer.data() + kHeaderSize + size, recfile_crc32(buffer.data(), kHeaderSize + size));

    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    bool ok = write_all(file, buffer.data(), (DWORD)buffer.size());
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (ok) ok = MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) {
        DeleteFileA(temporary);
        return 0;
    }
    return 1;
}
