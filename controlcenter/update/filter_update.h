// The filter update behind the Advanced settings window's Update Filter button (1013): downloads
// a new word dictionary (data and index) and a new topic list from the update server, checks each
// against the sizes the server announced, installs them, and carries the parent's topic
// selections over to the new list by position.
#pragma once

#include <advanced_window.h>

#include <wininet.h>

#include <string>

// The update server: the string value UpdateServer under the product key, a host name or IPv4
// address with an optional ":PORT" (HTTP, port 80 by default).
extern const char kUpdateServerValue[];  // "UpdateServer"

// The paths on the server, in the order they are downloaded.
extern const char kSizeFileServerPath[];        // "/downloads/filters/v2/dload0.dd0"
extern const char kDictionaryDataServerPath[];  // "/downloads/filters/v2/dload1.dd1"
extern const char kDictionaryIndexServerPath[]; // "/downloads/filters/v2/dload2.dd2"
extern const char kTopicListServerPath[];       // "/downloads/filters/v2/dload3.dd3"

// The extra headers of every request, sent as they are.
extern const char kUpdateRequestHeaders[];

// The update's message boxes.
extern const char kFilterUpdateCaption[];  // "Quillfence - Filter update"
extern const char kFilterUpdateDone[];     // "Filter update successfully completed.\nPlease review ..."
extern const char kFilterUpdateFailed[];   // "Error updating filter.\nPlease retry later."
// The caption of the box that shows an internet error's text.
extern const char kInternetErrorCaption[];  // "Error"

class FilterUpdate {
public:
    explicit FilterUpdate(AdvancedWindow& window);
    virtual ~FilterUpdate() = default;

    // Update Filter: the whole update, on the caller's thread, with the button disabled while it
    // runs. Success sets the filter update's change marker. A failure shows kFilterUpdateFailed;
    // one after the installed files began to be replaced first puts them all back as they were.
    void UpdateFilter();

    // Fetches serverPath from the update server into localPath (created or emptied in any case).
    // 1 when the server answered 200 and the whole body was stored (byteCount = its length);
    // 0 otherwise. An internet error is shown (its text, OK button) before the 0.
    virtual int DownloadFile(const char* localPath, const char* serverPath, int& byteCount);

private:
    AdvancedWindow& window_;
    std::string host_;
    INTERNET_PORT port_ = INTERNET_INVALID_PORT_NUMBER;
};
