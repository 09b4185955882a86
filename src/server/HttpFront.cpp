#include "server/HttpFront.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <ctime>
#include <stdexcept>
#include <thread>

#include "server/RankingPage.h"

namespace server {

namespace {

// The connection limits. The ranking must keep answering quickly while
// 1,000 idle connections are held open (keep-alive browsers, a crowd of
// games, or someone trying to starve the server): with epoll an idle
// connection costs a descriptor and a little memory, so the limit is set
// well above that. libmicrohttpd shares it out among the polling threads; a
// thread at its share leaves new connections to the others.
constexpr unsigned kConnectionLimit = 4096;
// One address may hold more than a quarter of the connections: behind a
// reverse proxy, and in a load test on 127.0.0.1, every connection comes
// from one address (1,000 idle ones plus a 64-connection load must pass).
// It still keeps a single client from taking them all.
constexpr unsigned kPerAddressConnectionLimit = 1200;
// An idle connection is closed after a minute: long enough for a browser's
// keep-alive and a slow mobile link, short enough that vanished clients
// give their slot back.
constexpr unsigned kConnectionTimeoutSeconds = 60;
// Each connection's buffer for its request line and header lines: a score
// query is at most 2 KiB and browsers send a few KiB of header lines. A
// larger request is refused by the library (414 or 431). 1,000 idle
// connections hold at most 16 MiB.
constexpr size_t kConnectionMemoryBytes = 16 * 1024;
// How long a stop waits without a request in flight before it closes the
// connections.
constexpr std::chrono::milliseconds kQuietPeriod(100);
// Descriptors kept back from connections: the log, the database and its
// journal, the listening socket, each thread's epoll and wake-up pipe.
constexpr rlim_t kSpareDescriptors = 64;

// As many connections as the open-file limit leaves room for.
unsigned ConnectionLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= kConnectionLimit + kSpareDescriptors) {
        return kConnectionLimit;
    }
    return limit.rlim_cur > 2 * kSpareDescriptors
               ? static_cast<unsigned>(limit.rlim_cur - kSpareDescriptors)
               : static_cast<unsigned>(limit.rlim_cur / 2);
}

std::string ClientText(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr) {
        return "-";
    }
    char text[INET6_ADDRSTRLEN] = "-";
    if (info->client_addr->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(info->client_addr);
        inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
    } else if (info->client_addr->sa_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(info->client_addr);
        if (IN6_IS_ADDR_V4MAPPED(&ipv6->sin6_addr)) {
            // An IPv4 client of a dual-stack socket: counted and logged as IPv4.
            inet_ntop(AF_INET, ipv6->sin6_addr.s6_addr + 12, text, sizeof text);
        } else {
            inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof text);
        }
    }
    return text;
}

int64_t SteadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ReleaseBody(void* body) {
    delete static_cast<std::shared_ptr<const std::string>*>(body);
}

}  // namespace

// One request, from its request line to its answer sent.
struct HttpFront::Exchange {
    std::string target;
    std::string client;
    std::string method;
    std::chrono::steady_clock::time_point start;
    int status = 0;
    std::string note;
    bool headersRead = false;
    bool answered = false;
};

struct HttpFront::Callbacks {
    // The raw request target, before the library decodes it: the score's
    // query is read with "+" as an ordinary character, which the library's
    // own argument parsing would turn into a space.
    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        auto* front = static_cast<HttpFront*>(cls);
        auto* exchange = new Exchange();
        exchange->target = uri;
        exchange->client = ClientText(connection);
        exchange->start = std::chrono::steady_clock::now();
        {
            std::lock_guard<std::mutex> lock(front->m_mutex);
            ++front->m_inFlight;
        }
        front->m_inFlightChanged.notify_all();
        return exchange;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*,
                                const char* method, const char*, const char*, size_t* uploadSize,
                                void** context) {
        auto* front = static_cast<HttpFront*>(cls);
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange == nullptr) {
            return MHD_NO;
        }
        if (exchange->answered) {
            return MHD_NO;
        }
        exchange->method = method;
        bool readOnly = exchange->method == "GET" || exchange->method == "HEAD";
        if (!exchange->headersRead && readOnly) {
            // An answer queued on this first call, with the header lines
            // just read, makes the library close the connection after it:
            // it waits for the next call to keep the connection alive.
            exchange->headersRead = true;
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            *uploadSize = 0;  // a body on a GET: read and dropped
            return MHD_YES;
        }
        exchange->answered = true;
        SiteRequest request{method, exchange->target, exchange->client,
                            static_cast<int64_t>(std::time(nullptr)), SteadySeconds()};
        SiteResponse answer;
        try {
            answer = front->m_site.Handle(request);
        } catch (const std::exception& error) {
            answer.status = 500;
            answer.contentType = "text/html; charset=utf-8";
            answer.body = std::make_shared<const std::string>(
                MessagePage("Server error", "Something went wrong; please try again later."));
            answer.note = error.what();
        }
        exchange->status = answer.status;
        exchange->note = answer.note;
        auto* body = new std::shared_ptr<const std::string>(answer.body);
        MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
            answer.body->size(), const_cast<char*>(answer.body->data()), &ReleaseBody, body);
        if (response == nullptr) {
            delete body;
            return MHD_NO;
        }
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
        for (const auto& [name, value] : answer.headers) {
            MHD_add_response_header(response, name.c_str(), value.c_str());
        }
        if (front->m_stopping) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        }
        MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    static void OnCompleted(void* cls, MHD_Connection*, void** context,
                            MHD_RequestTerminationCode termination) {
        auto* front = static_cast<HttpFront*>(cls);
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange == nullptr) {
            return;
        }
        *context = nullptr;
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - exchange->start)
                          .count();
        std::string note = exchange->note;
        if (termination != MHD_REQUEST_TERMINATED_COMPLETED_OK) {
            note += std::string(note.empty() ? "" : "; ") + "the answer was not sent whole";
        }
        front->m_log.Write(RequestLogLine(std::time(nullptr), exchange->client,
                                          exchange->method.empty() ? "-" : exchange->method,
                                          exchange->target, exchange->status, micros, note));
        delete exchange;
        {
            std::lock_guard<std::mutex> lock(front->m_mutex);
            --front->m_inFlight;
        }
        front->m_inFlightChanged.notify_all();
    }

    static void OnLibraryMessage(void* cls, const char* format, va_list arguments) {
        char text[512];
        vsnprintf(text, sizeof text, format, arguments);
        std::string line = std::string("http: ") + text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        static_cast<HttpFront*>(cls)->m_log.Write(line);
    }
};

HttpFront::HttpFront(RankingSite& site, RequestLog& log) : m_site(site), m_log(log) {}

HttpFront::~HttpFront() {
    Stop(std::chrono::milliseconds(0));
}

void HttpFront::Start(int listenFd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_ITC |
                     MHD_USE_ERROR_LOG | (address.ss_family == AF_INET6 ? MHD_USE_IPv6 : 0);
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    unsigned connections = ConnectionLimit();
    if (connections < kConnectionLimit) {
        m_log.Write("The open-file limit leaves room for " + std::to_string(connections) +
                    " connections; raise it (ulimit -n, LimitNOFILE=) for " +
                    std::to_string(kConnectionLimit) + ".");
    }
    m_daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &Callbacks::OnRequest, this, MHD_OPTION_EXTERNAL_LOGGER,
        &Callbacks::OnLibraryMessage, this, MHD_OPTION_LISTEN_SOCKET,
        static_cast<MHD_socket>(listenFd), MHD_OPTION_THREAD_POOL_SIZE, threads,
        MHD_OPTION_CONNECTION_LIMIT, connections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        std::min(kPerAddressConnectionLimit, connections), MHD_OPTION_CONNECTION_TIMEOUT,
        kConnectionTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
        MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::OnRequestLine, this, MHD_OPTION_NOTIFY_COMPLETED,
        &Callbacks::OnCompleted, this, MHD_OPTION_END);
    if (m_daemon == nullptr) {
        // The socket is not closed here: whether the library already did
        // is not said, and closing a number twice may close another's file.
        throw std::runtime_error("The HTTP server could not be started.");
    }
}

void HttpFront::Stop(std::chrono::milliseconds drainLimit) {
    if (m_daemon == nullptr) {
        return;
    }
    m_stopping = true;
    MHD_socket listenFd = MHD_quiesce_daemon(m_daemon);
    if (listenFd != MHD_INVALID_SOCKET) {
        // New connections are refused from now on instead of waiting in the
        // backlog for a server that will not take them.
        shutdown(listenFd, SHUT_RDWR);
    }
    {
        // Done when no request has been in flight for a moment: a
        // keep-alive client answered just before the stop may still send
        // one more request, whose answer then closes its connection.
        auto deadline = std::chrono::steady_clock::now() + drainLimit;
        std::unique_lock<std::mutex> lock(m_mutex);
        while (m_inFlightChanged.wait_until(lock, deadline, [this] { return m_inFlight == 0; })) {
            auto quietEnd = std::min(deadline, std::chrono::steady_clock::now() + kQuietPeriod);
            if (!m_inFlightChanged.wait_until(lock, quietEnd, [this] { return m_inFlight > 0; })) {
                break;
            }
        }
    }
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    if (listenFd != MHD_INVALID_SOCKET) {
        close(listenFd);
    }
}

}  // namespace server
