#pragma once
// The page fetcher. One call of RequestPage sends one HTTP/1.0 request (GET,
// or POST when a body is given), answers a password challenge once with what
// the player types, follows up to five redirects itself (to http and https
// addresses only, cookies going back only to the server that set them) and
// reads the body of the last answer into page lines. Network failures are
// reported by the result code and m_strError; nothing stays open between
// calls.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/HttpClient.h"
#include "platform/ui/Dialogs.h"

struct UrlParts;

class CKelHttpConnect {
  public:
    // How the requests travel. The scheme check of every address picks it:
    // "https:" secure, "http:" plain; any other address keeps the last choice,
    // also from an earlier call.
    enum class RequestFlags { Plain, Secure };
    static constexpr int kMaxRedirects = 5;

    CKelHttpConnect(platform::HttpClient& http, platform::Dialogs& dialogs);

    // 0: an answer was received and its body read, whatever its HTTP status.
    // 1: no URL (empty once line breaks and the fragment are gone).
    // 2: a network error; m_strError holds the address, CR LF, the message.
    int RequestPage(const std::string& url, const std::string& body, const std::string& referer);

    std::string m_strHeaders;  // header text of the request under way
    std::string m_strError;    // error text of the last call
    int32_t m_bBrowserAgent = 0;
    RequestFlags m_dwRequestFlags = RequestFlags::Plain;
    std::vector<std::string> m_arrLines;  // page lines of the last body read
    std::string m_strFinalUrl;            // address of the last request sent
    // Copied into every request of a call: when set by another thread, the
    // exchange under way ends and the call reports a network error.
    const std::atomic<bool>* m_cancelled = nullptr;
    // Copied into every request of a call, redirects included: no exchange
    // goes on past it (a network error). The epoch (the default) sets none.
    std::chrono::steady_clock::time_point m_deadline{};

  private:
    void CheckScheme(const std::string& address);
    std::string HeaderText(const std::string& body, const std::string& referer,
                           const std::string& cookieLine) const;
    platform::HttpRequest MakeRequest(const std::string& method, const UrlParts& target,
                                      const std::string& body) const;
    void AskCredentials(const std::string& host, const std::string& challengeHeaders,
                        platform::HttpRequest& request);

    platform::HttpClient& m_http;
    platform::Dialogs& m_dialogs;
};
