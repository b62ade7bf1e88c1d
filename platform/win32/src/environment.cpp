// The Windows folders, environment variables, the program's path and the process id.
#include <windows.h>

#include <qf/module_file_name.h>

#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <string>

extern char** environ;

namespace {

const char kWindowsFolder[] = "C:\\WINDOWS";
const char kSystemFolder[] = "C:\\WINDOWS\\SYSTEM32";

// Variables every Windows machine has, whatever the Linux environment says.
struct FixedVariable {
    const char* name;
    const char* value;
};
const FixedVariable kFixedVariables[] = {
    {"SystemRoot", kWindowsFolder},
    {"windir", kWindowsFolder},
    {"SystemDrive", "C:"},
};

// The value of a variable: the fixed ones first, then the process environment (an exact match,
// else one that differs only in case, since Windows names are case-insensitive).
bool lookup_variable(const char* name, size_t length, std::string& value) {
    for (const FixedVariable& fixed : kFixedVariables) {
        if (std::strlen(fixed.name) == length && strncasecmp(fixed.name, name, length) == 0) {
            value = fixed.value;
            return true;
        }
    }
    const char* caseless = nullptr;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (!equals || static_cast<size_t>(equals - *entry) != length) continue;
        if (std::strncmp(*entry, name, length) == 0) {
            value = equals + 1;
            return true;
        }
        if (!caseless && strncasecmp(*entry, name, length) == 0) caseless = equals + 1;
    }
    if (caseless) value = caseless;
    return caseless != nullptr;
}

// The Win32 string-answer contract: when text fits (with its terminator) copy it and answer its
// length; otherwise leave the buffer alone and answer the size needed, terminator included.
UINT answer_text(const char* text, LPSTR buffer, UINT size) {
    UINT length = static_cast<UINT>(std::strlen(text));
    if (!buffer || size <= length) return length + 1;
    std::memcpy(buffer, text, length + 1);
    return length;
}

}  // namespace

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) { return answer_text(kSystemFolder, lpBuffer, uSize); }

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) { return answer_text(kWindowsFolder, lpBuffer, uSize); }

extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    if (!lpSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string result;
    for (const char* p = lpSrc; *p;) {
        if (*p != '%') {
            result += *p++;
            continue;
        }
        const char* close = std::strchr(p + 1, '%');
        std::string value;
        if (close && close > p + 1 && lookup_variable(p + 1, static_cast<size_t>(close - p - 1), value)) {
            result += value;
            p = close + 1;
        } else if (close) {
            // Unknown (or empty) name: the text stays as written, and the closing '%' may open the next.
            result.append(p, static_cast<size_t>(close - p));
            p = close;
        } else {
            result += p;
            break;
        }
    }
    DWORD needed = static_cast<DWORD>(result.size() + 1);
    if (lpDst && nSize >= needed) {
        std::memcpy(lpDst, result.c_str(), needed);
    } else if (lpDst && nSize > 0) {
        lpDst[0] = '\0';  // nothing half-expanded that could pass for the answer
    }
    return needed;
}

extern "C" DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
    std::string value;
    if (!lpName || !*lpName || std::strchr(lpName, '=') || !lookup_variable(lpName, std::strlen(lpName), value)) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return answer_text(value.c_str(), lpBuffer, nSize);
}

extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    std::string path;
    if (hModule && hModule != GetModuleHandleA(NULL)) {
        // Module handles belong to the module loader.
        if (!qf::module_file_name(hModule, path)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
    } else {
        char program[PATH_MAX];
        ssize_t got = readlink("/proc/self/exe", program, sizeof(program) - 1);
        if (got < 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return 0;
        }
        path.assign(program, static_cast<size_t>(got));
    }
    const size_t length = path.size();
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // As on Windows XP and later: a path that does not fit is cut and terminated, the answer is
    // nSize and the last error ERROR_INSUFFICIENT_BUFFER.
    if (length >= nSize) {
        std::memcpy(lpFilename, path.c_str(), nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path.c_str(), length + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(length);
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
