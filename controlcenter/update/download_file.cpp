// DownloadFile: one GET of a server path, its body stored as received, the progress bar advanced
// by every piece read.
#include "filter_update.h"

#include <afxinet.h>
#include <commctrl.h>

#include <limits.h>

namespace {

const UINT kReadSize = 2048;

bool write_all(HANDLE file, const char* data, DWORD length) {
    while (length > 0) {
        DWORD put = 0;
        if (!WriteFile(file, data, length, &put, NULL) || put == 0) return false;
        data += put;
        length -= put;
    }
    return true;
}

}  // namespace

const char kUpdateRequestHeaders[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, image/png, */*\r\nAccept-Encoding: gzip\r\n"
    "Accept-Language: en\r\nAccept-Charset: iso-8859-1,*,utf-8\r\n\r\n";
const char kInternetErrorCaption[] = "Error";

int FilterUpdate::DownloadFile(const char* localPath, const char* serverPath, int& byteCount) {
    CInternetSession* session = nullptr;
    CHttpConnection* connection = nullptr;
    CHttpFile* request = nullptr;
    bool answered = false;

    auto show_error = [this](CInternetException* e) {
        char text[255] = {0};
        e->GetErrorMessage(text, sizeof(text));
        e->Delete();
        window_.ShowMessageBox(text, kInternetErrorCaption, MB_OK);
    };

    try {
        session = new CInternetSession(NULL, 1, PRE_CONFIG_INTERNET_ACCESS);
        connection = session->GetHttpConnection(host_.c_str(), port_);
        request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, serverPath, NULL, 1, NULL, NULL,
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_DONT_CACHE);
        request->SendRequest(kUpdateRequestHeaders, (DWORD)(sizeof(kUpdateRequestHeaders) - 1));
        DWORD status = 0;
        answered = request->QueryInfoStatusCode(status) && status == HTTP_STATUS_OK;
    } catch (CInternetException* e) {
        show_error(e);
    }

    // The local file is made (or emptied) whatever the answer, and a file that cannot be made
    // fails the download.
    bool stored = false;
    HANDLE file = CreateFileA(localPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        if (answered) {
            byteCount = 0;
            long long total = 0;
            stored = true;
            try {
                char buffer[kReadSize];
                for (;;) {
                    const UINT got = request->Read(buffer, kReadSize);
                    if (got < 1) break;
                    window_.SendProgressMessage(PBM_DELTAPOS, got, 0);
                    window_.Refresh();
                    total += got;
                    if (total > INT_MAX || !write_all(file, buffer, got)) {
                        stored = false;
                        break;
                    }
                    byteCount = (int)total;
                }
            } catch (CInternetException* e) {
                show_error(e);
                stored = false;
            }
        }
        if (!FlushFileBuffers(file)) stored = false;
        if (!CloseHandle(file)) stored = false;
    }

    delete request;
    delete connection;
    if (session) session->Close();
    delete session;
    return stored ? 1 : 0;
}
