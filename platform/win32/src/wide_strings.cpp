// lstrlenW, lstrcpyW and lstrcatW: WCHAR strings of 16-bit units, whatever wchar_t is here.
#include <windows.h>

extern "C" int WINAPI lstrlenW(LPCWSTR lpString) {
    if (!lpString) return 0;
    int n = 0;
    while (lpString[n]) ++n;
    return n;
}

extern "C" LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return nullptr;
    LPWSTR to = lpString1;
    while ((*to++ = *lpString2++) != 0) {
    }
    return lpString1;
}

extern "C" LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2) return nullptr;
    lstrcpyW(lpString1 + lstrlenW(lpString1), lpString2);
    return lpString1;
}
