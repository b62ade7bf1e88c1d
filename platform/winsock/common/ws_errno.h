// The one table that turns Linux errno values into Winsock error codes, shared by ws2_32 and the
// base provider.
#pragma once

namespace qf::ws {

// The Winsock error code for errnoValue (WSAEINVAL... as in winerror.h); WSASYSCALLFAILURE when
// no Winsock error fits.
int ws_error_from_errno(int errnoValue);

}  // namespace qf::ws
