#pragma once
// A small HTTP server for tests. It listens on 127.0.0.1 at a port of the
// system's choosing, takes one connection at a time, reads one raw request
// (the header block and a Content-Length body), keeps its bytes, and answers
// with the next scripted reply, written as it stands, then closes the
// connection. It stops by itself after its last reply, after a few seconds
// without a connection, or when it is destroyed.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TestHttpServer {
  public:
    struct Reply {
        std::string bytes;
        // Read the request, never answer, and wait for the client to leave.
        bool silent = false;
    };

    explicit TestHttpServer(std::vector<Reply> replies);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return port; }
    // "127.0.0.1:<port>"
    std::string Host() const;
    // The raw bytes of every request received so far, in order. A request is
    // kept before its reply is written, so once the client has its answer the
    // request is here.
    std::vector<std::string> Requests() const;

  private:
    void Serve();
    bool WaitReadable(int fd, int milliseconds) const;
    std::string ReadRequest(int fd) const;

    std::vector<Reply> replies;
    int listenFd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex requestsMutex;
    std::vector<std::string> requests;
    std::thread thread;
};

// "HTTP/1.0 <status>\r\n" + header lines (each ended by CR LF) + "\r\n" + body.
// Without a Content-Length the body ends when the connection closes.
TestHttpServer::Reply HttpReply(const std::string& status, const std::string& headerLines,
                                const std::string& body);

// A port on 127.0.0.1 that refuses connections: bound, never listening, held
// for the object's lifetime so nobody else takes it.
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int Port() const { return port; }

  private:
    int fd = -1;
    int port = 0;
};
