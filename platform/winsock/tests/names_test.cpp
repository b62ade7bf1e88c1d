// Names without the network: host look-ups (numeric, "localhost", the machine's hosts file),
// the machine's name, services, address texts, GetAddrInfoW, SO_OPENTYPE and WSAPoll; and the
// extension functions ConnectEx, DisconnectEx and WSARecvMsg of the base provider.
#include "winsock_test_support.h"

#include <ws2tcpip.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace wstest;

namespace {

class NamesTest : public WinsockTest {};

std::vector<WCHAR> wide(const char* text) {
    std::vector<WCHAR> out;
    for (; *text; ++text) out.push_back(static_cast<unsigned char>(*text));
    out.push_back(0);
    return out;
}

std::string narrow(const WCHAR* text) {
    std::string out;
    for (; text && *text; ++text) out += static_cast<char>(*text);
    return out;
}

std::string address_text(uint32_t networkOrder) {
    in_addr address;
    address.s_addr = networkOrder;
    return inet_ntoa(address);
}

// Writes the machine's hosts file where Windows keeps it, through the Win32 file functions.
void write_hosts_file(const std::string& root, const std::string& text) {
    std::filesystem::create_directories(root + "/drive_c");
    for (const char* folder : {"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS\\SYSTEM32\\drivers",
                               "C:\\WINDOWS\\SYSTEM32\\drivers\\etc"})
        CreateDirectoryA(folder, nullptr);
    HANDLE file = CreateFileA("C:\\WINDOWS\\SYSTEM32\\drivers\\etc\\hosts", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    CloseHandle(file);
}

const char kHostsFile[] =
    "# the machine's own names\n"
    "127.0.0.1       localhost\n"
    "::1             localhost ip6-localhost\n"
    "192.168.7.9     intranet.example intranet wiki   # the office server\n"
    "10.0.0.1\tmulti.example\r\n"
    "10.0.0.2 MULTI.example\n"
    "#10.9.9.9 commented.example\n"
    "999.1.1.1 broken.example\n"
    "10.0.0.3";  // no names, no line end

TEST_P(NamesTest, HostNamesResolveFromNumbersLocalhostAndTheHostsFileWithoutANameServer) {
    ASSERT_NO_FATAL_FAILURE(write_hosts_file(root_.path(), kHostsFile));
    struct Case {
        const char* name;
        const char* officialName;     // null: not found
        std::vector<const char*> addresses;
        std::vector<const char*> aliases;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1", {"127.0.0.1"}, {}},
        {"10.1.2.3", "10.1.2.3", {"10.1.2.3"}, {}},
        {"localhost", "localhost", {"127.0.0.1"}, {}},
        {"intranet.example", "intranet.example", {"192.168.7.9"}, {"intranet", "wiki"}},
        {"WIKI", "intranet.example", {"192.168.7.9"}, {"intranet", "wiki"}},
        {"multi.example", "multi.example", {"10.0.0.1", "10.0.0.2"}, {}},
        {"commented.example", nullptr, {}, {}},
        {"broken.example", nullptr, {}, {}},
        {"ip6-localhost", nullptr, {}, {}},
        {"nowhere.invalid", nullptr, {}, {}},
        {"10.0.0.3x", nullptr, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hostent* entry = gethostbyname(c.name);
        if (!c.officialName) {
            EXPECT_EQ(nullptr, entry);
            EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
            continue;
        }
        ASSERT_NE(nullptr, entry) << WSAGetLastError();
        EXPECT_STREQ(c.officialName, entry->h_name);
        EXPECT_EQ(AF_INET, entry->h_addrtype);
        EXPECT_EQ(4, entry->h_length);
        std::vector<std::string> addresses, aliases;
        for (char** a = entry->h_addr_list; *a; ++a) {
            uint32_t address;
            std::memcpy(&address, *a, sizeof(address));
            addresses.push_back(address_text(address));
        }
        for (char** a = entry->h_aliases; *a; ++a) aliases.push_back(*a);
        EXPECT_EQ(std::vector<std::string>(c.addresses.begin(), c.addresses.end()), addresses);
        EXPECT_EQ(std::vector<std::string>(c.aliases.begin(), c.aliases.end()), aliases);
    }
}

TEST_P(NamesTest, LocalhostAndTheMachinesOwnNameResolveWithoutAHostsFile) {
    char own[256];
    // An int length, as Winsock's gethostname takes (the C library's takes a size_t).
    ASSERT_EQ(0, gethostname(own, static_cast<int>(sizeof(own)))) << WSAGetLastError();
    EXPECT_GT(std::strlen(own), 0u);
    char tiny[1];
    EXPECT_EQ(SOCKET_ERROR, gethostname(tiny, static_cast<int>(sizeof(tiny))));
    EXPECT_EQ(WSAEFAULT, WSAGetLastError());

    for (const char* name : {"localhost", static_cast<const char*>(own)}) {
        hostent* entry = gethostbyname(name);
        ASSERT_NE(nullptr, entry) << name;
        ASSERT_NE(nullptr, entry->h_addr_list[0]);
        uint32_t address;
        std::memcpy(&address, entry->h_addr, sizeof(address));
        EXPECT_EQ(htonl(INADDR_LOOPBACK), address) << name;
    }
    hostent* self = gethostbyname(nullptr);  // the machine's own name
    ASSERT_NE(nullptr, self);
    EXPECT_STREQ(own, self->h_name);
    EXPECT_EQ(nullptr, gethostbyname(reinterpret_cast<const char*>(1)));
    EXPECT_EQ(WSAEFAULT, WSAGetLastError());
}

TEST_P(NamesTest, ServicesAreFoundByNameAliasAndProtocol) {
    struct Case {
        const char* name;
        const char* protocol;
        int port;  // 0: not found
        const char* officialName;
        const char* officialProtocol;
    };
    const Case cases[] = {
        {"http", "tcp", 80, "http", "tcp"},    {"www", "TCP", 80, "http", "tcp"},
        {"domain", nullptr, 53, "domain", "tcp"}, {"domain", "udp", 53, "domain", "udp"},
        {"https", nullptr, 443, "https", "tcp"}, {"http", "udp", 0, nullptr, nullptr},
        {"no-such-service", nullptr, 0, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        servent* entry = getservbyname(c.name, c.protocol);
        if (!c.port) {
            EXPECT_EQ(nullptr, entry);
            EXPECT_EQ(WSANO_DATA, WSAGetLastError());
            continue;
        }
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(htons(static_cast<u_short>(c.port)), static_cast<u_short>(entry->s_port));
        EXPECT_STREQ(c.officialName, entry->s_name);
        EXPECT_STREQ(c.officialProtocol, entry->s_proto);
    }
}

TEST_P(NamesTest, AddressTextsFollowTheRecommendedForms) {
    struct Case {
        int family;
        std::vector<unsigned char> bytes;
        const char* text;
    };
    const Case cases[] = {
        {AF_INET, {192, 168, 0, 1}, "192.168.0.1"},
        {AF_INET6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "::1"},
        {AF_INET6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "::"},
        {AF_INET6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8::1"},
        {AF_INET6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, "2001:db8::1:0:0:1"},
        {AF_INET6, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, "2001:db8:0:1:1:1:1:1"},
        {AF_INET6, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 1, 2, 3, 4}, "::ffff:1.2.3.4"},
        {AF_INET6, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2}, "fe80::1:2"},
    };
    for (const Case& c : cases) {
        char text[INET6_ADDRSTRLEN];
        EXPECT_EQ(text, inet_ntop(c.family, c.bytes.data(), text, sizeof(text)));
        EXPECT_STREQ(c.text, text);
    }
    const unsigned char four[4] = {10, 0, 0, 1};
    char small[8];
    EXPECT_EQ(nullptr, inet_ntop(AF_INET, four, small, sizeof(small)));  // "10.0.0.1" needs 9
    EXPECT_EQ(ERROR_INVALID_PARAMETER, WSAGetLastError());
    EXPECT_EQ(nullptr, inet_ntop(AF_IPX, four, small, sizeof(small)));
    EXPECT_EQ(WSAEAFNOSUPPORT, WSAGetLastError());
}

TEST_P(NamesTest, GetAddrInfoWAnswersForNumbersNamesServicesAndTheWildcard) {
    ASSERT_NO_FATAL_FAILURE(write_hosts_file(root_.path(), kHostsFile));
    struct Case {
        const char* node;     // null: none
        const char* service;  // null: none
        int flags;
        int family;
        int socketType;
        int error;
        std::vector<const char*> addresses;
        u_short port;
        const char* canonicalName;  // null: none expected
    };
    const Case cases[] = {
        {"127.0.0.1", "8080", 0, AF_INET, SOCK_STREAM, 0, {"127.0.0.1"}, 8080, nullptr},
        {"localhost", "http", AI_CANONNAME, AF_UNSPEC, SOCK_STREAM, 0, {"127.0.0.1"}, 80, "localhost"},
        {"wiki", "domain", AI_CANONNAME, AF_INET, SOCK_DGRAM, 0, {"192.168.7.9"}, 53, "intranet.example"},
        {"multi.example", nullptr, 0, AF_UNSPEC, 0, 0, {"10.0.0.1", "10.0.0.2"}, 0, nullptr},
        {nullptr, "25", AI_PASSIVE, AF_INET, SOCK_STREAM, 0, {"0.0.0.0"}, 25, nullptr},
        {nullptr, "25", 0, AF_INET, SOCK_STREAM, 0, {"127.0.0.1"}, 25, nullptr},
        {"localhost", nullptr, AI_NUMERICHOST, AF_UNSPEC, 0, EAI_NONAME, {}, 0, nullptr},
        {"localhost", "http", AI_NUMERICSERV, AF_UNSPEC, 0, EAI_NONAME, {}, 0, nullptr},
        {"localhost", "no-such-service", 0, AF_UNSPEC, 0, EAI_SERVICE, {}, 0, nullptr},
        {"localhost", "70000", 0, AF_UNSPEC, 0, EAI_SERVICE, {}, 0, nullptr},
        {"nowhere.invalid", nullptr, 0, AF_UNSPEC, 0, EAI_NONAME, {}, 0, nullptr},
        {"localhost", nullptr, 0, AF_INET6, 0, EAI_FAMILY, {}, 0, nullptr},
        {"localhost", nullptr, 0, AF_UNSPEC, 7, EAI_SOCKTYPE, {}, 0, nullptr},
        {nullptr, nullptr, 0, AF_UNSPEC, 0, EAI_NONAME, {}, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.node ? c.node : "(none)") << " " << (c.service ? c.service : "(none)"));
        std::vector<WCHAR> node = wide(c.node ? c.node : ""), service = wide(c.service ? c.service : "");
        ADDRINFOW hints{};
        hints.ai_flags = c.flags;
        hints.ai_family = c.family;
        hints.ai_socktype = c.socketType;
        PADDRINFOW result = reinterpret_cast<PADDRINFOW>(1);
        INT error = GetAddrInfoW(c.node ? node.data() : nullptr, c.service ? service.data() : nullptr, &hints, &result);
        EXPECT_EQ(c.error, error);
        if (c.error) {
            EXPECT_EQ(c.error, WSAGetLastError());
            EXPECT_EQ(nullptr, result);
            continue;
        }
        std::vector<std::string> addresses;
        for (PADDRINFOW entry = result; entry; entry = entry->ai_next) {
            ASSERT_EQ(AF_INET, entry->ai_family);
            ASSERT_EQ(sizeof(sockaddr_in), entry->ai_addrlen);
            EXPECT_EQ(c.socketType, entry->ai_socktype);
            sockaddr_in address;
            std::memcpy(&address, entry->ai_addr, sizeof(address));
            EXPECT_EQ(AF_INET, address.sin_family);
            EXPECT_EQ(htons(c.port), address.sin_port);
            addresses.push_back(address_text(address.sin_addr.s_addr));
        }
        EXPECT_EQ(std::vector<std::string>(c.addresses.begin(), c.addresses.end()), addresses);
        ASSERT_NE(nullptr, result);
        if (c.canonicalName) EXPECT_EQ(c.canonicalName, narrow(result->ai_canonname));
        else EXPECT_EQ(nullptr, result->ai_canonname);
        FreeAddrInfoW(result);
    }
    FreeAddrInfoW(nullptr);
}

TEST_P(NamesTest, AnAddressFromGetAddrInfoWConnects) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    std::string port = std::to_string(ntohs(address.sin_port));
    std::vector<WCHAR> node = wide("localhost"), service = wide(port.c_str());
    ADDRINFOW hints{};
    hints.ai_socktype = SOCK_STREAM;
    PADDRINFOW result = nullptr;
    ASSERT_EQ(0, GetAddrInfoW(node.data(), service.data(), &hints, &result));
    SOCKET client = socket(result->ai_family, result->ai_socktype, result->ai_protocol);
    EXPECT_EQ(0, connect(client, result->ai_addr, static_cast<int>(result->ai_addrlen))) << WSAGetLastError();
    FreeAddrInfoW(result);
    closesocket(client);
    closesocket(listener);
}

TEST_P(NamesTest, OpenTypeIsAnOptionOfTheCallingThread) {
    auto open_type = [] {
        int value = -1, length = sizeof(value);
        EXPECT_EQ(0, getsockopt(INVALID_SOCKET, SOL_SOCKET, SO_OPENTYPE, reinterpret_cast<char*>(&value), &length));
        EXPECT_EQ(static_cast<int>(sizeof(int)), length);
        return value;
    };
    EXPECT_EQ(0, open_type());
    int value = SO_SYNCHRONOUS_NONALERT;
    ASSERT_EQ(0, setsockopt(INVALID_SOCKET, SOL_SOCKET, SO_OPENTYPE, reinterpret_cast<char*>(&value), sizeof(value)));
    EXPECT_EQ(SO_SYNCHRONOUS_NONALERT, open_type());
    int elsewhere = -1;
    std::thread other([&] { elsewhere = open_type(); });
    other.join();
    EXPECT_EQ(0, elsewhere);
    // Sockets are still made; a blocking one works as ever.
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    EXPECT_EQ(2, send(client, "ok", 2, 0));
    EXPECT_EQ("ok", receive_exactly(server, 2));
    closesocket(client);
    closesocket(server);

    value = 0x40;
    EXPECT_EQ(SOCKET_ERROR, setsockopt(INVALID_SOCKET, SOL_SOCKET, SO_OPENTYPE, reinterpret_cast<char*>(&value), sizeof(value)));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    value = 0;
    ASSERT_EQ(0, setsockopt(INVALID_SOCKET, SOL_SOCKET, SO_OPENTYPE, reinterpret_cast<char*>(&value), sizeof(value)));
    EXPECT_EQ(0, open_type());
}

TEST_P(NamesTest, WsaPollReportsReadinessByWinsocksRules) {
    SOCKET client, server;
    ASSERT_NO_FATAL_FAILURE(tcp_pair(client, server));
    WSAPOLLFD items[3] = {};
    items[0].fd = client;
    items[0].events = POLLRDNORM | POLLWRNORM;
    items[1].fd = INVALID_SOCKET;  // ignored
    items[1].events = POLLRDNORM;
    items[2].fd = 12345;  // no socket
    items[2].events = POLLRDNORM;
    EXPECT_EQ(2, WSAPoll(items, 3, 0));
    EXPECT_EQ(POLLWRNORM, items[0].revents);
    EXPECT_EQ(0, items[1].revents);
    EXPECT_EQ(POLLNVAL, items[2].revents);

    WSAPOLLFD reading{client, POLLRDNORM, 0};
    EXPECT_EQ(0, WSAPoll(&reading, 1, 0));
    EXPECT_EQ(4, send(server, "poll", 4, 0));
    EXPECT_EQ(1, WSAPoll(&reading, 1, static_cast<INT>(kDeadlineMs)));
    EXPECT_EQ(POLLRDNORM, reading.revents);

    WSAPOLLFD unsupported{client, POLLPRI, 0};
    EXPECT_EQ(SOCKET_ERROR, WSAPoll(&unsupported, 1, 0));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    closesocket(client);
    closesocket(server);
}

INSTANTIATE_TEST_SUITE_P(Stacks, NamesTest, ::testing::Values(Stack::Base, Stack::Layered), stack_name);

// The extension functions are the base provider's own: a layered provider hands out its own
// replacements for those it knows, so these run on the base provider.
class ExtensionTest : public WinsockTest {
protected:
    template <class Function>
    Function extension(SOCKET s, GUID id) {
        Function function = nullptr;
        DWORD returned = 0;
        EXPECT_EQ(0, WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof(id), &function, sizeof(function),
                              &returned, nullptr, nullptr))
            << WSAGetLastError();
        return function;
    }
};

SOCKET bound_stream_socket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local = loopback(0);
    EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)));
    return s;
}

TEST_P(ExtensionTest, ConnectExConnectsABoundSocketAndSendsTheFirstData) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET client = bound_stream_socket();
    auto connectEx = extension<LPFN_CONNECTEX>(client, WSAID_CONNECTEX);
    ASSERT_NE(nullptr, connectEx);

    SOCKET unbound = socket(AF_INET, SOCK_STREAM, 0);
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    EXPECT_FALSE(connectEx(unbound, reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr, 0, nullptr,
                           &overlapped));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    closesocket(unbound);

    char first[] = "hello";
    DWORD sent = 0;
    BOOL done = connectEx(client, reinterpret_cast<sockaddr*>(&address), sizeof(address), first, 5, &sent, &overlapped);
    if (!done) {
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    }
    DWORD bytes = 0, flags = 0;
    ASSERT_TRUE(overlapped_result(client, overlapped, bytes, flags)) << WSAGetLastError();
    EXPECT_EQ(5u, bytes);
    ASSERT_EQ(0, setsockopt(client, SOL_SOCKET, SO_UPDATE_CONNECT_CONTEXT, nullptr, 0));
    ASSERT_TRUE(wait_readable(listener));
    SOCKET server = accept(listener, nullptr, nullptr);
    ASSERT_NE(INVALID_SOCKET, server);
    EXPECT_EQ("hello", receive_exactly(server, 5));
    EXPECT_EQ(3, send(client, "and", 3, 0));
    EXPECT_EQ("and", receive_exactly(server, 3));

    // A refused connection completes with its error.
    SOCKET refusedListener = tcp_listener(address);
    closesocket(refusedListener);
    SOCKET refused = bound_stream_socket();
    WSAOVERLAPPED failing{};
    failing.hEvent = WSACreateEvent();
    EXPECT_FALSE(connectEx(refused, reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr, 0, nullptr, &failing));
    EXPECT_EQ(WSA_IO_PENDING, WSAGetLastError());
    EXPECT_FALSE(overlapped_result(refused, failing, bytes, flags));
    EXPECT_EQ(WSAECONNREFUSED, WSAGetLastError());
    WSACloseEvent(failing.hEvent);
    WSACloseEvent(overlapped.hEvent);
    closesocket(refused);
    closesocket(client);
    closesocket(server);
    closesocket(listener);
}

TEST_P(ExtensionTest, DisconnectExEndsTheConnectionAndMayLeaveTheSocketForReuse) {
    sockaddr_in address;
    SOCKET listener = tcp_listener(address);
    SOCKET client = bound_stream_socket();
    auto connectEx = extension<LPFN_CONNECTEX>(client, WSAID_CONNECTEX);
    auto disconnectEx = extension<LPFN_DISCONNECTEX>(client, WSAID_DISCONNECTEX);
    ASSERT_NE(nullptr, disconnectEx);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            sockaddr_in local = loopback(0);
            ASSERT_EQ(0, bind(client, reinterpret_cast<sockaddr*>(&local), sizeof(local))) << WSAGetLastError();
        }
        WSAOVERLAPPED overlapped{};
        overlapped.hEvent = WSACreateEvent();
        connectEx(client, reinterpret_cast<sockaddr*>(&address), sizeof(address), nullptr, 0, nullptr, &overlapped);
        DWORD bytes = 0, flags = 0;
        ASSERT_TRUE(overlapped_result(client, overlapped, bytes, flags)) << WSAGetLastError();
        ASSERT_TRUE(wait_readable(listener));
        SOCKET server = accept(listener, nullptr, nullptr);
        ASSERT_NE(INVALID_SOCKET, server);

        WSAOVERLAPPED disconnecting{};
        disconnecting.hEvent = WSACreateEvent();
        BOOL done = disconnectEx(client, &disconnecting, TF_REUSE_SOCKET, 0);
        if (!done) {
            ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
        }
        ASSERT_TRUE(overlapped_result(client, disconnecting, bytes, flags)) << WSAGetLastError();
        ASSERT_TRUE(wait_readable(server));
        char byte;
        EXPECT_EQ(0, recv(server, &byte, 1, 0));  // the peer sees the end
        WSACloseEvent(disconnecting.hEvent);
        WSACloseEvent(overlapped.hEvent);
        closesocket(server);
    }
    EXPECT_FALSE(disconnectEx(client, nullptr, 0x80, 0));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    closesocket(client);
    closesocket(listener);
}

TEST_P(ExtensionTest, WsaRecvMsgReceivesADatagramWithItsSender) {
    sockaddr_in firstAddress, secondAddress;
    SOCKET first = udp_socket(firstAddress);
    SOCKET second = udp_socket(secondAddress);
    auto recvMsg = extension<LPFN_WSARECVMSG>(second, WSAID_WSARECVMSG);
    ASSERT_NE(nullptr, recvMsg);

    EXPECT_EQ(7, sendto(first, "message", 7, 0, reinterpret_cast<sockaddr*>(&secondAddress), sizeof(secondAddress)));
    ASSERT_TRUE(wait_readable(second));
    char data[32] = {};
    char control[64];
    WSABUF buffer{sizeof(data), data};
    sockaddr_in from{};
    WSAMSG message{};
    message.name = reinterpret_cast<LPSOCKADDR>(&from);
    message.namelen = sizeof(from);
    message.lpBuffers = &buffer;
    message.dwBufferCount = 1;
    message.Control = WSABUF{sizeof(control), control};
    DWORD received = 0;
    ASSERT_EQ(0, recvMsg(second, &message, &received, nullptr, nullptr)) << WSAGetLastError();
    EXPECT_EQ(7u, received);
    EXPECT_EQ(0, std::memcmp(data, "message", 7));
    EXPECT_EQ(firstAddress.sin_port, from.sin_port);
    EXPECT_EQ(static_cast<INT>(sizeof(sockaddr_in)), message.namelen);
    EXPECT_EQ(0u, message.Control.len);

    // A datagram longer than the buffers: what fits, and the truncation reported.
    EXPECT_EQ(10, sendto(first, "0123456789", 10, 0, reinterpret_cast<sockaddr*>(&secondAddress), sizeof(secondAddress)));
    ASSERT_TRUE(wait_readable(second));
    buffer.len = 4;
    message.dwFlags = 0;
    EXPECT_EQ(SOCKET_ERROR, recvMsg(second, &message, &received, nullptr, nullptr));
    EXPECT_EQ(WSAEMSGSIZE, WSAGetLastError());
    EXPECT_TRUE(message.dwFlags & MSG_TRUNC);

    // Overlapped, completed through its event.
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = WSACreateEvent();
    buffer.len = sizeof(data);
    message.dwFlags = 0;
    int result = recvMsg(second, &message, nullptr, &overlapped, nullptr);
    if (result != 0) {
        ASSERT_EQ(WSA_IO_PENDING, WSAGetLastError());
    }
    EXPECT_EQ(5, sendto(first, "later", 5, 0, reinterpret_cast<sockaddr*>(&secondAddress), sizeof(secondAddress)));
    DWORD bytes = 0, flags = 0;
    ASSERT_TRUE(overlapped_result(second, overlapped, bytes, flags)) << WSAGetLastError();
    EXPECT_EQ(5u, bytes);
    EXPECT_EQ(0, std::memcmp(data, "later", 5));

    SOCKET stream = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(SOCKET_ERROR, recvMsg(stream, &message, &received, nullptr, nullptr));
    EXPECT_EQ(WSAEINVAL, WSAGetLastError());
    WSACloseEvent(overlapped.hEvent);
    closesocket(stream);
    closesocket(first);
    closesocket(second);
}

INSTANTIATE_TEST_SUITE_P(Base, ExtensionTest, ::testing::Values(Stack::Base), stack_name);

}  // namespace
