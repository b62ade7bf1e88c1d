#include "inet_errors.h"

#include <afxinet.h>

#include <mutex>

namespace qf_inet {

DWORD inet_error_from_curl(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_INVALID_URL;
    case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP_RETURNED_ERROR: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_PARTIAL_FILE:
    case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

std::string inet_error_text(CURLcode code, const char* detail) {
    std::string text = curl_easy_strerror(code);
    if (detail && *detail) {
        text += ": ";
        text += detail;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    return text;
}

void throw_inet_error(DWORD error, const std::string& text) { throw new CInternetException(error, text.c_str()); }

void inet_global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace qf_inet
