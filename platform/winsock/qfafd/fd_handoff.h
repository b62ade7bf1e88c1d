// Hands a socket descriptor to another process (or this one) for WSPDuplicateSocket (Linux side):
// the offering process listens on an abstract local socket named by a random token and passes the
// descriptor over it once, to the target process only; the taking process connects by the token.
// (Abstract names are visible to every process on the machine, so the token alone proves nothing.)
#pragma once

#include <cstdint>

namespace qf::afd {

// Prepares an offer of fd to process targetPid: listener is the descriptor to wait on, copy the
// descriptor that will be passed. Returns 0 or a Winsock error (WSAEINVAL: no such process).
int handoff_open(int fd, uint32_t targetPid, uint32_t& token, int& listener, int& copy);
// Passes copy to a connection on listener when it comes from targetPid; a connection from any other
// process is turned away (does not close listener or copy). Returns whether the target was served.
bool handoff_serve(int listener, int copy, uint32_t targetPid);
// Takes the descriptor offered under token. Returns 0 or a Winsock error (WSAEINVAL: no such offer).
int handoff_take(uint32_t token, int& fd);

}  // namespace qf::afd
