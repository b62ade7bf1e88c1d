// The Control Center's registry readers: values under HKEY_LOCAL_MACHINE.
#pragma once

// Opens key with KEY_QUERY_VALUE and copies the string value valueName (at most 255 bytes) into
// out, zero-terminated; out is a zeroed buffer of at least 255 bytes. 1 = read; 0 = the key does
// not open or the value cannot be read (out is left as it was).
int ReadRegistryString(const char* key, const char* valueName, char* out);

// The same for a 32-bit value, stored to out.
int ReadRegistryDword(const char* key, const char* valueName, int* out);
