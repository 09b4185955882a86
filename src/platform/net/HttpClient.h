#pragma once
// One HTTP exchange: a request goes out, the status, the raw header text and
// the body come back. No redirect is followed and no cookie kept: the page
// fetcher above does both itself. The desktop's client is CurlHttpClient.
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace platform {

enum class HttpAuth {
    None,
    Basic,
    Digest,  // the client first asks without credentials for the server's challenge
};

struct HttpRequest {
    std::string method = "GET";        // "GET" or "POST"
    std::string url;                   // absolute http:// or https:// address
    std::vector<std::string> headers;  // "Name: value", without the line end
    std::string body;                  // sent with a POST
    HttpAuth auth = HttpAuth::None;
    std::string user;
    std::string password;
    // The exchange ends by this time, whatever the server does; the epoch
    // (the default) means only the client's own time-outs bound it.
    std::chrono::steady_clock::time_point deadline{};
    // Set by another thread (the player's Cancel): the exchange ends soon
    // after, with nothing received. Null when nobody can cancel.
    const std::atomic<bool>* cancelled = nullptr;
};

struct HttpResponse {
    bool received = false;   // false: no answer; `error` says why
    int status = 0;          // the answer's status code
    std::string rawHeaders;  // status line and header lines, each ended by CR LF
    std::string body;
    bool bodyCut = false;  // the body went on past the client's limit and was cut there
    std::string error;     // the failure's message when nothing was received
};

class HttpClient {
  public:
    virtual ~HttpClient() = default;
    virtual HttpResponse Send(const HttpRequest& request) = 0;
};

}  // namespace platform
