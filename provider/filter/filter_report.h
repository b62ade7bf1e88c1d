// The filter's log lines and alerts: every text is formed in a zeroed 255-byte buffer and cut to
// the 254 characters the log takes.
#pragma once

#include <windows.h>

#include <qfportable.h>

#define FILTER_TEXT_SIZE 255
// "%u.%u.%u.%u", or an IPv6 address in its usual notation.
#define FILTER_ADDRESS_TEXT_SIZE 46

#define FILTER_KIND_NONE ""
#define FILTER_KIND_WARNING "WARNING"
#define FILTER_KIND_BLOCK "BLOCK"
#define FILTER_KIND_DENY "DENY"
#define FILTER_KIND_ALLOW "ALLOW"
#define FILTER_KIND_FETCH "FETCH"

#define FILTER_CAPTION "Quillfence Warning"
#define FILTER_TIME_CAPTION "Quillfence Time Warning"
#define FILTER_ALERT_CONTENT \
    "A content violation has occured.\nQuillfence has blocked your access to this site."

// Formats one log line and submits it.
void filter_log(const char* kind, WORD port, const char* format, ...)
    QF_PRINTF_LIKE(3, 4);

// A line about a site: "<host> (<address>); <rest>" when the host name is known, else
// "<address>; <rest>".
void filter_log_site(const char* kind, WORD port, const char* hostName, const char* addressText,
                     const char* restFormat, ...) QF_PRINTF_LIKE(5, 6);

// The "; 1 violation." / "; %u violations." line of a content block.
void filter_log_violations(WORD port, const char* hostName, const char* addressText, DWORD count);

// Shows an alert without waiting for the user.
void filter_alert(const char* caption, const char* text);

// An IPv4 address (network order) as "%u.%u.%u.%u".
void filter_address_text(DWORD address, char* text);
// An IPv6 address (16 bytes, network order) in the usual hex notation, zero run shortened.
void filter_address6_text(const BYTE* address, char* text);
