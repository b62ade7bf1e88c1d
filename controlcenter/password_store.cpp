// The password file: the check block and the key are both built by repeating the password; the
// key schedule is given 32 bits, so the key is the first four characters of the repetition.
#include "password_store.h"

#include "rc6.h"
#include "secure_wipe.h"

#include <dbdir.h>

#include <windows.h>

#include <string.h>

namespace {

const char kPasswordFile[] = "bin\\vterr32.dll";
// The new block is written here first and then moved over the password file, so a write that
// fails half-way never leaves a damaged password file behind.
const char kTemporaryFile[] = "bin\\oldstat.tmp";
const int kKeyBits = 32;

// DBDIR followed by relative; the bare relative path (against the current directory) when DBDIR
// cannot be read.
void password_path(const char* relative, char* out, DWORD size) {
    if (dbdir_path(relative, out, size)) return;
    size_t length = strlen(relative);
    if (length >= size) length = size - 1;
    memcpy(out, relative, length);
    out[length] = '\0';
}

// Characters 0 .. size-1 of password repeated without end.
void repeat_password(const char* password, unsigned char* out, size_t size) {
    const size_t length = strlen(password);
    for (size_t i = 0; i < size; ++i) out[i] = length ? (unsigned char)password[i % length] : 0;
}

// The check block of password, encrypted (direction RC6_ENCRYPT) or the file's block decrypted.
bool crypt_block(const char* password, const unsigned char in[16], unsigned char out[16], int direction) {
    unsigned char keyMaterial[32];
    repeat_password(password, keyMaterial, sizeof(keyMaterial));
    Rc6KeySchedule schedule;
    const bool made = Rc6MakeKeySchedule(keyMaterial, kKeyBits, &schedule) != FALSE;
    SecureWipe(keyMaterial, sizeof(keyMaterial));
    if (!made) return false;
    Rc6Block(&schedule, in, out, direction);
    Rc6ReleaseKeySchedule(&schedule);
    return true;
}

bool write_whole(const char* path, const unsigned char* data, DWORD size) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data, size, &written, NULL) && written == size;
    ok = FlushFileBuffers(file) && ok;
    return CloseHandle(file) && ok;
}

}  // namespace

int StorePassword(const char* password) {
    if (!password || !*password) return PWS_FILE_ERROR;
    unsigned char check[16];
    unsigned char block[16] = {0};
    repeat_password(password, check, sizeof(check));
    const bool encrypted = crypt_block(password, check, block, RC6_ENCRYPT);
    SecureWipe(check, sizeof(check));
    if (!encrypted) return PWS_FILE_ERROR;

    char path[256] = {0};
    char temporary[256] = {0};
    password_path(kPasswordFile, path, sizeof(path));
    password_path(kTemporaryFile, temporary, sizeof(temporary));
    if (!write_whole(temporary, block, sizeof(block)) ||
        !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary);
        return PWS_FILE_ERROR;
    }
    return PWS_WRITTEN;
}

int VerifyPassword(const char* typed) {
    if (!typed) return PWS_MISMATCH;
    char path[256] = {0};
    password_path(kPasswordFile, path, sizeof(path));
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return PWS_FILE_ERROR;
    // A file shorter than 16 bytes leaves the rest of the block zero, which does not match.
    unsigned char block[16] = {0};
    DWORD done = 0;
    while (done < sizeof(block)) {
        DWORD got = 0;
        if (!ReadFile(file, block + done, sizeof(block) - done, &got, NULL) || got == 0) break;
        done += got;
    }
    CloseHandle(file);

    unsigned char check[16];
    unsigned char decrypted[16] = {0};
    repeat_password(typed, check, sizeof(check));
    const bool same = *typed && crypt_block(typed, block, decrypted, RC6_DECRYPT) &&
                      memcmp(decrypted, check, sizeof(check)) == 0;
    SecureWipe(check, sizeof(check));
    SecureWipe(decrypted, sizeof(decrypted));
    return same ? PWS_MATCH : PWS_MISMATCH;
}

bool PasswordFileOpens() {
    char path[256] = {0};
    password_path(kPasswordFile, path, sizeof(path));
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}
