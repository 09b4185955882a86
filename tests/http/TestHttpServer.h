#pragma once
// Serves the scripted replies in turn on 127.0.0.1, one a connection, keeping the requests;
// runs tls_server.py for https.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "http/PageLines.h"

class TestHttpServer {
  public:
    // pauseMs: when not 0, each byte of a reply goes after that pause, until the client hangs up.
    explicit TestHttpServer(std::vector<std::string> replies, int pauseMs = 0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        timeval limit{10, 0};  // taken over by the accepted sockets
        setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        setsockopt(listener, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        listen(listener, 8);
        thread = std::thread([this, replies, pauseMs] {
            int fd;
            for (size_t i = 0; i < replies.size() && (fd = accept(listener, nullptr, nullptr)) >= 0;
                 ++i) {
                std::string request;
                char buffer[4096];
                // Whole after the header block and the Content-Length body.
                ssize_t count = 0;
                for (size_t end = std::string::npos, length = 0;
                     (end == std::string::npos || request.size() < end + 4 + length) &&
                     (count = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
                    request.append(buffer, static_cast<size_t>(count));
                    end = request.find("\r\n\r\n");
                    size_t at = request.find("\r\nContent-Length: ");
                    length = at < end ? std::strtoul(request.c_str() + at + 18, nullptr, 10) : 0;
                }
                requests.push_back(request);
                // All at once, blocking until sent or the client stops reading (a body past its
                // limit), or a byte after each pause until the client hangs up.
                pollfd hangUp{fd, POLLIN, 0};
                size_t step = pauseMs > 0 ? 1 : replies[i].size();
                for (size_t at = 0; at < replies[i].size() && poll(&hangUp, 1, pauseMs) == 0 &&
                                    send(fd, &replies[i][at], step, MSG_NOSIGNAL) > 0;
                     at += step) {
                }
                close(fd);
            }
        });
    }
    ~TestHttpServer() {
        Requests();
        close(listener);
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port); }
    // Every request; the server stops first, and from then on refuses connections.
    std::vector<std::string> Requests() {
        shutdown(listener, SHUT_RDWR);  // wakes a wait for a connection that will not come
        if (thread.joinable()) {
            thread.join();
        }
        return requests;
    }

  private:
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    std::vector<std::string> requests;
    std::thread thread;
};

// tls_server.py (the path given) as a child process, stopped when this goes.
class TestTlsServer {
  public:
    explicit TestTlsServer(const std::string& script) {
        output = popen(("python3 '" + script + "'").c_str(), "r");
        char line[4096] = {};  // the authority's file and the two ports
        if (output != nullptr && fgets(line, sizeof line, output) != nullptr) {
            std::istringstream(line) >> caFile >> port >> otherNamePort;
        }
    }
    ~TestTlsServer() {
        if (output != nullptr) {
            pclose(output);  // the pipe closing, here or when this process dies, stops it
        }
    }
    std::string caFile;
    int port = 0;           // a certificate for 127.0.0.1
    int otherNamePort = 0;  // a certificate for another name

  private:
    FILE* output = nullptr;
};

inline std::string HttpReply(const std::string& status, const std::string& lines,
                             const std::string& body) {
    return "HTTP/1.0 " + status + "\r\n" + lines + "\r\n" + body;
}

inline std::vector<std::string> SplitInBlocks(const std::string& body, size_t block) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    for (size_t at = 0; at < body.size(); at += block) {
        splitter.Feed(body.data() + at, std::min(block, body.size() - at));
    }
    splitter.Finish();
    return lines;
}
