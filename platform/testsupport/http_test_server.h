// A small HTTP/1.1 server on 127.0.0.1 for tests: it answers each path as the test told it,
// records every request it read, and closes each connection after its answer. It stops when it
// is destroyed.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qf_test {

struct HttpAnswer {
    HttpAnswer() = default;
    HttpAnswer(int statusCode, std::string bodyBytes, std::string moreHeaders = "")
        : status(statusCode), body(std::move(bodyBytes)), headers(std::move(moreHeaders)) {}

    int status = 200;
    std::string body;
    // More header lines, each ending in "\r\n".
    std::string headers;
    // The Content-Length announced; -1 = the body's length. A larger one makes the server close
    // the connection after the body, before the announced end.
    long long announcedLength = -1;
};

struct HttpRequest {
    std::string method;
    std::string path;
    std::string version;
    std::vector<std::string> headerLines;  // as received, without "\r\n", in order
};

class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:PORT"
    std::string address() const;

    // How path is answered from now on; a path never told gets 404 with a short body.
    void answer(const std::string& path, const HttpAnswer& answer);
    std::vector<HttpRequest> requests() const;
    std::vector<std::string> requested_paths() const;

private:
    void serve();
    void serve_connection(int connection);

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, HttpAnswer> answers_;
    std::vector<HttpRequest> requests_;
    std::thread thread_;
};

// A loopback port that nothing listens on (it was bound and closed again).
int unused_loopback_port();

}  // namespace qf_test
