// Helpers the seeding steps share: registry values that are set only when missing, folders.
#pragma once

#include <string>

namespace qf {

// The installation directory as the Control Center reads it.
extern const char kProductKey[];  // "SOFTWARE\Marrowby\Quillfence\2.2"
extern const char kDbdirValue[];  // "DBDIR"
extern const char kFactoryDbdir[];  // "C:\Program Files\Quillfence\"

// Sets a REG_SZ value under HKEY_LOCAL_MACHINE\key unless it already exists (with any type).
bool seed_string_value(const char* key, const char* name, const char* value, std::string& error);

// Reads a REG_SZ value under HKEY_LOCAL_MACHINE (at most 255 characters). False when unreadable.
bool read_string_value(const char* key, const char* name, std::string& value);

// Creates a Windows folder and every missing folder above it.
bool create_windows_folders(const std::string& windowsPath, std::string& error);

// DBDIR with its final backslash; false when it cannot be read.
bool read_dbdir(std::string& dbdir);

// The Win32 error text of a code, e.g. "error 5".
std::string win32_error_text(long code);

}  // namespace qf
