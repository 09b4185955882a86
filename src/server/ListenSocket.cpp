#include "server/ListenSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace server {

namespace {

// Room for the bursts of new connections a load test or a crowd makes; the
// kernel caps it at net.core.somaxconn.
constexpr int kListenBacklog = 4096;

[[noreturn]] void Fail(const std::string& address, const std::string& cause) {
    throw std::runtime_error("Cannot listen on " + address + ": " + cause + ".");
}

void SplitHostPort(const std::string& address, std::string& host, std::string& port) {
    size_t colon;
    if (!address.empty() && address[0] == '[') {
        size_t close = address.find(']');
        if (close == std::string::npos || close + 1 >= address.size() ||
            address[close + 1] != ':') {
            Fail(address, "an IPv6 address is written [ADDRESS]:PORT");
        }
        host = address.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = address.rfind(':');
        if (colon == std::string::npos || colon == 0 ||
            address.find(':') != colon) {  // a bare IPv6 address has several
            Fail(address, "the address is written HOST:PORT, or [IPV6]:PORT");
        }
        host = address.substr(0, colon);
    }
    port = address.substr(colon + 1);
    bool digits = !port.empty() && port.size() <= 5 &&
                  port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(port) > 65535) {
        Fail(address, "the port must be a number from 0 to 65535");
    }
}

}  // namespace

int OpenListenSocket(const std::string& address) {
    std::string host, port;
    SplitHostPort(address, host, port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (error != 0) {
        Fail(address, gai_strerror(error));
    }
    const addrinfo& first = *found;
    int fd = socket(first.ai_family, first.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    first.ai_protocol);
    int cause = errno;
    if (fd >= 0) {
        int yes = 1;
        // A restarted server gets its port back while old connections linger.
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (first.ai_family == AF_INET6) {
            const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(first.ai_addr);
            int only = IN6_IS_ADDR_UNSPECIFIED(&ipv6->sin6_addr) ? 0 : 1;
            setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        }
        if (bind(fd, first.ai_addr, first.ai_addrlen) != 0 || listen(fd, kListenBacklog) != 0) {
            cause = errno;
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        Fail(address, std::strerror(cause));
    }
    return fd;
}

std::string ListeningAddress(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET6) {
        const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(ipv6.sin6_port));
    }
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(ipv4.sin_port));
}

}  // namespace server
