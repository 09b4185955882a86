#include "http/CKelHttpConnect.h"

#include "http/HttpRedirect.h"
#include "http/HttpText.h"
#include "http/PageLines.h"
#include "shared/DisplayText.h"

namespace {

const char kNoUrlMessage[] = "URLが指定されていません。";
const char kNoHostMessage[] = "No server name could be taken from the address.";
const char kBodyCutMessage[] = "The answer is longer than 16 MiB; it was cut there.";
const char kCancelledMessage[] = "The request was cancelled.";
const char kLinesCutMessage[] = "The answer has more than 65536 lines; it was cut there.";
const char kOtherSchemeMessage[] =
    "The answer sends the request on to an address that is neither http nor https: ";
// The longest failure message kept after the address.
constexpr size_t kMaxMessageBytes = 1023;
const char kBrowserAgentLine[] =
    "User-Agent: "
    "Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1;+.NET+CLR+2.0.50727;+InfoPath.2;+.NET+CLR+"
    "3.0.04506.648;+.NET+CLR+3.5.21022;+.NET+CLR+1.1.4322) \r\n";
const char kOwnAgentLine[] = "User-Agent: KelConnect \r\n";

// A request that brought no answer; RequestPage turns it into result 2.
struct NetworkFailure {
    std::string message;
};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
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

// The realm="..." parameter of an authentication challenge.
std::string RealmOf(const std::string& challenge) {
    std::string lower;
    for (char c : challenge) {
        lower += LowerAscii(c);
    }
    size_t at = lower.find("realm=");
    if (at == std::string::npos) {
        return std::string();
    }
    size_t start = at + 6;
    if (start < challenge.size() && challenge[start] == '"') {
        size_t end = challenge.find('"', start + 1);
        return challenge.substr(start + 1,
                                end == std::string::npos ? std::string::npos : end - start - 1);
    }
    size_t end = challenge.find(',', start);
    return TrimBlanks(
        challenge.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

platform::HttpResponse SendOrFail(platform::HttpClient& http,
                                  const platform::HttpRequest& request) {
    platform::HttpResponse response = http.Send(request);
    if (!response.received) {
        throw NetworkFailure{response.error};
    }
    // An answer that came in just as the player cancelled is not read.
    if (request.cancelled != nullptr && *request.cancelled) {
        throw NetworkFailure{kCancelledMessage};
    }
    return response;
}

}  // namespace

CKelHttpConnect::CKelHttpConnect(platform::HttpClient& http, platform::Dialogs& dialogs)
    : m_http(http), m_dialogs(dialogs) {}

void CKelHttpConnect::CheckScheme(const std::string& address) {
    if (StartsWithNoCase(address, "HTTPS:")) {
        m_dwRequestFlags = RequestFlags::Secure;
    } else if (StartsWithNoCase(address, "HTTP:")) {
        m_dwRequestFlags = RequestFlags::Plain;
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

platform::HttpRequest CKelHttpConnect::MakeRequest(const std::string& method,
                                                   const UrlParts& target,
                                                   const std::string& body) const {
    if (target.host.empty()) {
        throw NetworkFailure{kNoHostMessage};
    }
    platform::HttpRequest request;
    request.method = method;
    std::string host =
        target.host.find(':') != std::string::npos ? "[" + target.host + "]" : target.host;
    request.url = (m_dwRequestFlags == RequestFlags::Secure ? "https://" : "http://") + host + ":" +
                  std::to_string(target.port) + EncodeRequestTarget(target.object);
    size_t start = 0;
    for (size_t end; (end = m_strHeaders.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        if (end > start) {
            request.headers.push_back(m_strHeaders.substr(start, end - start));
        }
    }
    request.body = body;
    request.cancelled = m_cancelled;
    request.deadline = m_deadline;
    return request;
}

void CKelHttpConnect::AskCredentials(const std::string& host, const std::string& challengeHeaders,
                                     platform::HttpRequest& request) {
    // The host may come from a redirect and the realm is the server's own
    // text: both are shown in the dialog and read out.
    platform::CredentialsPrompt prompt;
    prompt.host = DisplayText(host);
    bool basic = false;
    bool digest = false;
    for (const std::string& challenge : FindHeaderValues(challengeHeaders, "WWW-Authenticate")) {
        basic = basic || StartsWithNoCase(challenge, "Basic");
        digest = digest || StartsWithNoCase(challenge, "Digest");
        if (prompt.realm.empty()) {
            prompt.realm = DisplayText(RealmOf(challenge));
        }
    }
    platform::Credentials credentials;
    if (!m_dialogs.AskCredentials(prompt, credentials)) {
        return;
    }
    request.auth = digest && !basic ? platform::HttpAuth::Digest : platform::HttpAuth::Basic;
    request.user = credentials.user;
    request.password = credentials.password;
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
    if (address.empty()) {
        m_strError = kNoUrlMessage;
        return 1;
    }

    UrlParts target;  // host, port and object of the request under way
    bool finalUrlSet = false;
    bool finalSecure = false;
    int result = 0;
    try {
        CheckScheme(address);
        // A failed split leaves no host; the send then fails as a network error.
        CrackUrl(address, target);
        m_strHeaders = HeaderText(body, referer, std::string());
        platform::HttpRequest request = MakeRequest(body.empty() ? "GET" : "POST", target, body);
        platform::HttpResponse response = SendOrFail(m_http, request);
        m_strFinalUrl = target.host + target.object;
        finalUrlSet = true;
        finalSecure = m_dwRequestFlags == RequestFlags::Secure;

        // One password challenge is answered; the same request (with its body)
        // goes again, with the player's credentials unless they cancelled.
        if (response.status == 401) {
            AskCredentials(target.host, response.rawHeaders, request);
            response = SendOrFail(m_http, request);
        }

        std::vector<RedirectCookie> cookies;
        int redirects = 0;
        while (IsRedirectStatus(response.status) && redirects < kMaxRedirects) {
            std::string location = RedirectLocation(response.rawHeaders);
            if (location.empty()) {
                break;  // nowhere to go: this answer's body is the page
            }
            MergeSetCookies(response.rawHeaders, target.host, target.port, cookies);

            if (location.compare(0, 2, "//") == 0) {
                location.insert(0, finalSecure ? "https:" : "http:");
            }
            // Another scheme's server would get an HTTP request it never
            // asked for (a mail or gopher port, say): the chain stops here.
            if (HasScheme(location) && !StartsWithNoCase(location, "http:") &&
                !StartsWithNoCase(location, "https:")) {
                throw NetworkFailure{kOtherSchemeMessage + location.substr(0, location.find(':'))};
            }
            CheckScheme(location);
            if (HasScheme(location)) {
                CrackUrl(location, target);
            } else if (location[0] == '/') {
                target.object = location;
            } else {
                target.object = ResolveRelativeObject(target.object, location);
            }

            // The redirected request is a GET without a body, so the lines
            // that describe a body are left out.
            m_strHeaders = HeaderText(std::string(), referer,
                                      CookieHeaderLine(cookies, target.host, target.port,
                                                       m_dwRequestFlags == RequestFlags::Secure));
            response = SendOrFail(m_http, MakeRequest("GET", target, std::string()));
            m_strFinalUrl = target.host + target.object;
            finalSecure = m_dwRequestFlags == RequestFlags::Secure;
            ++redirects;
        }

        m_arrLines.clear();
        PageLineSplitter splitter(m_arrLines, m_cancelled);
        splitter.Feed(response.body.data(), response.body.size());
        if (splitter.Cancelled()) {
            m_arrLines.clear();
            throw NetworkFailure{kCancelledMessage};
        }
        if (response.bodyCut) {
            // The whole lines before the cut stay; the piece it fell in goes.
            throw NetworkFailure{kBodyCutMessage};
        }
        splitter.Finish();
        if (splitter.Cut()) {
            throw NetworkFailure{kLinesCutMessage};
        }
    } catch (const NetworkFailure& failure) {
        // The address named is this call's, never one left from an earlier call.
        if (!finalUrlSet) {
            m_strFinalUrl = target.host + target.object;
            finalSecure = m_dwRequestFlags == RequestFlags::Secure;
        }
        m_strError = m_strFinalUrl + "\r\n" + failure.message.substr(0, kMaxMessageBytes);
        result = 2;
    }

    if (!m_strFinalUrl.empty() && !passedUrl.empty() &&
        (passedUrl[0] == 'H' || passedUrl[0] == 'h')) {
        m_strFinalUrl.insert(0, finalSecure ? "https://" : "http://");
    }
    return result;
}
