// A second program for the Winsock tests: it starts Winsock in a process of its own (on the
// machine root named by QUILLFENCE_ROOT) and reports what it saw on standard output.
//   winsock_child descriptors              how many sockets and event or epoll descriptors it inherited
//   winsock_child catalog                  the catalog's entry names, in order
//   winsock_child send <port> <text>       connects to 127.0.0.1:<port>, sends text
//   winsock_child adopt <file> <text>      prints its process id, waits for the hex protocol information
//                                          of a socket duplicated for it in file, opens it, sends text
#include "passthru.h"

#include <ws2spi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace {

std::string narrow(const WCHAR* text) {
    std::string out;
    for (size_t i = 0; i < WSAPROTOCOL_LEN && text[i]; ++i) out += static_cast<char>(text[i]);
    return out;
}

void report_layered_calls() {
    HMODULE module = GetModuleHandleA("qfpassthru.dll");
    LONG socketCalls = 0;
    if (module) {
        auto calls = reinterpret_cast<PassthruCallsFn>(reinterpret_cast<void*>(GetProcAddress(module, "passthru_calls")));
        if (calls) socketCalls = calls(28) + calls(8);  // WSPSocket, WSPDuplicateSocket
    }
    printf("layered socket calls: %ld\n", static_cast<long>(socketCalls));
}

int send_text(SOCKET s, const char* text) {
    int length = static_cast<int>(strlen(text));
    if (send(s, text, length, 0) != length) {
        printf("send failed: %d\n", WSAGetLastError());
        return 1;
    }
    report_layered_calls();
    closesocket(s);
    return 0;
}

}  // namespace

// The descriptors above standard error that are sockets, epoll sets or event counters: what a
// parent's Winsock would leak into a program it starts.
int inherited_descriptors() {
    int count = 0;
    DIR* directory = opendir("/proc/self/fd");
    if (!directory) return -1;
    while (dirent* entry = readdir(directory)) {
        int fd = atoi(entry->d_name);
        if (fd <= 2 || fd == dirfd(directory)) continue;
        char link[256] = {};
        std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(path.c_str(), link, sizeof(link) - 1) <= 0) continue;
        std::string target = link;
        if (target.rfind("socket:", 0) == 0 || target.find("eventpoll") != std::string::npos ||
            target.find("eventfd") != std::string::npos) {
            printf("inherited %d: %s\n", fd, link);
            ++count;
        }
    }
    closedir(directory);
    return count;
}

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    alarm(30);  // a child that hangs is killed, and the test waiting for it fails instead of hanging
    if (std::string(argv[1]) == "descriptors") {
        printf("inherited descriptors: %d\n", inherited_descriptors());
        return 0;
    }
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        printf("WSAStartup failed\n");
        return 1;
    }
    std::string mode = argv[1];
    int result = 2;
    if (mode == "catalog") {
        DWORD size = 0;
        int error = 0;
        WSCEnumProtocols(nullptr, nullptr, &size, &error);
        std::vector<WSAPROTOCOL_INFOW> entries(size / sizeof(WSAPROTOCOL_INFOW));
        int count = WSCEnumProtocols(nullptr, entries.data(), &size, &error);
        for (int i = 0; i < count; ++i) printf("%s\n", narrow(entries[i].szProtocol).c_str());
        result = 0;
    } else if (mode == "send" && argc == 4) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(atoi(argv[2])));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            printf("connect failed: %d\n", WSAGetLastError());
            result = 1;
        } else {
            result = send_text(s, argv[3]);
        }
    } else if (mode == "adopt" && argc == 4) {
        // Tells its process id, then waits for the protocol information of a socket duplicated for
        // it, written (as hex) to the file named on the command line.
        printf("pid %u\n", static_cast<unsigned>(GetCurrentProcessId()));
        fflush(stdout);
        std::string hex;
        for (int tries = 0; tries < 2000 && hex.size() != 2 * sizeof(WSAPROTOCOL_INFOW); ++tries) {
            if (FILE* f = fopen(argv[2], "r")) {
                char text[2 * sizeof(WSAPROTOCOL_INFOW) + 2] = {};
                hex = fgets(text, sizeof(text), f) ? text : "";
                fclose(f);
            }
            if (hex.size() != 2 * sizeof(WSAPROTOCOL_INFOW)) Sleep(10);
        }
        WSAPROTOCOL_INFOW info{};
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&info);
        for (size_t i = 0; i < sizeof(info) && hex.size() == 2 * sizeof(info); ++i) {
            char pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
            bytes[i] = static_cast<unsigned char>(strtoul(pair, nullptr, 16));
        }
        SOCKET s = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0, 0);
        if (s == INVALID_SOCKET) {
            printf("adopt failed: %d\n", WSAGetLastError());
            result = 1;
        } else {
            result = send_text(s, argv[3]);
        }
    }
    WSACleanup();
    fflush(stdout);
    return result;
}
