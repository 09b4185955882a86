#pragma once
// A small HTTP server for tests on 127.0.0.1. Per connection it reads one
// request, keeps its bytes, writes the next scripted reply as it stands and
// closes. It stops after its last reply, after 10 s without a connection, or
// when destroyed.
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A port on 127.0.0.1 that refuses connections: bound, never listening.
struct RefusingPort {
    RefusingPort();
    ~RefusingPort();
    int Port() const { return port; }
    int fd = -1;
    int port = 0;
};

class TestHttpServer {
  public:
    explicit TestHttpServer(std::vector<std::string> replies);
    ~TestHttpServer();
    std::string Host() const { return "127.0.0.1:" + std::to_string(socket.port); }
    // Every request so far; a request is kept before its reply is written.
    std::vector<std::string> Requests() const;

  private:
    RefusingPort socket;  // listening here
    std::vector<std::string> replies;
    mutable std::mutex mutex;
    std::vector<std::string> requests;
    std::thread thread;
};

// "HTTP/1.0 <status>\r\n" + header lines + "\r\n" + body, ended by the close.
inline std::string HttpReply(const std::string& status, const std::string& lines,
                             const std::string& body) {
    return "HTTP/1.0 " + status + "\r\n" + lines + "\r\n" + body;
}
