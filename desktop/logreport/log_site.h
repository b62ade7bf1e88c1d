// The site a "BLOCK" or "DENY" line of the access log is about, read from the line's text as the
// filter writes it:
//   "Violation in site name (NAME)"                       a refused name look-up
//   "HOST (ADDRESS); REST" or "ADDRESS; REST"             a site or address judged by the lists
//   "... connection to ADDRESS."                          a connection of a blocked protocol
// The site is the host name when the line has one, else the address; host names in lower case,
// without a ":PORT".
#pragma once

#include <stddef.h>

// Reads text (length bytes, no terminator needed) and writes the site, cut to fit, as a
// zero-terminated text into site (siteSize bytes, at least 1). Result: the site's length, 0 when
// the line names none (site is then empty).
size_t logreport_site(const char* text, size_t length, char* site, size_t siteSize);
