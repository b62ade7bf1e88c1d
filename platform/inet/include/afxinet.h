// The GUI toolkit's HTTP client classes (MFC's CInternetSession, CHttpConnection, CHttpFile and
// CInternetException), in the shape the Control Center uses them, over libcurl.
//
// As in MFC, failures of the network are thrown as a CInternetException allocated with new and
// caught by pointer; the catcher calls Delete() on it:
//
//     try { ... } catch (CInternetException* e) { e->GetErrorMessage(text, sizeof(text)); e->Delete(); }
//
// The connection and request objects are made with new by the session and connection; the caller
// deletes them. Each object holds what it needs itself, so they may be deleted in any order.
#pragma once

#include <wininet.h>

#include <string>
#include <vector>

// InternetOpen's access types as MFC names them.
#define PRE_CONFIG_INTERNET_ACCESS INTERNET_OPEN_TYPE_PRECONFIG
#define LOCAL_INTERNET_ACCESS INTERNET_OPEN_TYPE_DIRECT

class CHttpConnection;
class CHttpFile;

// An internet error: the WinInet error code and the platform's text for it.
class CInternetException {
public:
    // text: the platform's description; a default text of the code when null.
    explicit CInternetException(DWORD dwError, const char* text = nullptr, DWORD_PTR dwContext = 1);

    // Copies the text (cut to nMaxError - 1 characters) and a terminator; FALSE when there is
    // no room at all. pnHelpContext, when given, receives 0.
    BOOL GetErrorMessage(LPSTR lpszError, UINT nMaxError, UINT* pnHelpContext = nullptr) const;
    // Frees the exception (it was thrown as a pointer).
    void Delete();

    DWORD m_dwError;
    DWORD_PTR m_dwContext;

private:
    ~CInternetException() = default;
    std::string text_;
};

// The Internet root object (InternetOpen). pstrAgent: the user agent; null gives the program's
// name (its file name without extension). dwAccessType: PRE_CONFIG_INTERNET_ACCESS (the
// system's proxy settings: on Linux the http_proxy and no_proxy environment variables) or
// LOCAL_INTERNET_ACCESS (no proxy); any other type throws ERROR_INVALID_PARAMETER.
class CInternetSession {
public:
    explicit CInternetSession(LPCSTR pstrAgent = nullptr, DWORD_PTR dwContext = 1,
                              DWORD dwAccessType = PRE_CONFIG_INTERNET_ACCESS, LPCSTR pstrProxyName = nullptr,
                              LPCSTR pstrProxyBypass = nullptr, DWORD dwFlags = 0);
    virtual ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A connection to pstrServer (a host name or IPv4 address) on nPort, the HTTP port 80 when
    // INTERNET_INVALID_PORT_NUMBER. Throws ERROR_INTERNET_INVALID_URL for a server name that
    // cannot be one, ERROR_INTERNET_INCORRECT_HANDLE_STATE after Close. User names and
    // passwords are not supported (ERROR_NOT_SUPPORTED).
    CHttpConnection* GetHttpConnection(LPCSTR pstrServer, INTERNET_PORT nPort = INTERNET_INVALID_PORT_NUMBER,
                                       LPCSTR pstrUserName = nullptr, LPCSTR pstrPassword = nullptr);
    virtual void Close();

private:
    std::string agent_;
    DWORD accessType_;
    DWORD_PTR context_;
    bool open_ = true;
};

class CHttpConnection {
public:
    enum { HTTP_VERB_POST = 0, HTTP_VERB_GET = 1, HTTP_VERB_HEAD = 2 };

    virtual ~CHttpConnection();
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // A request for pstrObjectName (a path that starts with '/'). Only HTTP_VERB_GET is supported
    // (ERROR_NOT_SUPPORTED otherwise), with no accept types and the default HTTP version
    // (HTTP/1.1). Redirects are followed unless dwFlags has INTERNET_FLAG_NO_AUTO_REDIRECT; the
    // cache flags are accepted (there is no cache). Nothing is sent before SendRequest.
    CHttpFile* OpenRequest(int nVerb, LPCSTR pstrObjectName, LPCSTR pstrReferer = nullptr, DWORD_PTR dwContext = 1,
                           LPCSTR* ppstrAcceptTypes = nullptr, LPCSTR pstrVersion = nullptr,
                           DWORD dwFlags = INTERNET_FLAG_EXISTING_CONNECT);
    virtual void Close();

private:
    friend class CInternetSession;
    CHttpConnection(const std::string& agent, DWORD accessType, const std::string& server, INTERNET_PORT port);

    std::string agent_;
    DWORD accessType_;
    std::string server_;
    INTERNET_PORT port_;
    bool open_ = true;
};

struct HttpTransfer;

class CHttpFile {
public:
    virtual ~CHttpFile();
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Sends the request with the extra headers pstrHeaders (dwHeadersLen bytes, or up to the
    // terminator when (DWORD)-1): lines separated by "\r\n", each sent as given; empty lines are
    // left out. Besides them the request carries only Host and User-Agent. Returns when the
    // answer has begun (its status and headers are in); throws the
    // internet error when no answer came. A request body is not supported (ERROR_NOT_SUPPORTED).
    BOOL SendRequest(LPCSTR pstrHeaders = nullptr, DWORD dwHeadersLen = 0, LPVOID lpOptional = nullptr,
                     DWORD dwOptionalLen = 0);
    // The answer's status code; FALSE (ERROR_HTTP_HEADER_NOT_FOUND) before an answer.
    BOOL QueryInfoStatusCode(DWORD& dwStatusCode) const;
    // Up to nCount bytes of the body as received (no content decoding); waits for at least one;
    // 0 at the end of the body. Throws the internet error when the body broke off.
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Close();

private:
    friend class CHttpConnection;
    CHttpFile(const std::string& agent, DWORD accessType, const std::string& url, bool followRedirects);

    HttpTransfer* transfer_;
};
