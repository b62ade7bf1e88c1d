// The request: one libcurl transfer driven through a multi handle, so that the body is taken as
// the caller reads it. Received bytes wait in a buffer; when the caller falls behind, the
// transfer is paused, so a large body never piles up in memory.
#include "inet_errors.h"

#include <afxinet.h>

#include <curl/curl.h>

#include <string.h>
#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Bytes kept waiting for the reader before the transfer is paused.
const size_t kPauseAt = 256 * 1024;
// A connection that is not made in this time, or a transfer that stalls this long, fails.
const long kConnectTimeoutSeconds = 30;
const long kStallSeconds = 60;
const long kMaxRedirects = 10;

}  // namespace

struct HttpTransfer {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headers = nullptr;
    std::vector<char> buffer;  // bytes received and not yet read start at readPos
    size_t readPos = 0;
    bool added = false;
    bool paused = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    char detail[CURL_ERROR_SIZE] = {0};

    size_t pending() const { return buffer.size() - readPos; }

    static size_t on_body(char* data, size_t size, size_t count, void* self) {
        HttpTransfer* transfer = static_cast<HttpTransfer*>(self);
        const size_t length = size * count;
        if (transfer->pending() >= kPauseAt) {
            transfer->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        transfer->buffer.insert(transfer->buffer.end(), data, data + length);
        return length;
    }

    void resume() {
        if (!paused || done) return;
        paused = false;
        curl_easy_pause(easy, CURLPAUSE_CONT);  // may deliver (and pause) at once
    }

    void collect(CURLMcode code) {
        if (code != CURLM_OK) {
            done = true;
            result = code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_RECV_ERROR;
            return;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                done = true;
                result = message->data.result;
            }
        }
    }

    // Drives the transfer until it ends or bytes wait for the reader.
    void wait_for_bytes() {
        while (!done && pending() == 0) {
            resume();
            if (pending() > 0) break;
            int running = 0;
            collect(curl_multi_perform(multi, &running));
            if (done || pending() > 0) break;
            collect(curl_multi_poll(multi, nullptr, 0, 1000, nullptr));
        }
    }

    [[noreturn]] void throw_failure() const {
        qf_inet::throw_inet_error(qf_inet::inet_error_from_curl(result), qf_inet::inet_error_text(result, detail));
    }

    void close() {
        if (multi && easy && added) curl_multi_remove_handle(multi, easy);
        added = false;
        if (easy) curl_easy_cleanup(easy);
        easy = nullptr;
        if (multi) curl_multi_cleanup(multi);
        multi = nullptr;
        if (headers) curl_slist_free_all(headers);
        headers = nullptr;
        std::vector<char>().swap(buffer);
        readPos = 0;
    }
};

CHttpFile::CHttpFile(const std::string& agent, DWORD accessType, const std::string& url, bool followRedirects)
    : transfer_(new HttpTransfer) {
    HttpTransfer& t = *transfer_;
    t.easy = curl_easy_init();
    t.multi = curl_multi_init();
    if (!t.easy || !t.multi) {
        t.close();
        delete transfer_;
        throw new CInternetException(ERROR_NOT_ENOUGH_MEMORY);
    }
    curl_easy_setopt(t.easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(t.easy, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(t.easy, CURLOPT_HTTP_VERSION, (long)CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(t.easy, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(t.easy, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, followRedirects ? 1L : 0L);
    curl_easy_setopt(t.easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // The body as the server sent it: no content decoding, whatever Content-Encoding says.
    curl_easy_setopt(t.easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(t.easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    if (accessType == LOCAL_INTERNET_ACCESS) curl_easy_setopt(t.easy, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(t.easy, CURLOPT_ERRORBUFFER, t.detail);
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::on_body);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, transfer_);
}

CHttpFile::~CHttpFile() {
    Close();
    delete transfer_;
}

void CHttpFile::Close() { transfer_->close(); }

BOOL CHttpFile::SendRequest(LPCSTR pstrHeaders, DWORD dwHeadersLen, LPVOID lpOptional, DWORD dwOptionalLen) {
    HttpTransfer& t = *transfer_;
    if (!t.easy || t.added) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (lpOptional || dwOptionalLen) throw new CInternetException(ERROR_NOT_SUPPORTED);
    const size_t length = !pstrHeaders ? 0 : dwHeadersLen == (DWORD)-1 ? strlen(pstrHeaders) : dwHeadersLen;
    bool hasAccept = false;
    for (size_t start = 0; start < length;) {
        const char* begin = pstrHeaders + start;
        const char* newline = static_cast<const char*>(memchr(begin, '\n', length - start));
        size_t end = newline ? static_cast<size_t>(newline - pstrHeaders) : length;
        std::string line(begin, end - start);
        start = newline ? end + 1 : length;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.find('\0') != std::string::npos || line.find('\r') != std::string::npos)
            throw new CInternetException(ERROR_INVALID_PARAMETER);
        if (strncasecmp(line.c_str(), "Accept:", 7) == 0) hasAccept = true;
        curl_slist* grown = curl_slist_append(t.headers, line.c_str());
        if (!grown) throw new CInternetException(ERROR_NOT_ENOUGH_MEMORY);
        t.headers = grown;
    }
    // curl's own "Accept: */*" is left out: the request carries what the caller gave.
    if (!hasAccept) {
        curl_slist* grown = curl_slist_append(t.headers, "Accept:");
        if (!grown) throw new CInternetException(ERROR_NOT_ENOUGH_MEMORY);
        t.headers = grown;
    }
    curl_easy_setopt(t.easy, CURLOPT_HTTPHEADER, t.headers);
    if (curl_multi_add_handle(t.multi, t.easy) != CURLM_OK) throw new CInternetException(ERROR_NOT_ENOUGH_MEMORY);
    t.added = true;
    t.wait_for_bytes();
    if (t.done && t.result != CURLE_OK && t.pending() == 0) t.throw_failure();
    return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& dwStatusCode) const {
    long code = 0;
    if (!transfer_->easy || !transfer_->added ||
        curl_easy_getinfo(transfer_->easy, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK || code <= 0) {
        SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
        return FALSE;
    }
    dwStatusCode = static_cast<DWORD>(code);
    return TRUE;
}

UINT CHttpFile::Read(void* lpBuf, UINT nCount) {
    HttpTransfer& t = *transfer_;
    if (!t.easy || !t.added) throw new CInternetException(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (nCount == 0) return 0;
    t.wait_for_bytes();
    if (t.pending() == 0) {
        if (t.result != CURLE_OK) t.throw_failure();
        return 0;
    }
    const size_t count = std::min<size_t>(nCount, t.pending());
    memcpy(lpBuf, t.buffer.data() + t.readPos, count);
    t.readPos += count;
    if (t.readPos == t.buffer.size()) {
        t.buffer.clear();
        t.readPos = 0;
    } else if (t.readPos >= kPauseAt) {
        t.buffer.erase(t.buffer.begin(), t.buffer.begin() + static_cast<std::ptrdiff_t>(t.readPos));
        t.readPos = 0;
    }
    if (t.paused && t.pending() < kPauseAt / 2) t.resume();
    return static_cast<UINT>(count);
}
