// Winsock errors as errno values: the stand-in's table read backwards.
#include "live_errno.h"

#include "ws_errno.h"

#include <errno.h>

#include <winerror.h>

#include <gtest/gtest.h>

namespace {

struct Case {
    int wsError;
    int expected;
};

// Where the table gives one Winsock code for several errno values, the socket errno wins.
const Case kCases[] = {
    {WSAECONNREFUSED, ECONNREFUSED}, {WSAESHUTDOWN, ESHUTDOWN},     {WSAEWOULDBLOCK, EAGAIN},
    {WSAECONNRESET, ECONNRESET},     {WSAENOBUFS, ENOBUFS},         {WSAEOPNOTSUPP, EOPNOTSUPP},
    {WSAEACCES, EACCES},             {WSAEMFILE, EMFILE},           {WSAENOTSOCK, ENOTSOCK},
    {WSAEAFNOSUPPORT, EAFNOSUPPORT}, {WSAETIMEDOUT, ETIMEDOUT},     {WSAEINTR, EINTR},
    {WSASYSNOTREADY, ENETDOWN},      {WSANOTINITIALISED, ENETDOWN}, {WSAEDISCON, EIO},
};

TEST(LiveErrno, WinsockErrorsReadAsTheErrnoAProgramExpects) {
    for (const Case& c : kCases) EXPECT_EQ(qf::live::errno_from_ws_error(c.wsError), c.expected) << c.wsError;
}

TEST(LiveErrno, EveryErrnoOfTheTableComesBackAsTheSameWinsockError) {
    for (int e = 1; e < 256; ++e) {
        int ws = qf::ws::ws_error_from_errno(e);
        if (ws == WSASYSCALLFAILURE || ws == WSAEWOULDBLOCK) continue;
        EXPECT_EQ(qf::ws::ws_error_from_errno(qf::live::errno_from_ws_error(ws)), ws) << "errno " << e;
    }
}

}  // namespace
