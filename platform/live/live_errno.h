// Winsock error codes as the errno values a Linux program understands.
#pragma once

namespace qf::live {

// The errno for a Winsock error code, from the stand-in's one errno table read backwards.
// WSAEWOULDBLOCK reads EAGAIN (a connect under way says EINPROGRESS itself); a Winsock that
// cannot start reads ENETDOWN; codes no errno stands for read EIO.
int errno_from_ws_error(int wsError);

}  // namespace qf::live
