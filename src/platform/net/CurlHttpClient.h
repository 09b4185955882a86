#pragma once
// HTTP over libcurl, one connection per request, sent as HTTP/1.0 with the
// caller's header lines and nothing else of its own but the Host line (and a
// Content-Length the caller did not give). Redirects are not followed; the
// proxy comes from the user's environment (http_proxy, https_proxy,
// no_proxy); certificates are verified for secure requests.
//
// Connecting is bounded by 10 s and a wait for data by 30 s, so a dead server
// cannot hold the game for ever; a request's deadline bounds the whole
// exchange, and its cancel flag ends it within about 50 ms. A body is kept up
// to 16 MiB and cut there; header text beyond 1 MiB (libcurl itself stops at
// 300 KiB) makes the exchange fail.
#include <cstddef>
#include <string>

#include "platform/net/HttpClient.h"

namespace platform {

class CurlHttpClient : public HttpClient {
  public:
    static constexpr size_t kMaxBodyBytes = 16u * 1024u * 1024u;

    // caFile: a PEM file of the certificate authorities to trust instead of
    // the system's; empty for the system's.
    explicit CurlHttpClient(std::string caFile = {});

    HttpResponse Send(const HttpRequest& request) override;

  private:
    std::string caFile;
};

}  // namespace platform
