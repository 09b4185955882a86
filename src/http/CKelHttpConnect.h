#pragma once
// The page fetcher. One call of RequestPage opens an internet session, sends
// one HTTP/1.0 request (GET, or POST when a body is given), answers a password
// challenge once, follows up to five redirects itself and reads the body of
// the last answer into page lines. Network failures are caught and reported
// by the result code and m_strError; nothing stays open between calls.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class HttpFile;
}

class CKelHttpConnect {
  public:
    // Request flags: the default set, and the sets the scheme check picks for
    // "http:" and "https:" addresses. Automatic redirection is off in all.
    static constexpr uint32_t kDefaultRequestFlags = 0x20200000u;
    static constexpr uint32_t kPlainRequestFlags = 0xA0200000u;
    static constexpr uint32_t kSecureRequestFlags = 0xA0A00000u;
    static constexpr int kMaxRedirects = 5;

    CKelHttpConnect();
    virtual ~CKelHttpConnect();

    // 0: an answer was received and its body read, whatever its HTTP status.
    // 1: no URL (empty once line breaks and the fragment are gone).
    // 2: a network error; m_strError holds the address, CR LF, the message.
    // Throws platform::InternetException when the internet session itself
    // cannot be opened.
    int RequestPage(const std::string& url, const std::string& body, const std::string& referer);

    std::string m_strHeaders;  // header text of the request under way
    std::string m_strError;    // error text of the last call
    int32_t m_bBrowserAgent = 0;
    std::string m_strAgent;  // agent handed to the internet session
    uint32_t m_dwRequestFlags = kDefaultRequestFlags;
    std::vector<std::string> m_arrLines;  // page lines of the last body read
    std::string m_strFinalUrl;            // address of the last request sent

  private:
    void CheckScheme(const std::string& address);
    std::string HeaderText(const std::string& body, const std::string& referer,
                           const std::string& cookieLine) const;
    void ReadBody(platform::HttpFile& file);
};
