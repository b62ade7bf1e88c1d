// The identifiers of the provider's catalog entries and their registry-string form.
#pragma once

#include <windows.h>

#include <stddef.h>

// The provider's own hidden layered entry: {64C92200-C857-11D4-9507-0000E8708FED}.
extern const GUID kLayeredProviderId;

// A chain identifier {NNNNNNNN-E0AF-11D4-9508-0000E8708FED}: Data1 is counter, which is then
// incremented; the rest is fixed.
void MakeChainGuid(GUID& guid, DWORD& counter);

// Whether guid has the fixed part of a chain identifier (any Data1).
bool IsChainGuid(const GUID& guid);

// guid as "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x" (36 characters, lower case, no
// braces) in a newly allocated, zeroed 38-byte buffer from the process heap, which the caller
// releases with FreeGuidText. Null when the allocation fails.
char* FormatGuid(const GUID& guid);
void FreeGuidText(char* text);

// Reads the form FormatGuid writes (hex digits of either case) from text[0..length): exactly 36
// characters, dashes where the form has them and hex digits everywhere else. On anything else
// returns false and leaves guid unchanged.
bool ParseGuid(const char* text, size_t length, GUID& guid);
