#include "platform/net/CurlHttpClient.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

namespace platform {
namespace {

constexpr long kConnectTimeoutMs = 10000;
// How long one wait for the network lasts before the cancel flag and the
// deadline are looked at again. (curl_easy_perform looks at its progress
// callback only about once a second while no data flows; the player's
// Cancel should act at once.)
constexpr int kWaitMs = 50;
const char kCancelledMessage[] = "The request was cancelled.";
const char kDeadlineMessage[] = "The answer did not come within the time allowed.";
// Longest stretch without any data once connected.
constexpr long kNoDataSeconds = 30;
// Header lines beyond this are not a page the game wants.
constexpr size_t kMaxHeaderBytes = 1024 * 1024;

size_t OnHeader(char* data, size_t size, size_t count, void* target) {
    HttpResponse& response = *static_cast<HttpResponse*>(target);
    size_t length = size * count;
    std::string line(data, length);
    // A new status line starts a new answer (after an interim 1xx one, or the
    // challenge a Digest exchange answers by itself).
    if (strncasecmp(line.c_str(), "HTTP/", 5) == 0) {
        response.rawHeaders.clear();
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    if (response.rawHeaders.size() + line.size() > kMaxHeaderBytes) {
        return 0;
    }
    response.rawHeaders += line + "\r\n";
    return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* target) {
    HttpResponse& response = *static_cast<HttpResponse*>(target);
    size_t length = size * count;
    size_t room = CurlHttpClient::kMaxBodyBytes - response.body.size();
    if (length > room) {
        // Keep what fits and stop the transfer.
        response.body.append(data, room);
        response.bodyCut = true;
        return 0;
    }
    response.body.append(data, length);
    return length;
}

// Runs the transfer in short waits, looking at the request's cancel flag and
// deadline between them. Returns curl's result; `stopped` is set instead when
// the flag or the deadline ended the transfer.
CURLcode Transfer(CURL* curl, const HttpRequest& request, std::string& stopped) {
    CURLM* multi = curl_multi_init();
    if (multi == nullptr) {
        return CURLE_OUT_OF_MEMORY;
    }
    curl_multi_add_handle(multi, curl);
    bool hasDeadline = request.deadline != std::chrono::steady_clock::time_point{};
    CURLcode result = CURLE_GOT_NOTHING;
    for (;;) {
        if (request.cancelled != nullptr && request.cancelled->load()) {
            stopped = kCancelledMessage;
            break;
        }
        auto left = request.deadline - std::chrono::steady_clock::now();
        if (hasDeadline && left <= std::chrono::steady_clock::duration::zero()) {
            stopped = kDeadlineMessage;
            break;
        }
        int running = 0;
        CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            stopped = curl_multi_strerror(code);
            break;
        }
        if (running == 0) {
            int queued = 0;
            CURLMsg* message = curl_multi_info_read(multi, &queued);
            if (message != nullptr && message->msg == CURLMSG_DONE) {
                result = message->data.result;
            }
            break;
        }
        int wait = kWaitMs;
        if (hasDeadline) {
            auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            wait = static_cast<int>(std::min<decltype(leftMs)>(wait, leftMs));
        }
        curl_multi_poll(multi, nullptr, 0, wait, nullptr);
    }
    curl_multi_remove_handle(multi, curl);
    curl_multi_cleanup(multi);
    return result;
}

}  // namespace

CurlHttpClient::CurlHttpClient(std::string caFile) : caFile(std::move(caFile)) {}

HttpResponse CurlHttpClient::Send(const HttpRequest& request) {
    static std::once_flag initOnce;
    static CURLcode initResult = CURLE_OK;
    std::call_once(initOnce, [] { initResult = curl_global_init(CURL_GLOBAL_DEFAULT); });
    HttpResponse response;
    if (initResult != CURLE_OK) {
        response.error = curl_easy_strerror(initResult);
        return response;
    }
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        response.error = "The request could not be created.";
        return response;
    }

    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headerList = nullptr;
    for (const std::string& header : request.headers) {
        headerList = curl_slist_append(headerList, header.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kNoDataSeconds);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    if (request.auth != HttpAuth::None) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH,
                         request.auth == HttpAuth::Digest ? CURLAUTH_DIGEST : CURLAUTH_BASIC);
        curl_easy_setopt(curl, CURLOPT_USERNAME, request.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.c_str());
    }

    std::string stopped;
    CURLcode result = Transfer(curl, request, stopped);
    if (!stopped.empty()) {
        response.error = stopped;
    } else if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && response.bodyCut)) {
        long code = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
        response.status = static_cast<int>(code);
        response.received = true;
    } else {
        response.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
    }
    curl_easy_cleanup(curl);
    curl_slist_free_all(headerList);
    return response;
}

}  // namespace platform
