// VTList: the topic list, one 804-byte record in "ixplor64.dll" of the system directory. The 30
// name bytes of entries 0 to count are stored raised by 32; everything else as it is.
#include "VTList.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kFileName[] = "ixplor64.dll";

struct FactoryTopic {
    const char* name;
    INT enabled;
};

const FactoryTopic kFactoryTopics[] = {
    {"Pornography", 1},       {"Violence and Weapons", 0}, {"Hate and Intolerance", 0}, {"Gambling", 0},
    {"Drugs and Alcohol", 0}, {"Satanism", 0},             {"Hacking", 0},              {"Suicide", 0},
};

bool topic_file_path(char* path, size_t size) {
    char directory[255] = {0};
    UINT length = GetSystemDirectoryA(directory, sizeof(directory));
    if (length == 0 || length >= sizeof(directory)) return false;
    int written = snprintf(path, size, "%s\\%s", directory, kFileName);
    return written > 0 && (size_t)written < size;
}

// The entries whose names are converted: 0 to count, never past the last entry that exists,
// whatever count the record holds.
int converted_entries(INT count) {
    if (count < 0) return 0;
    return count >= VTLIST_ENTRIES ? VTLIST_ENTRIES : count + 1;
}

// Adds delta to each name byte of the converted entries that lies below limit bytes of the
// record (a short read converts only what it read).
void convert_names(TopicRecord* record, int delta, size_t limit) {
    int entries = converted_entries(record->count);
    unsigned char* base = (unsigned char*)record;
    for (int i = 0; i < entries; ++i) {
        size_t offset = offsetof(TopicRecord, entries) + (size_t)i * sizeof(TopicEntry) + offsetof(TopicEntry, name);
        for (size_t j = 0; j < VTLIST_NAME_SIZE && offset + j < limit; ++j)
            base[offset + j] = (unsigned char)(base[offset + j] + delta);
    }
}

// Creates or truncates the file ("wb+") and writes the record as it is. 1 = all 804 bytes written.
int write_record(const TopicRecord* record) {
    char path[300];
    if (!topic_file_path(path, sizeof(path))) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const unsigned char* bytes = (const unsigned char*)record;
    DWORD done = 0;
    bool ok = true;
    while (ok && done < sizeof(TopicRecord)) {
        DWORD put = 0;
        ok = WriteFile(file, bytes + done, sizeof(TopicRecord) - done, &put, NULL) && put > 0;
        done += put;
    }
    ok = CloseHandle(file) && ok;
    return ok ? 1 : 0;
}

}  // namespace

extern "C" {

int vtlist_init(TopicRecord* record) {
    if (!record) return 0;
    record->count = -1;
    for (TopicEntry& entry : record->entries) {
        entry.id = -1;
        memset(entry.name, 0, sizeof(entry.name));
        entry.enabled = 0;
    }
    return 1;
}

int vtlist_read(TopicRecord* record) {
    if (!record) return 0;
    char path[300];
    if (!topic_file_path(path, sizeof(path))) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    unsigned char* bytes = (unsigned char*)record;
    DWORD done = 0;
    while (done < sizeof(TopicRecord)) {
        DWORD got = 0;
        if (!ReadFile(file, bytes + done, sizeof(TopicRecord) - done, &got, NULL) || got == 0) break;
        done += got;
    }
    CloseHandle(file);
    convert_names(record, -32, done);
    return 1;
}

int vtlist_write(TopicRecord* record) {
    if (!record) return 0;
    convert_names(record, 32, sizeof(TopicRecord));
    return write_record(record);
}

int vtlist_regen(TopicRecord* record) {
    if (!record) return 0;
    vtlist_init(record);
    const int topics = (int)(sizeof(kFactoryTopics) / sizeof(kFactoryTopics[0]));
    record->count = topics;
    for (int i = 0; i < topics; ++i) {
        record->entries[i].id = i;
        strncpy(record->entries[i].name, kFactoryTopics[i].name, VTLIST_NAME_SIZE - 1);
        record->entries[i].enabled = kFactoryTopics[i].enabled;
    }
    convert_names(record, 32, sizeof(TopicRecord));
    int result = write_record(record);
    convert_names(record, -32, sizeof(TopicRecord));
    return result;
}

}  // extern "C"
