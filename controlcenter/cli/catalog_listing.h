// The lines of `quillfence status` that show the Winsock catalog.
#pragma once

#include <winsock2.h>

#include <string>

// One line (no line end) for an entry: its catalog entry id, its name in double quotes (with
// backslash, double quote and control characters escaped, so an entry never takes two lines),
// then "layered" for a layered entry or "chain" and the ids of its chain.
std::string CatalogListingLine(const WSAPROTOCOL_INFOW& entry);
