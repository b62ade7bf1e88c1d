// A loopback TCP server on the kernel's own sockets, never through Winsock, so that a benchmark
// measures the client's side alone. It serves one connection at a time on its own thread.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace bench_support {

class KernelServer {
public:
    enum class Answer {
        Stream,   // sends the content over and over from the start
        WebPage,  // reads a request up to its blank line, answers with a text/html header, then streams
    };

    // Listens on 127.0.0.1 at a port of the system's choice; port() is 0 when that failed.
    KernelServer(std::string content, std::string webHeader);
    ~KernelServer();
    KernelServer(const KernelServer&) = delete;
    KernelServer& operator=(const KernelServer&) = delete;

    unsigned short port() const { return port_; }
    // How the connections accepted from now on are answered.
    void set_answer(Answer answer) { answer_.store(answer); }

private:
    void run();
    void serve(int peer, Answer answer);

    const std::string content_;
    const std::string webHeader_;
    int listener_ = -1;
    unsigned short port_ = 0;
    std::atomic<Answer> answer_{Answer::Stream};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace bench_support
