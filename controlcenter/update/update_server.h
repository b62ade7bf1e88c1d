// The update server's name and port as the registry value UpdateServer gives them.
#pragma once

#include <wininet.h>

#include <string>

// Parses "HOST" or "HOST:PORT" (PORT 1 to 65535, digits only). INTERNET_INVALID_PORT_NUMBER
// when no port is given. False for an empty host or a port that is not one.
bool ParseUpdateServer(const char* text, std::string& host, INTERNET_PORT& port);

// Reads and parses the value. False when it is missing or not a server.
bool ReadUpdateServer(std::string& host, INTERNET_PORT& port);
