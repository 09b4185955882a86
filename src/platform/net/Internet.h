#pragma once
// The internet layer under the page fetcher: a session, a connection to one
// host and port, and requests on that connection, in the shape of the
// desktop's internet functions (open a session, connect, open a request, add
// headers, send, query the status and the raw headers, read the body, close).
//
// Built on libcurl: one easy handle per request, automatic redirects off, the
// proxy taken from the user's environment (http_proxy, https_proxy, no_proxy),
// certificates verified for secure requests. Connecting and waiting for data
// are bounded by settable time-outs (30 s each by default), so a dead server
// cannot hold the game for ever. A response body is kept up to 16 MiB; a read
// past that point fails.
//
// Failures raise InternetException; the page fetcher catches it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Request flags, with the bit values of the desktop's internet functions.
// Only kFlagSecure changes what is sent (a TLS connection); the others are
// carried for the caller's bookkeeping. Redirects are never followed here.
constexpr uint32_t kFlagReload = 0x80000000u;
constexpr uint32_t kFlagExistingConnect = 0x20000000u;
constexpr uint32_t kFlagSecure = 0x00800000u;
constexpr uint32_t kFlagNoAutoRedirect = 0x00200000u;

// The largest response body kept; a read beyond it fails.
constexpr size_t kMaxBodyBytes = 16u * 1024u * 1024u;

class InternetException {
  public:
    InternetException(int code, std::string message);
    int Code() const { return code; }
    // The layer's message text for the failure, at most 1023 bytes.
    const std::string& Message() const { return message; }

  private:
    int code;
    std::string message;
};

struct InternetTimeouts {
    std::chrono::milliseconds connect{30000};
    // Longest stretch without any data once connected. Counted in whole
    // seconds (rounded up, at least one).
    std::chrono::milliseconds noData{30000};
};

// Process-wide; a session takes the values current when it is opened.
void SetInternetTimeouts(const InternetTimeouts& timeouts);
InternetTimeouts GetInternetTimeouts();

// Tests: the next session open fails, as when the library cannot start.
void FailNextSessionOpen();

// An address split the way a browser reads it.
struct UrlParts {
    std::string scheme;  // lower case, e.g. "http"
    std::string host;    // without brackets for an IPv6 literal
    int port = 0;        // the scheme's default when none is written
    std::string object;  // path with query text, never empty ("/" at least)
};

// Splits "scheme://[user@]host[:port][/path][?query]". The path has its "."
// and ".." segments removed; nothing after "?" is touched. A "#" and what
// follows are left out. Returns false, with empty parts, when there is no
// scheme, no "//" or no host, or the port is not a number from 1 to 65535.
bool CrackUrl(const std::string& url, UrlParts& parts);

// The request target as it goes on the wire: bytes that cannot travel raw in
// a request line (space, control characters, "#", bytes above 0x7E) become
// %XX; everything else, "&", "=", "?", "/" and "%" included, stays as it is.
std::string EncodeRequestTarget(const std::string& object);

// A path beginning with "/" with its "." and ".." segments resolved.
std::string RemoveDotSegments(const std::string& path);

// Compares two texts, ASCII letters in any case.
bool EqualNoCase(const std::string& a, const std::string& b);
char LowerAscii(char c);
// The text without the blanks (space, tab, CR, LF, VT, FF) at either end.
std::string TrimBlanks(const std::string& text);

// The values of every header line called `name` (any letter case) in a raw
// header text, in order, without the blanks around them. The status line is
// not a header line.
std::vector<std::string> FindHeaderValues(const std::string& rawHeaders, const std::string& name);

class HttpConnection;
class HttpFile;

class InternetSession {
  public:
    // agent: the User-Agent sent when a request brings none of its own.
    // Throws InternetException when the library cannot be started.
    explicit InternetSession(const std::string& agent);
    virtual ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // Status notifications of the layer. They are never switched on; a
    // session type may override this to receive them.
    virtual void OnStatusCallback(uintptr_t context, uint32_t status, const void* info,
                                  uint32_t length);

    // Nothing travels yet: the connection is made when a request is sent.
    std::unique_ptr<HttpConnection> GetHttpConnection(const std::string& host, int port);
    void Close();

  private:
    std::string agent;
    InternetTimeouts timeouts;
};

class HttpConnection {
  public:
    HttpConnection(std::string host, int port, std::string agent, InternetTimeouts timeouts);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // verb "GET" or "POST"; object the path with query, sent as HTTP/1.0.
    std::unique_ptr<HttpFile> OpenRequest(const std::string& verb, const std::string& object,
                                          uint32_t flags);
    void Close();

    const std::string& Host() const { return host; }
    int Port() const { return port; }

  private:
    std::string host;
    int port;
    std::string agent;
    InternetTimeouts timeouts;
};

class HttpFile {
  public:
    HttpFile(const HttpConnection& connection, std::string agent, InternetTimeouts timeouts,
             std::string verb, std::string object, uint32_t flags);
    ~HttpFile();
    HttpFile(const HttpFile&) = delete;
    HttpFile& operator=(const HttpFile&) = delete;

    // Header lines ended by CR LF; an empty line ends the text. A line whose
    // name (case-insensitive) is already present is left out.
    void AddRequestHeaders(const std::string& headerText);
    // Sends the request, with `body` for a POST, and receives the answer.
    // Throws InternetException on a network failure or a time-out.
    void SendRequest(const std::string& body = std::string());
    // The last answer's status code (0 before any answer).
    int QueryStatusCode() const;
    // The last answer's status line and header lines, each ended by CR LF,
    // then the empty line.
    std::string QueryRawHeaders() const;
    // Up to `size` bytes of the last answer's body; 0 at its end. Throws
    // InternetException when the body was longer than kMaxBodyBytes, once
    // those bytes have been read.
    size_t Read(char* buffer, size_t size);
    // Asks the player for a user name and password for this request's host;
    // they go with every later send of this request. False when cancelled.
    bool ShowCredentialsDialog();
    void Close();

  private:
    std::string host;
    int port;
    std::string agent;
    InternetTimeouts timeouts;
    std::string verb;
    std::string object;
    uint32_t flags;
    std::vector<std::string> headers;  // "Name: value", without the line end
    std::string user;
    std::string password;
    bool haveCredentials = false;
    bool digestOnly = false;

    void* handle = nullptr;  // the libcurl easy handle
    int status = 0;
    std::string rawHeaders;
    std::string body;
    size_t readOffset = 0;
    bool bodyCut = false;

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
};

}  // namespace platform
