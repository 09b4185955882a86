#include "TestHttpServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

RefusingPort::RefusingPort() : fd(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() {
    close(fd);
}

TestHttpServer::TestHttpServer(std::vector<std::string> scripted) : replies(std::move(scripted)) {
    timeval limit{10, 0};  // every wait ends, whatever the client does
    setsockopt(socket.fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    listen(socket.fd, 8);
    thread = std::thread([this, limit] {
        for (const std::string& reply : replies) {
            int fd = accept(socket.fd, nullptr, nullptr);
            if (fd < 0) {
                return;
            }
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            std::string request;
            char buffer[4096];
            ssize_t count = 1;
            // Whole after the header block and the Content-Length body.
            for (size_t end = std::string::npos, length = 0;
                 end == std::string::npos || request.size() < end + 4 + length;) {
                if ((count = recv(fd, buffer, sizeof buffer, 0)) <= 0) {
                    break;
                }
                request.append(buffer, static_cast<size_t>(count));
                end = request.find("\r\n\r\n");
                size_t at = request.find("\r\nContent-Length: ");
                length = at < end ? std::strtoul(request.c_str() + at + 18, nullptr, 10) : 0;
            }
            std::unique_lock<std::mutex> lock(mutex);
            requests.push_back(request);
            lock.unlock();
            // Ends early when the client stops reading (a body past its limit).
            for (size_t sent = 0; sent < reply.size() && count > 0;) {
                count = send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                sent += count > 0 ? static_cast<size_t>(count) : 0;
            }
            close(fd);
        }
    });
}

TestHttpServer::~TestHttpServer() {
    shutdown(socket.fd, SHUT_RDWR);  // wakes a wait for a connection that will not come
    thread.join();
}

std::vector<std::string> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}
