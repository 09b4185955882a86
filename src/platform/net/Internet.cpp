#include "platform/net/Internet.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/ui/CredentialsDialog.h"

namespace platform {
namespace {

constexpr size_t kMaxMessageBytes = 1023;
// Header lines beyond this are not a page the game wants.
constexpr size_t kMaxHeaderBytes = 1024 * 1024;

std::mutex timeoutsMutex;
InternetTimeouts currentTimeouts;
std::atomic<bool> failNextOpen{false};

std::string HostForUrl(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string CutMessage(std::string message) {
    if (message.size() > kMaxMessageBytes) {
        message.resize(kMaxMessageBytes);
    }
    return message;
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

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

InternetException::InternetException(int code, std::string message)
    : code(code), message(CutMessage(std::move(message))) {}

void SetInternetTimeouts(const InternetTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(timeoutsMutex);
    currentTimeouts = timeouts;
}

InternetTimeouts GetInternetTimeouts() {
    std::lock_guard<std::mutex> lock(timeoutsMutex);
    return currentTimeouts;
}

void FailNextSessionOpen() {
    failNextOpen = true;
}

InternetSession::InternetSession(const std::string& agent)
    : agent(agent), timeouts(GetInternetTimeouts()) {
    static std::once_flag initOnce;
    static CURLcode initResult = CURLE_OK;
    if (failNextOpen.exchange(false)) {
        throw InternetException(CURLE_FAILED_INIT, "The internet session could not be opened.");
    }
    std::call_once(initOnce, [] { initResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (initResult != CURLE_OK) {
        throw InternetException(initResult, curl_easy_strerror(initResult));
    }
}

InternetSession::~InternetSession() = default;

void InternetSession::OnStatusCallback(uintptr_t, uint32_t, const void*, uint32_t) {}

std::unique_ptr<HttpConnection> InternetSession::GetHttpConnection(const std::string& host,
                                                                   int port) {
    return std::make_unique<HttpConnection>(host, port, agent, timeouts);
}

void InternetSession::Close() {}

HttpConnection::HttpConnection(std::string host, int port, std::string agent,
                               InternetTimeouts timeouts)
    : host(std::move(host)), port(port), agent(std::move(agent)), timeouts(timeouts) {}

HttpConnection::~HttpConnection() = default;

std::unique_ptr<HttpFile> HttpConnection::OpenRequest(const std::string& verb,
                                                      const std::string& object, uint32_t flags) {
    return std::make_unique<HttpFile>(*this, agent, timeouts, verb, object, flags);
}

void HttpConnection::Close() {}

HttpFile::HttpFile(const HttpConnection& connection, std::string agent, InternetTimeouts timeouts,
                   std::string verb, std::string object, uint32_t flags)
    : host(connection.Host()),
      port(connection.Port()),
      agent(std::move(agent)),
      timeouts(timeouts),
      verb(std::move(verb)),
      object(object.empty() ? std::string("/") : std::move(object)),
      flags(flags) {}

HttpFile::~HttpFile() {
    Close();
}

void HttpFile::AddRequestHeaders(const std::string& headerText) {
    size_t start = 0;
    while (start < headerText.size()) {
        size_t end = headerText.find('\n', start);
        std::string line =
            headerText.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? headerText.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t colon = line.find(':');
        if (line.empty() || colon == std::string::npos || colon == 0) {
            continue;
        }
        std::string name = line.substr(0, colon);
        bool present = std::any_of(headers.begin(), headers.end(), [&](const std::string& h) {
            return EqualNoCase(h.substr(0, h.find(':')), name);
        });
        if (!present) {
            headers.push_back(line);
        }
    }
}

size_t HttpFile::OnHeader(char* data, size_t size, size_t count, void* self) {
    HttpFile* file = static_cast<HttpFile*>(self);
    size_t length = size * count;
    std::string line(data, length);
    // A new status line starts a new answer (after an interim 1xx one).
    if (StartsWithNoCase(line, "HTTP/")) {
        file->rawHeaders.clear();
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    if (file->rawHeaders.size() + line.size() > kMaxHeaderBytes) {
        return 0;
    }
    file->rawHeaders += line + "\r\n";
    return length;
}

size_t HttpFile::OnBody(char* data, size_t size, size_t count, void* self) {
    HttpFile* file = static_cast<HttpFile*>(self);
    size_t length = size * count;
    size_t room = kMaxBodyBytes - file->body.size();
    if (length > room) {
        // Keep what fits and stop the transfer; the read reports the cut.
        file->body.append(data, room);
        file->bodyCut = true;
        return 0;
    }
    file->body.append(data, length);
    return length;
}

void HttpFile::SendRequest(const std::string& requestBody) {
    status = 0;
    rawHeaders.clear();
    body.clear();
    body.shrink_to_fit();
    readOffset = 0;
    bodyCut = false;
    if (host.empty()) {
        throw InternetException(CURLE_URL_MALFORMAT,
                                "No server name could be taken from the address.");
    }
    CURL* curl = static_cast<CURL*>(handle);
    if (curl == nullptr) {
        curl = curl_easy_init();
        if (curl == nullptr) {
            throw InternetException(CURLE_FAILED_INIT, "The request could not be created.");
        }
        handle = curl;
    } else {
        curl_easy_reset(curl);
    }

    bool secure = (flags & kFlagSecure) != 0;
    std::string url = std::string(secure ? "https://" : "http://") + HostForUrl(host) + ":" +
                      std::to_string(port) + EncodeRequestTarget(object);
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headerList = nullptr;
    bool haveAgent = false;
    for (const std::string& header : headers) {
        headerList = curl_slist_append(headerList, header.c_str());
        haveAgent = haveAgent || EqualNoCase(header.substr(0, header.find(':')), "User-Agent");
    }

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
    long noDataSeconds =
        std::max<long>(1, static_cast<long>((timeouts.noData.count() + 999) / 1000));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, noDataSeconds);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &HttpFile::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &HttpFile::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    if (!haveAgent && !agent.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    }
    if (verb == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(requestBody.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, requestBody.data());
    } else if (verb == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }
    if (haveCredentials) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, digestOnly ? CURLAUTH_DIGEST : CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    }

    CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(headerList);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && bodyCut)) {
        std::string message = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
        throw InternetException(result, message);
    }
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    status = static_cast<int>(code);
}

int HttpFile::QueryStatusCode() const {
    return status;
}

std::string HttpFile::QueryRawHeaders() const {
    return rawHeaders;
}

size_t HttpFile::Read(char* buffer, size_t size) {
    size_t left = body.size() - readOffset;
    if (left == 0) {
        if (bodyCut) {
            throw InternetException(CURLE_FILESIZE_EXCEEDED,
                                    "The answer is longer than 16 MiB; it was cut there.");
        }
        return 0;
    }
    size_t count = std::min(size, left);
    std::memcpy(buffer, body.data() + readOffset, count);
    readOffset += count;
    return count;
}

bool HttpFile::ShowCredentialsDialog() {
    CredentialsPrompt prompt;
    prompt.host = host;
    bool basic = false;
    bool digest = false;
    for (const std::string& challenge : FindHeaderValues(rawHeaders, "WWW-Authenticate")) {
        basic = basic || StartsWithNoCase(challenge, "Basic");
        digest = digest || StartsWithNoCase(challenge, "Digest");
        if (prompt.realm.empty()) {
            prompt.realm = RealmOf(challenge);
        }
    }
    Credentials credentials;
    if (!AskCredentials(prompt, credentials)) {
        return false;
    }
    user = credentials.user;
    password = credentials.password;
    haveCredentials = true;
    digestOnly = digest && !basic;
    return true;
}

void HttpFile::Close() {
    if (handle != nullptr) {
        curl_easy_cleanup(static_cast<CURL*>(handle));
        handle = nullptr;
    }
}

}  // namespace platform
