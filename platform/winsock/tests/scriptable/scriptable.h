// The scriptable test provider: a base provider whose start-up and answers a test sets, so that a
// layered provider's tests reach its handling of a next provider that misbehaves. Its sockets are
// those of the base provider qfafd, over which it runs; as its script says, it fails WSPStartup
// with a chosen error, reports another version in WSPDATA, leaves one entry of its procedure table
// null, answers extension function queries in another way, and fails WSPCleanup. It records its
// start-ups and clean-ups.
//
// A test installs it as a base catalog entry (its own provider identifier, library path
// kScriptablePath), loads the library itself with LoadLibraryA (the script lives in the library,
// so the test's reference keeps it while Winsock loads and unloads the provider), and sets the
// script through the exported functions, found with GetProcAddress.
#pragma once

#include <ws2spi.h>
#include <wide_text.h>

constexpr GUID kScriptableProviderId = {0x3b8f61d2, 0x74a0, 0x4e15, {0x9c, 0x2d, 0x0e, 0x51, 0xa7, 0x63, 0xf8, 0x24}};
constexpr WCHAR kScriptablePath[] = QF_WTEXT("qfscriptable.dll");

// How SIO_GET_EXTENSION_FUNCTION_POINTER is answered.
enum ScriptableExtensions {
    kExtensionsOfBase = 0,     // as the base provider answers (an unknown identifier: WSAEINVAL)
    kExtensionsRefused = 1,    // every identifier fails with extensionError
    kExtensionsNone = 2,       // every identifier succeeds with a null function pointer
};

struct ScriptableScript {
    int startupError;    // nonzero: WSPStartup fails with this error
    WORD version;        // reported as wVersion and wHighVersion of WSPDATA
    int missingEntry;    // the position in WSPPROC_TABLE left null; -1: none
    int extensions;      // a ScriptableExtensions
    int extensionError;  // for kExtensionsRefused
    int cleanupError;    // nonzero: WSPCleanup (after cleaning up) fails with this error
};

constexpr ScriptableScript kScriptableDefault = {0, 0x0202, -1, kExtensionsOfBase, WSAEINVAL, 0};

struct ScriptableRecord {
    int startups;                  // WSPStartup calls, failed ones included
    int cleanups;                  // WSPCleanup calls
    WORD versionRequested;         // of the latest WSPStartup
    DWORD startupCatalogEntryId;   // dwCatalogEntryId of the latest WSPStartup's protocol info
};

// Exported. A null script sets kScriptableDefault; the record starts again from zero.
extern "C" void scriptable_set_script(const ScriptableScript* script);
typedef void (*ScriptableSetScriptFn)(const ScriptableScript* script);
extern "C" void scriptable_get_record(ScriptableRecord* record);
typedef void (*ScriptableGetRecordFn)(ScriptableRecord* record);
