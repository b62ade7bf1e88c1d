#include "update_server.h"

#include "filter_update.h"

#include <dbdir.h>
#include <registry_reader.h>

#include <string.h>

const char kUpdateServerValue[] = "UpdateServer";

bool ParseUpdateServer(const char* text, std::string& host, INTERNET_PORT& port) {
    const char* colon = strchr(text, ':');
    const size_t hostLength = colon ? static_cast<size_t>(colon - text) : strlen(text);
    if (hostLength == 0) return false;
    unsigned number = 0;
    if (colon) {
        const char* digits = colon + 1;
        if (!*digits || strlen(digits) > 5) return false;
        for (const char* p = digits; *p; ++p) {
            if (*p < '0' || *p > '9') return false;
            number = number * 10 + static_cast<unsigned>(*p - '0');
        }
        if (number == 0 || number > 65535) return false;
    }
    host.assign(text, hostLength);
    port = static_cast<INTERNET_PORT>(number);
    return true;
}

bool ReadUpdateServer(std::string& host, INTERNET_PORT& port) {
    char value[255] = {0};
    return ReadRegistryString(QF_PRODUCT_KEY, kUpdateServerValue, value) == 1 && ParseUpdateServer(value, host, port);
}
