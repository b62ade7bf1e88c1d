// The live tests' server and program runner (Linux side).
#include "live_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace qf_live_test {
namespace {

int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

sockaddr_in loopback(int port, const char* address = "127.0.0.1") {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address, &a.sin_addr) != 1) throw std::runtime_error("not an IPv4 address");
    return a;
}

bool proxy_variable(const char* entry) {
    static const char* const kNames[] = {"http_proxy=", "https_proxy=", "ftp_proxy=", "all_proxy=", "no_proxy=",
                                         "HTTP_PROXY=", "HTTPS_PROXY=", "FTP_PROXY=", "ALL_PROXY=", "NO_PROXY="};
    for (const char* name : kNames)
        if (strncmp(entry, name, strlen(name)) == 0) return true;
    return false;
}

}  // namespace

PageServer::PageServer(std::string body, const char* address) : body_(std::move(body)), address_(address) {
    sockaddr_in a = loopback(0, address);
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("page server: no socket");
    socklen_t length = sizeof(a);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        close(listener_);
        throw std::runtime_error("page server: cannot listen on " + address_);
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

PageServer::~PageServer() {
    stop_ = true;
    thread_.join();  // the loop looks at stop_ at least every 100 ms
    close(listener_);
}

void PageServer::run() {
    while (!stop_) {
        pollfd item{listener_, POLLIN, 0};
        if (poll(&item, 1, 100) <= 0) continue;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        serve(fd);
        close(fd);
    }
}

// Reads the request head (for at most 10 s), answers with the page, and closes.
void PageServer::serve(int fd) {
    std::string request;
    int64_t deadline = now_ms() + 10000;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && now_ms() < deadline && !stop_) {
        pollfd item{fd, POLLIN, 0};
        if (poll(&item, 1, 100) <= 0) continue;
        ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) return;
        request.append(buffer, static_cast<size_t>(n));
    }
    if (request.find("\r\n\r\n") == std::string::npos) return;
    ++requests_;
    std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                         std::to_string(body_.size()) + "\r\n\r\n" + body_;
    size_t sent = 0;
    while (sent < answer.size() && now_ms() < deadline + 20000 && !stop_) {
        pollfd item{fd, POLLOUT, 0};
        if (poll(&item, 1, 100) <= 0) continue;
        ssize_t n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    // Let the client read to the end before the close (a close with unread request bytes resets).
    while (now_ms() < deadline + 25000 && !stop_) {
        pollfd item{fd, POLLIN, 0};
        if (poll(&item, 1, 100) <= 0) continue;
        if (recv(fd, buffer, sizeof(buffer), 0) <= 0) break;
    }
}

DatagramEcho::DatagramEcho() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof(a);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (fd_ >= 0) close(fd_);
        throw std::runtime_error("datagram echo: cannot bind on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
        char buffer[2048];
        while (!stop_) {
            pollfd item{fd_, POLLIN, 0};
            if (poll(&item, 1, 100) <= 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof(from);
            ssize_t n = recvfrom(fd_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n >= 0) sendto(fd_, buffer, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    });
}

DatagramEcho::~DatagramEcho() {
    stop_ = true;
    thread_.join();
    close(fd_);
}

int unused_port() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof(a);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

RunResult run_program(const std::vector<std::string>& argv, const std::vector<std::string>& extra,
                      int deadlineSeconds) {
    RunResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    auto replaced = [&extra](const char* entry) {
        for (const std::string& e : extra) {
            size_t name = e.find('=') + 1;
            if (strncmp(entry, e.c_str(), name) == 0) return true;
        }
        return false;
    };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (!proxy_variable(*e) && !replaced(*e)) env.push_back(*e);
    for (const std::string& e : extra) env.push_back(e);
    std::vector<char*> envp, args;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argvCopy = argv;
    for (std::string& a : argvCopy) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        result.err = std::string("cannot start ") + argv[0] + ": " + strerror(spawned);
        return result;
    }

    int64_t deadline = now_ms() + deadlineSeconds * 1000LL;
    bool outOpen = true, errOpen = true, killed = false;
    char buffer[8192];
    while (outOpen || errOpen) {
        int64_t left = deadline - now_ms();
        if (left <= 0) {
            kill(-pid, SIGKILL);
            killed = true;
            break;
        }
        pollfd items[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        if (poll(items, 2, static_cast<int>(left < 200 ? left : 200)) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!items[i].revents) continue;
            ssize_t n = read(items[i].fd, buffer, sizeof(buffer));
            if (n <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
        }
    }
    close(out[0]);
    close(err[0]);
    // The pipes closed: the program has ended or is about to; still, the wait has a deadline.
    int status = 0;
    int64_t waitDeadline = now_ms() + 10000;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (now_ms() > waitDeadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            killed = true;
            break;
        }
        usleep(10000);
    }
    kill(-pid, SIGKILL);  // whatever of the group is left (a daemonized child)
    if (!killed && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

std::string binary_page(size_t length) {
    std::string page(length, '\0');
    for (size_t i = 0; i < length; ++i) page[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return page;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string python3() { return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }

}  // namespace qf_live_test
