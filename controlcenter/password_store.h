// The Control Center's password: a 16-byte check block in DBDIR "bin\vterr32.dll", the RC6
// encryption of the password's cyclic repetition under a key taken from the same repetition.
// The password itself is never stored.
#pragma once

enum {
    PWS_MISMATCH = 8000,    // the file was read; the typed password does not match
    PWS_MATCH = 8001,       // the typed password matches
    PWS_WRITTEN = 8003,     // the password file was written
    PWS_FILE_ERROR = 8005,  // the password file cannot be opened (for reading or for writing)
};

// Writes the check block of password (not empty, at most 28 characters). PWS_WRITTEN or
// PWS_FILE_ERROR; the file is replaced whole or not at all.
int StorePassword(const char* password);

// Tests typed against the password file: PWS_MATCH, PWS_MISMATCH or PWS_FILE_ERROR.
int VerifyPassword(const char* typed);

// Whether the password file opens for reading (the Control Center's first start sets a password
// when it does not).
bool PasswordFileOpens();
