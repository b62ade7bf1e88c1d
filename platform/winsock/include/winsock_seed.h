// Seeding of a new machine's Winsock catalog, the way a Windows setup leaves it.
#pragma once

#include <windows.h>

#include <string>

namespace qf {

// The base provider's identifier and library path in the catalog.
extern const GUID kBaseProviderId;
extern const WCHAR kBaseProviderPath[32];  // "%SystemRoot%\\system32\\qfafd.dll"

// Installs the base provider's TCP, UDP and raw IPv4 entries unless the catalog has them already.
// False, with a sentence in error, on failure.
bool seed_winsock_catalog(std::string& error);

}  // namespace qf
