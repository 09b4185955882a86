#pragma once
// The socket the server listens on, opened by us rather than by the HTTP
// library so that a failure says why (the port in use, an address this
// machine does not have) and port 0 can be asked for.
#include <string>

namespace server {

// Opens a listening TCP socket for "HOST:PORT" or "[IPV6]:PORT" (HOST an
// address or a name; port 0 lets the system choose). "[::]" takes IPv4
// connections too. Returns the descriptor (non-blocking, close-on-exec);
// throws std::runtime_error with a sentence naming `address` and the cause.
int OpenListenSocket(const std::string& address);

// "127.0.0.1:8080" or "[::1]:8080": where `fd` listens, with the port the
// system chose.
std::string ListeningAddress(int fd);

}  // namespace server
