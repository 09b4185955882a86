#include "http/CKelHttpConnect.h"

#include <memory>

#include "http/CKelHttpSession.h"
#include "http/HttpRedirect.h"
#include "http/PageLines.h"
#include "platform/net/Internet.h"

namespace {

const char kNoUrlMessage[] = "URLが指定されていません。";
const char kBrowserAgentLine[] =
    "User-Agent: "
    "Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1;+.NET+CLR+2.0.50727;+InfoPath.2;+.NET+CLR+"
    "3.0.04506.648;+.NET+CLR+3.5.21022;+.NET+CLR+1.1.4322) \r\n";
const char kOwnAgentLine[] = "User-Agent: KelConnect \r\n";

bool StartsWithUpper(const std::string& text, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size()) {
            return false;
        }
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303;
}

std::string WithoutLineBreaks(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') {
            kept += c;
        }
    }
    return kept;
}

}  // namespace

CKelHttpConnect::CKelHttpConnect() = default;

CKelHttpConnect::~CKelHttpConnect() = default;

void CKelHttpConnect::CheckScheme(const std::string& address) {
    if (StartsWithUpper(address, "HTTPS:")) {
        m_dwRequestFlags = kSecureRequestFlags;
    } else if (StartsWithUpper(address, "HTTP:")) {
        m_dwRequestFlags = kPlainRequestFlags;
    }
}

std::string CKelHttpConnect::HeaderText(const std::string& body, const std::string& referer,
                                        const std::string& cookieLine) const {
    std::string text = "Accept: text/*,*/* \r\n";
    if (!referer.empty()) {
        // A line break in the referer would start a header line of its own.
        text += "Referer: " + WithoutLineBreaks(referer) + " \r\n";
    }
    text += "Accept-Language: ja \r\n";
    if (!body.empty()) {
        text += "Content-Type: application/x-www-form-urlencoded \r\n";
    }
    text += m_bBrowserAgent ? kBrowserAgentLine : kOwnAgentLine;
    text += "Connection: Keep-Alive \r\n";
    if (!body.empty()) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    text += cookieLine;
    text += "\r\n";
    return text;
}

void CKelHttpConnect::ReadBody(platform::HttpFile& file) {
    m_arrLines.clear();
    PageLineSplitter splitter(m_arrLines);
    char block[4096];
    for (;;) {
        size_t count = file.Read(block, sizeof block);
        if (count == 0) {
            break;
        }
        splitter.Feed(block, count);
    }
    splitter.Finish();
}

int CKelHttpConnect::RequestPage(const std::string& url, const std::string& body,
                                 const std::string& referer) {
    // The address: line breaks removed, a fragment cut off unless the "#"
    // opens the text.
    std::string passedUrl = WithoutLineBreaks(url);
    std::string address = passedUrl;
    size_t hash = address.find('#');
    if (hash != std::string::npos && hash > 0) {
        address.erase(hash);
    }
    m_strError.clear();

    CKelHttpSession session(m_strAgent);
    if (address.empty()) {
        m_strError = kNoUrlMessage;
        session.Close();
        return 1;
    }

    std::unique_ptr<platform::HttpConnection> connection;
    std::unique_ptr<platform::HttpFile> file;
    platform::UrlParts target;  // host, port and object of the request under way
    bool finalUrlSet = false;
    bool finalSecure = false;
    int result = 0;
    try {
        CheckScheme(address);
        // A failed split leaves no host; the send then fails as a network error.
        platform::CrackUrl(address, target);
        m_strHeaders = HeaderText(body, referer, std::string());

        connection = session.GetHttpConnection(target.host, target.port);
        file =
            connection->OpenRequest(body.empty() ? "GET" : "POST", target.object, m_dwRequestFlags);
        file->AddRequestHeaders(m_strHeaders);
        file->SendRequest(body);
        m_strFinalUrl = target.host + target.object;
        finalUrlSet = true;
        finalSecure = (m_dwRequestFlags & platform::kFlagSecure) != 0;
        int status = file->QueryStatusCode();

        // One password challenge is answered; the same request (with its body)
        // goes again with the player's credentials.
        if (status == 401) {
            file->ShowCredentialsDialog();
            file->SendRequest(body);
            status = file->QueryStatusCode();
        }

        std::vector<std::string> cookies;
        int redirects = 0;
        while (IsRedirectStatus(status) && redirects < kMaxRedirects) {
            std::string rawHeaders = file->QueryRawHeaders();
            std::string location = RedirectLocation(rawHeaders);
            if (location.empty()) {
                break;  // nowhere to go: this answer's body is the page
            }
            MergeSetCookies(rawHeaders, cookies);
            file->Close();
            file.reset();
            connection->Close();
            connection.reset();

            if (location.compare(0, 2, "//") == 0) {
                location.insert(0, finalSecure ? "https:" : "http:");
            }
            CheckScheme(location);
            if (HasScheme(location)) {
                platform::CrackUrl(location, target);
            } else if (location[0] == '/') {
                target.object = location;
            } else {
                target.object = ResolveRelativeObject(target.object, location);
            }

            // The redirected request is a GET without a body, so the lines
            // that describe a body are left out.
            m_strHeaders = HeaderText(std::string(), referer, CookieHeaderLine(cookies));
            connection = session.GetHttpConnection(target.host, target.port);
            file = connection->OpenRequest("GET", target.object, m_dwRequestFlags);
            file->AddRequestHeaders(m_strHeaders);
            file->SendRequest();
            m_strFinalUrl = target.host + target.object;
            finalSecure = (m_dwRequestFlags & platform::kFlagSecure) != 0;
            status = file->QueryStatusCode();
            ++redirects;
        }

        ReadBody(*file);
        file->Close();
        connection->Close();
    } catch (const platform::InternetException& error) {
        // The address named is this call's, never one left from an earlier call.
        if (!finalUrlSet) {
            m_strFinalUrl = target.host + target.object;
            finalSecure = (m_dwRequestFlags & platform::kFlagSecure) != 0;
        }
        m_strError = m_strFinalUrl + "\r\n" + error.Message();
        result = 2;
    }

    file.reset();
    connection.reset();
    session.Close();
    if (!m_strFinalUrl.empty() && !passedUrl.empty() &&
        (passedUrl[0] == 'H' || passedUrl[0] == 'h')) {
        m_strFinalUrl.insert(0, finalSecure ? "https://" : "http://");
    }
    return result;
}
