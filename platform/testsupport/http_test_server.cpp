#include "http_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace qf_test {
namespace {

// Requests are small; a head longer than this, or one slower than the timeout, is dropped.
const size_t kHeadLimit = 64 * 1024;
const int kReadTimeoutMs = 10000;

int bound_loopback_socket(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool send_all(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t put = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

const char* reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

HttpRequest parse_head(const std::string& head) {
    HttpRequest request;
    size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(start, end - start);
        start = end + 2;
        if (first) {
            const size_t a = line.find(' ');
            const size_t b = line.find(' ', a == std::string::npos ? a : a + 1);
            if (a != std::string::npos && b != std::string::npos) {
                request.method = line.substr(0, a);
                request.path = line.substr(a + 1, b - a - 1);
                request.version = line.substr(b + 1);
            }
            first = false;
        } else if (!line.empty()) {
            request.headerLines.push_back(line);
        }
    }
    return request;
}

}  // namespace

HttpTestServer::HttpTestServer() {
    listener_ = bound_loopback_socket(port_);
    if (listener_ < 0 || listen(listener_, 16) != 0 || pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("the test HTTP server cannot listen on 127.0.0.1");
    thread_ = std::thread([this] { serve(); });
}

HttpTestServer::~HttpTestServer() {
    const char stop = 's';
    (void)!write(wake_[1], &stop, 1);
    thread_.join();
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string HttpTestServer::address() const { return "127.0.0.1:" + std::to_string(port_); }

void HttpTestServer::answer(const std::string& path, const HttpAnswer& answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[path] = answer;
}

std::vector<HttpRequest> HttpTestServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> HttpTestServer::requested_paths() const {
    std::vector<std::string> paths;
    for (const HttpRequest& request : requests()) paths.push_back(request.path);
    return paths;
}

void HttpTestServer::serve() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        serve_connection(connection);
        close(connection);
    }
}

void HttpTestServer::serve_connection(int connection) {
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() > kHeadLimit) return;
        pollfd fd = {connection, POLLIN, 0};
        if (poll(&fd, 1, kReadTimeoutMs) <= 0) return;
        ssize_t got = recv(connection, chunk, sizeof(chunk), 0);
        if (got <= 0) return;
        head.append(chunk, static_cast<size_t>(got));
    }
    head.erase(head.find("\r\n\r\n"));
    HttpRequest request = parse_head(head);
    HttpAnswer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        auto told = answers_.find(request.path);
        if (told != answers_.end()) {
            answer = told->second;
        } else {
            answer.status = 404;
            answer.body = "no such file";
        }
    }
    const long long announced =
        answer.announcedLength >= 0 ? answer.announcedLength : static_cast<long long>(answer.body.size());
    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason(answer.status) + "\r\n" +
                           "Content-Length: " + std::to_string(announced) + "\r\nConnection: close\r\n" +
                           answer.headers + "\r\n";
    if (send_all(connection, response)) send_all(connection, answer.body);
    shutdown(connection, SHUT_WR);
    // Waits briefly for the client to close, so it reads the whole answer before the reset
    // that closing with unread bytes would send.
    pollfd fd = {connection, POLLIN, 0};
    while (poll(&fd, 1, 2000) > 0 && recv(connection, chunk, sizeof(chunk), 0) > 0) {
    }
}

int unused_loopback_port() {
    int port = 0;
    int fd = bound_loopback_socket(port);
    if (fd < 0) return 9;
    close(fd);
    return port;
}

}  // namespace qf_test
