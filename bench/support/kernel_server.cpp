#include "kernel_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench_support {

namespace {

// A peer that sends no request within this time is dropped.
const int kRequestDeadlineMs = 10000;

// Reads until the request's blank line; false when the peer closed, failed or took too long.
bool read_request(int peer) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd item{peer, POLLIN, 0};
        if (poll(&item, 1, kRequestDeadlineMs) != 1) return false;
        ssize_t got = recv(peer, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        request.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool send_all(int peer, const char* data, size_t length) {
    while (length > 0) {
        ssize_t sent = send(peer, data, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace

KernelServer::KernelServer(std::string content, std::string webHeader)
    : content_(std::move(content)), webHeader_(std::move(webHeader)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(listener_);
        listener_ = -1;
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

KernelServer::~KernelServer() {
    stopping_.store(true);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) close(listener_);
}

void KernelServer::run() {
    while (!stopping_.load()) {
        // Wakes now and then to see whether the server is stopping.
        pollfd item{listener_, POLLIN, 0};
        if (poll(&item, 1, 100) != 1) continue;
        int peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) continue;
        serve(peer, answer_.load());
        close(peer);
    }
}

// Streams until the client closes its end (the send then fails).
void KernelServer::serve(int peer, Answer answer) {
    if (answer == Answer::WebPage && (!read_request(peer) || !send_all(peer, webHeader_.data(), webHeader_.size())))
        return;
    while (!stopping_.load() && send_all(peer, content_.data(), content_.size())) {
    }
}

}  // namespace bench_support
