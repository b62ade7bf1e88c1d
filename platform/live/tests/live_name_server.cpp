// The live tests' name server (Linux side): one A record per known name, "no such name" for the rest.
#include "live_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qf_live_test {
namespace {

const size_t kHeader = 12;

// The question's name, lower-cased; false when the query is not one plain question.
bool question_of(const unsigned char* query, size_t length, std::string& name, size_t& end) {
    if (length < kHeader || query[4] != 0 || query[5] != 1) return false;
    name.clear();
    size_t at = kHeader;
    while (at < length && query[at] != 0) {
        const size_t label = query[at];
        if (label > 63 || length - at - 1 < label) return false;
        if (!name.empty()) name += '.';
        for (size_t i = 0; i < label; ++i) name += static_cast<char>(std::tolower(query[at + 1 + i]));
        at += 1 + label;
    }
    if (at >= length || length - at - 1 < 4) return false;
    end = at + 1 + 4;  // the root, the type and the class
    return true;
}

}  // namespace

TestNameServer::TestNameServer(std::map<std::string, std::string> addresses) : addresses_(std::move(addresses)) {
    // The filter knows name servers by their port, 53: one of the 127.53.0.0/16 loopback
    // addresses, chosen by the process so that tests running at once do not collide.
    const unsigned pid = static_cast<unsigned>(getpid());
    for (unsigned attempt = 0; attempt < 64 && fd_ < 0; ++attempt) {
        const unsigned host = (pid + attempt * 7919u) % 65024u + 256u;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(53);
        a.sin_addr.s_addr = htonl((127u << 24) | (53u << 16) | host);
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) break;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &a.sin_addr, text, sizeof(text));
            address_ = std::string(text) + ":53";
            break;
        }
        const int error = errno;
        close(fd_);
        fd_ = -1;
        if (error != EADDRINUSE)
            throw std::runtime_error(std::string("name server: cannot bind port 53 on loopback (") + strerror(error) +
                                     "); the live tests run as root or with net.ipv4.ip_unprivileged_port_start=53");
    }
    if (fd_ < 0) throw std::runtime_error("name server: no free loopback address for port 53");
    thread_ = std::thread([this] {
        unsigned char query[512];
        while (!stop_) {
            pollfd item{fd_, POLLIN, 0};
            if (poll(&item, 1, 100) <= 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof(from);
            ssize_t n = recvfrom(fd_, query, sizeof(query), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            std::string name;
            size_t end = 0;
            if (n <= 0 || !question_of(query, static_cast<size_t>(n), name, end)) continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                questions_.push_back(name);
            }
            std::string answer(reinterpret_cast<const char*>(query), end);
            answer[2] = static_cast<char>(0x81);
            for (size_t i = 6; i < kHeader; ++i) answer[i] = 0;  // no records beyond what is added here
            const auto known = addresses_.find(name);
            in_addr address{};
            if (known == addresses_.end() || inet_pton(AF_INET, known->second.c_str(), &address) != 1) {
                answer[3] = static_cast<char>(0x83);  // no such name
            } else {
                answer[3] = static_cast<char>(0x80);
                answer[7] = 1;  // one answer: the question's name, A, IN, a minute, 4 bytes
                answer += std::string("\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04", 12);
                answer.append(reinterpret_cast<const char*>(&address), 4);
            }
            sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    });
}

TestNameServer::~TestNameServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
}

std::vector<std::string> TestNameServer::questions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_;
}

}  // namespace qf_live_test
