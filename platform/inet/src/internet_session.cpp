// The Internet root object and the connection: they only keep the names a request is made of.
#include "inet_errors.h"

#include <afxinet.h>

#include <string.h>

namespace {

// The program's file name without its folder and extension, as MFC names an application.
std::string program_name() {
    char path[MAX_PATH] = {0};
    const DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return "Application";
    std::string name(path, length);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name.empty() ? "Application" : name;
}

// A host name or an IPv4 address: letters, digits, '-', '_' and '.', 253 characters at most.
bool is_server_name(const char* server) {
    const size_t length = strlen(server);
    if (length == 0 || length > 253) return false;
    for (size_t i = 0; i < length; ++i) {
        const char c = server[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '_' || c == '.';
        if (!allowed) return false;
    }
    return true;
}

}  // namespace

CInternetSession::CInternetSession(LPCSTR pstrAgent, DWORD_PTR dwContext, DWORD dwAccessType, LPCSTR pstrProxyName,
                                   LPCSTR pstrProxyBypass, DWORD dwFlags)
    : agent_(pstrAgent ? pstrAgent : program_name()), accessType_(dwAccessType), context_(dwContext) {
    (void)dwFlags;
    if (dwAccessType != PRE_CONFIG_INTERNET_ACCESS && dwAccessType != LOCAL_INTERNET_ACCESS)
        throw new CInternetException(ERROR_INVALID_PARAMETER, nullptr, dwContext);
    if ((pstrProxyName && *pstrProxyName) || (pstrProxyBypass && *pstrProxyBypass))
        throw new CInternetException(ERROR_INVALID_PARAMETER, nullptr, dwContext);
    qf_inet::inet_global_init();
}

CInternetSession::~CInternetSession() { Close(); }

void CInternetSession::Close() { open_ = false; }

CHttpConnection* CInternetSession::GetHttpConnection(LPCSTR pstrServer, INTERNET_PORT nPort, LPCSTR pstrUserName,
                                                     LPCSTR pstrPassword) {
    if (!open_) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, nullptr, context_);
    if ((pstrUserName && *pstrUserName) || (pstrPassword && *pstrPassword))
        throw new CInternetException(ERROR_NOT_SUPPORTED, nullptr, context_);
    if (!pstrServer || !is_server_name(pstrServer))
        throw new CInternetException(ERROR_INTERNET_INVALID_URL, nullptr, context_);
    const INTERNET_PORT port = nPort == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_HTTP_PORT : nPort;
    return new CHttpConnection(agent_, accessType_, pstrServer, port);
}

CHttpConnection::CHttpConnection(const std::string& agent, DWORD accessType, const std::string& server,
                                 INTERNET_PORT port)
    : agent_(agent), accessType_(accessType), server_(server), port_(port) {}

CHttpConnection::~CHttpConnection() { Close(); }

void CHttpConnection::Close() { open_ = false; }

CHttpFile* CHttpConnection::OpenRequest(int nVerb, LPCSTR pstrObjectName, LPCSTR pstrReferer, DWORD_PTR dwContext,
                                        LPCSTR* ppstrAcceptTypes, LPCSTR pstrVersion, DWORD dwFlags) {
    if (!open_) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE, nullptr, dwContext);
    const bool defaultVersion = !pstrVersion || !*pstrVersion || strcmp(pstrVersion, "HTTP/1.1") == 0;
    if (nVerb != HTTP_VERB_GET || (pstrReferer && *pstrReferer) || (ppstrAcceptTypes && *ppstrAcceptTypes) ||
        !defaultVersion)
        throw new CInternetException(ERROR_NOT_SUPPORTED, nullptr, dwContext);
    if (!pstrObjectName || pstrObjectName[0] != '/')
        throw new CInternetException(ERROR_INTERNET_INVALID_URL, nullptr, dwContext);
    for (const char* p = pstrObjectName; *p; ++p)
        if ((unsigned char)*p <= ' ' || *p == 127 || *p == '#')
            throw new CInternetException(ERROR_INTERNET_INVALID_URL, nullptr, dwContext);
    const std::string url = "http://" + server_ + ":" + std::to_string(port_) + pstrObjectName;
    return new CHttpFile(agent_, accessType_, url, (dwFlags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0);
}
