// Hands a socket descriptor to another process (or this one) for WSPDuplicateSocket (Linux side):
// the offering process listens on an abstract local socket named by a random token and passes the
// descriptor over it once; the taking process connects by the token.
#pragma once

#include <cstdint>

namespace qf::afd {

// Prepares an offer of fd: listener is the descriptor to wait on, copy the descriptor that will be
// passed. Returns 0 or a Winsock error.
int handoff_open(int fd, uint32_t& token, int& listener, int& copy);
// Passes copy to whoever connected to listener (does not close either). Returns whether one was served.
bool handoff_serve(int listener, int copy);
// Takes the descriptor offered under token. Returns 0 or a Winsock error (WSAEINVAL: no such offer).
int handoff_take(uint32_t token, int& fd);

}  // namespace qf::afd
