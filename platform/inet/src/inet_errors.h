// How libcurl's results become internet errors.
#pragma once

#include <windows.h>

#include <curl/curl.h>

#include <string>

namespace qf_inet {

// The WinInet error code for a failed transfer.
DWORD inet_error_from_curl(CURLcode code);

// The text for a failed transfer: curl's description, then its detail when it has one.
std::string inet_error_text(CURLcode code, const char* detail);

// Throws new CInternetException(error, text).
[[noreturn]] void throw_inet_error(DWORD error, const std::string& text);

// libcurl is set up once per process.
void inet_global_init();

}  // namespace qf_inet
