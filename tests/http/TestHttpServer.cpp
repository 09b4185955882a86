#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

// Every wait is bounded, so a test whose client misbehaves still ends.
constexpr int kIdleLimitMs = 10000;
constexpr int kSliceMs = 50;
constexpr size_t kMaxRequestBytes = 1024 * 1024;

int BindLoopback(int& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        throw std::runtime_error("bind failed");
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

size_t ContentLength(const std::string& head) {
    std::string lower;
    for (char c : head) {
        lower += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    size_t at = lower.find("\ncontent-length:");
    if (at == std::string::npos) {
        return 0;
    }
    return std::strtoul(head.c_str() + at + 16, nullptr, 10);
}

}  // namespace

TestHttpServer::Reply HttpReply(const std::string& status, const std::string& headerLines,
                                const std::string& body) {
    TestHttpServer::Reply reply;
    reply.bytes = "HTTP/1.0 " + status + "\r\n" + headerLines + "\r\n" + body;
    return reply;
}

TestHttpServer::TestHttpServer(std::vector<Reply> replies) : replies(std::move(replies)) {
    listenFd = BindLoopback(port);
    if (listen(listenFd, 8) != 0) {
        close(listenFd);
        throw std::runtime_error("listen failed");
    }
    thread = std::thread(&TestHttpServer::Serve, this);
}

TestHttpServer::~TestHttpServer() {
    stopping = true;
    thread.join();
    close(listenFd);
}

std::string TestHttpServer::Host() const {
    return "127.0.0.1:" + std::to_string(port);
}

std::vector<std::string> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(requestsMutex);
    return requests;
}

bool TestHttpServer::WaitReadable(int fd, int milliseconds) const {
    for (int waited = 0; waited < milliseconds && !stopping; waited += kSliceMs) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, kSliceMs) > 0) {
            return true;
        }
    }
    return false;
}

std::string TestHttpServer::ReadRequest(int fd) const {
    std::string request;
    char buffer[4096];
    size_t wanted = 0;  // header block plus body, once the header end is seen
    while (request.size() < kMaxRequestBytes) {
        size_t headEnd = request.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            wanted = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
            if (request.size() >= wanted) {
                break;
            }
        }
        if (!WaitReadable(fd, kIdleLimitMs)) {
            break;
        }
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            break;
        }
        request.append(buffer, static_cast<size_t>(count));
    }
    return request;
}

void TestHttpServer::Serve() {
    for (const Reply& reply : replies) {
        if (!WaitReadable(listenFd, kIdleLimitMs)) {
            return;
        }
        int fd = accept(listenFd, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        std::string request = ReadRequest(fd);
        {
            std::lock_guard<std::mutex> lock(requestsMutex);
            requests.push_back(request);
        }
        if (reply.silent) {
            // Until the client gives up (end of stream) or the idle limit.
            char buffer[256];
            while (WaitReadable(fd, kIdleLimitMs) && recv(fd, buffer, sizeof buffer, 0) > 0) {
            }
        } else {
            size_t sent = 0;
            int idle = 0;
            while (sent < reply.bytes.size() && !stopping && idle < kIdleLimitMs) {
                pollfd entry{fd, POLLOUT, 0};
                if (poll(&entry, 1, kSliceMs) <= 0) {
                    idle += kSliceMs;
                    continue;
                }
                ssize_t count = send(fd, reply.bytes.data() + sent, reply.bytes.size() - sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
                if (count <= 0) {
                    break;  // the client has gone
                }
                sent += static_cast<size_t>(count);
                idle = 0;
            }
        }
        close(fd);
    }
}

RefusingPort::RefusingPort() {
    fd = BindLoopback(port);
}

RefusingPort::~RefusingPort() {
    close(fd);
}
