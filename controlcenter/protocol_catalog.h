// Reading the Winsock catalog as the installer and the admin command line show it.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

// Every catalog entry, in catalog order: a size query, the allocation, then the enumeration.
// announce (when not null) is written to standard output between the allocation and the
// enumeration. 0 on success, else the Winsock error (WSA_NOT_ENOUGH_MEMORY when the allocation
// fails).
int ReadProtocolCatalog(std::vector<WSAPROTOCOL_INFOW>& entries, const char* announce);

// An entry's szProtocol as UTF-8, read no further than its 256 characters.
std::string ProtocolNameText(const WSAPROTOCOL_INFOW& info);
