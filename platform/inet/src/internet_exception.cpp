#include <afxinet.h>

#include <string.h>

namespace {

const char* default_text(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_TIMEOUT: return "The operation timed out";
    case ERROR_INTERNET_INVALID_URL: return "The URL is invalid";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "The server name or address could not be resolved";
    case ERROR_INTERNET_INCORRECT_HANDLE_STATE: return "The requested operation cannot be carried out because the handle supplied is not in the correct state";
    case ERROR_INTERNET_CANNOT_CONNECT: return "A connection with the server could not be established";
    case ERROR_INTERNET_CONNECTION_ABORTED: return "The connection with the server was terminated abnormally";
    case ERROR_INTERNET_CONNECTION_RESET: return "The connection with the server was reset";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return "The server response could not be parsed";
    case ERROR_NOT_SUPPORTED: return "The request is not supported";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command";
    default: return "An internal error occurred in the Microsoft Internet extensions";
    }
}

}  // namespace

CInternetException::CInternetException(DWORD dwError, const char* text, DWORD_PTR dwContext)
    : m_dwError(dwError), m_dwContext(dwContext), text_(text ? text : default_text(dwError)) {}

BOOL CInternetException::GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext) const {
    if (pnHelpContext) *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0) return FALSE;
    const size_t length = text_.size() < nMaxError - 1 ? text_.size() : nMaxError - 1;
    memcpy(lpszError, text_.data(), length);
    lpszError[length] = '\0';
    return TRUE;
}

void CInternetException::Delete() { delete this; }
