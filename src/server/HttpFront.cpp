// How a request travels, and why.
//
// libmicrohttpd's polling threads read requests and send answers; the site
// (and with it the database) runs on the work queues. The polling thread
// suspends the connection, a worker computes the answer and resumes it, and
// the polling thread queues the answer. A stalled database so holds up
// workers only: other connections are still read and answered. Registrations,
// reads and health checks each have workers of their own (RankingSite::LaneOf).
//
// Everything the front keeps about a connection lives in its Link, made when
// the library accepts the connection and freed when the library says it is
// closed, whatever happened in between. Nothing is allocated per request:
// the library does not call the completion callback for a request it
// refused before its head was read (a head too big for the connection's
// memory), so memory tied to the request alone would never come back.
//
// The library's idle time-out starts again with every byte, so a client
// sending one byte every few seconds would keep its connection for ever. A
// sweeper closes connections that have not sent a whole request head within
// FrontLimits::requestHead of their start or of their previous answer.
//
// A few addresses must not take every connection: the last quarter of the
// slots goes only to addresses that hold a handful of connections.
#include "server/HttpFront.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <ctime>
#include <stdexcept>

#include "server/RankingPage.h"

namespace server {

namespace {

// One address may hold more than a quarter of the connections: behind a
// reverse proxy, and in a load test on 127.0.0.1, every connection comes
// from one address (1,000 idle ones plus a 64-connection load must pass).
constexpr unsigned kPerAddressConnectionLimit = 1200;
// Once fewer than a quarter of the slots are free, an address holding this
// many connections gets no more: new clients still find room.
constexpr unsigned kFewConnections = 8;
// An idle connection is closed after a minute at the latest.
constexpr unsigned kConnectionTimeoutSeconds = 60;
// Each connection's memory for its request line, its header lines and the
// library's record of each header and query argument (some 50 bytes each):
// a score query is at most 2 KiB and browsers send a few KiB of header
// lines. A request that does not fit is answered 414 or 431. 1,000 idle
// connections hold at most 32 MiB.
constexpr size_t kConnectionMemoryBytes = 32 * 1024;
// Threads running the site, lane by lane. More writers would only queue for
// the database's one writer lock, and lengthen the registrations' tail.
constexpr unsigned kWriteWorkers = 4;
constexpr unsigned kReadWorkers = 8;
constexpr unsigned kHealthWorkers = 2;
// How a stop waits without a request in flight before it closes the
// connections.
constexpr std::chrono::milliseconds kQuietPeriod(100);
// Descriptors kept back from connections: the log, the database and its
// journal, the listening socket, each thread's epoll and wake-up pipe.
constexpr rlim_t kSpareDescriptors = 64;

// The longest request target and the most query arguments taken. The
// library keeps a record of every argument in the connection's memory, and
// when they do not fit it neither answers nor closes the connection: such a
// request is refused here, before the library reads its arguments. The
// game's query has five; a page's, three.
constexpr size_t kLongestTarget = 8 * 1024;
constexpr size_t kMostArguments = 64;

const char kTooLong[] =
    "HTTP/1.1 414 URI Too Long\r\nConnection: close\r\nContent-Type: text/plain; "
    "charset=utf-8\r\nContent-Length: 50\r\n\r\nThe address is too long or has too many "
    "arguments.\n";

// As many connections as the open-file limit leaves room for.
unsigned ConnectionLimit(unsigned wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= wanted + kSpareDescriptors) {
        return wanted;
    }
    return limit.rlim_cur > 2 * kSpareDescriptors
               ? static_cast<unsigned>(limit.rlim_cur - kSpareDescriptors)
               : static_cast<unsigned>(limit.rlim_cur / 2);
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "-";
    if (address == nullptr) {
        return text;
    }
    if (address->sa_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
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

// The origin-form of an absolute-form target ("http://host/path?q" is
// "/path?q"), which a server must accept as well.
std::string OriginForm(const char* uri) {
    std::string target = uri;
    for (const char* scheme : {"http://", "https://"}) {
        size_t length = std::char_traits<char>::length(scheme);
        if (target.size() >= length && strncasecmp(target.c_str(), scheme, length) == 0) {
            size_t start = target.find_first_of("/?", length);
            if (start == std::string::npos) {
                return "/";
            }
            return target[start] == '/' ? target.substr(start) : "/" + target.substr(start);
        }
    }
    return target;
}

SiteResponse Refusal(int status, const char* title, const std::string& why) {
    SiteResponse response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = std::make_shared<const std::string>(MessagePage(title, why));
    response.headers.emplace_back("Connection", "close");
    return response;
}

// Why the request head is refused, or empty. A request with two lengths
// may be read one way by a proxy and another way here (request smuggling);
// HTTP/1.1 makes Host mandatory.
std::string HeadProblem(MHD_Connection* connection, const char* version) {
    struct Lengths {
        int count = 0;
        std::string first;
        bool differ = false;
    } lengths;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) {
            auto* seen = static_cast<Lengths*>(cls);
            if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) {
                std::string text = value != nullptr ? value : "";
                seen->differ = seen->differ || (seen->count > 0 && text != seen->first);
                seen->first = seen->count == 0 ? text : seen->first;
                ++seen->count;
            }
            return MHD_YES;
        },
        &lengths);
    if (lengths.differ) {
        return "The request gives two different lengths.";
    }
    if (std::string(version) == MHD_HTTP_VERSION_1_1 &&
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST) == nullptr) {
        return "An HTTP/1.1 request must name its Host.";
    }
    return std::string();
}

}  // namespace

// One connection, from its accept to its close, and the request under way.
struct HttpFront::Link {
    std::string client;
    MHD_socket fd = MHD_INVALID_SOCKET;
    // The connection's start or its previous answer: the request head is due
    // within FrontLimits::requestHead of it.
    std::chrono::steady_clock::time_point waitingSince;
    bool swept = false;
    bool refused = false;  // answered here, before the library took the request
    // The request under way.
    std::string target;
    std::string method;
    std::chrono::steady_clock::time_point start;
    // Its head is read: counted in flight, never swept. The sweeper reads it.
    std::atomic<bool> begun{false};
    bool headersRead = false;
    bool handedOver = false;
    bool answered = false;
    SiteResponse answer;
    bool ready = false;

    void NextRequest() {
        target.clear();
        method.clear();
        begun = false;
        headersRead = handedOver = answered = ready = false;
        answer = SiteResponse();
    }
};

struct HttpFront::Callbacks {
    static void OnConnection(void* cls, MHD_Connection* connection, void** socketContext,
                             MHD_ConnectionNotificationCode code) {
        auto* front = static_cast<HttpFront*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* link = new Link();
            const MHD_ConnectionInfo* address =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            link->client = AddressText(address != nullptr ? address->client_addr : nullptr);
            const MHD_ConnectionInfo* fd =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            link->fd = fd != nullptr ? fd->connect_fd : MHD_INVALID_SOCKET;
            link->waitingSince = std::chrono::steady_clock::now();
            *socketContext = link;
            std::lock_guard<std::mutex> lock(front->m_mutex);
            front->m_links.insert(link);
            ++front->m_perAddress[link->client];
            return;
        }
        auto* link = static_cast<Link*>(*socketContext);
        if (link == nullptr) {
            return;
        }
        *socketContext = nullptr;
        {
            std::lock_guard<std::mutex> lock(front->m_mutex);
            front->m_links.erase(link);
            auto held = front->m_perAddress.find(link->client);
            if (held != front->m_perAddress.end() && --held->second == 0) {
                front->m_perAddress.erase(held);
            }
        }
        delete link;
    }

    static MHD_Result OnAccept(void* cls, const sockaddr* address, socklen_t) {
        auto* front = static_cast<HttpFront*>(cls);
        std::string client = AddressText(address);
        std::lock_guard<std::mutex> lock(front->m_mutex);
        if (front->m_links.size() + front->m_connectionLimit / 4 < front->m_connectionLimit) {
            return MHD_YES;
        }
        auto held = front->m_perAddress.find(client);
        return held == front->m_perAddress.end() || held->second < kFewConnections ? MHD_YES
                                                                                   : MHD_NO;
    }

    // The raw request target, before the library decodes it: the score's
    // query is read with "+" as an ordinary character, which the library's
    // own argument parsing would turn into a space. The Link becomes the
    // request's context.
    static void* OnRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        auto* link = info != nullptr ? static_cast<Link*>(info->socket_context) : nullptr;
        if (link == nullptr) {
            return nullptr;
        }
        link->NextRequest();
        link->target = OriginForm(uri);
        link->start = std::chrono::steady_clock::now();
        size_t arguments = std::count(link->target.begin(), link->target.end(), '&') + 1;
        if (link->target.size() > kLongestTarget || arguments > kMostArguments) {
            // Nothing of this request has been answered yet, and the socket's
            // buffer is empty: the answer goes out whole. The library's own
            // write then fails on the shut socket and it closes the connection.
            auto* front = static_cast<HttpFront*>(cls);
            send(link->fd, kTooLong, sizeof kTooLong - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            shutdown(link->fd, SHUT_WR);
            std::lock_guard<std::mutex> lock(front->m_mutex);
            link->refused = true;
            front->m_log.Write(RequestLogLine(std::time(nullptr), link->client, "-", link->target,
                                              414, 0, "refused unread"));
        }
        return link;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*,
                                const char* method, const char* version, const char*,
                                size_t* uploadSize, void** context) {
        auto* front = static_cast<HttpFront*>(cls);
        auto* link = static_cast<Link*>(*context);
        if (link == nullptr || link->answered) {
            return MHD_NO;
        }
        if (!link->begun) {
            link->begun = true;
            link->method = method;
            {
                std::lock_guard<std::mutex> lock(front->m_mutex);
                ++front->m_inFlight;
            }
            front->m_inFlightChanged.notify_all();
            std::string problem = HeadProblem(connection, version);
            if (!problem.empty()) {
                link->answer = Refusal(400, "Bad request", problem);
                return Send(front, connection, link);
            }
        }
        bool readOnly = link->method == "GET" || link->method == "HEAD";
        if (!link->headersRead && readOnly) {
            // An answer queued on this first call, with the header lines
            // just read, makes the library close the connection after it:
            // it waits for the next call to keep the connection alive.
            link->headersRead = true;
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            *uploadSize = 0;  // a body on a GET: read and dropped
            return MHD_YES;
        }
        if (!link->handedOver) {
            link->handedOver = true;
            SiteRequest request{link->method, link->target, link->client,
                                static_cast<int64_t>(std::time(nullptr)), SteadySeconds()};
            Lane lane = RankingSite::LaneOf(request.method, request.target);
            MHD_suspend_connection(connection);
            bool posted = false;
            {
                std::lock_guard<std::mutex> lock(front->m_workMutex);
                WorkQueue* work = lane == Lane::Write  ? front->m_writeWork.get()
                                  : lane == Lane::Read ? front->m_readWork.get()
                                                       : front->m_healthWork.get();
                if (work != nullptr) {
                    work->Post([front, link, connection, request] {
                        link->answer = front->Answer(request);
                        link->ready = true;
                        MHD_resume_connection(connection);
                    });
                    posted = true;
                }
            }
            if (!posted) {
                // A keep-alive request that came in the last moment of a stop.
                link->answer =
                    Refusal(503, "Stopping", "The server is stopping; please try again.");
                link->ready = true;
                MHD_resume_connection(connection);
            }
            return MHD_YES;
        }
        return link->ready ? Send(front, connection, link) : MHD_YES;
    }

    static MHD_Result Send(HttpFront* front, MHD_Connection* connection, Link* link) {
        link->answered = true;
        const SiteResponse& answer = link->answer;
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

    // Called for every request the access handler saw, never for one the
    // library refused before.
    static void OnCompleted(void* cls, MHD_Connection*, void** context,
                            MHD_RequestTerminationCode termination) {
        auto* front = static_cast<HttpFront*>(cls);
        auto* link = static_cast<Link*>(*context);
        *context = nullptr;
        if (link == nullptr || !link->begun) {
            return;
        }
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - link->start)
                          .count();
        std::string note = link->answer.note;
        if (termination != MHD_REQUEST_TERMINATED_COMPLETED_OK) {
            note += std::string(note.empty() ? "" : "; ") + "the answer was not sent whole";
        }
        front->m_log.Write(RequestLogLine(std::time(nullptr), link->client, link->method,
                                          link->target, link->answer.status, micros, note));
        {
            std::lock_guard<std::mutex> lock(front->m_mutex);
            link->NextRequest();
            link->waitingSince = std::chrono::steady_clock::now();
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

HttpFront::HttpFront(RankingSite& site, RequestLog& log, FrontLimits limits)
    : m_site(site), m_log(log), m_limits(limits) {}

HttpFront::~HttpFront() {
    Stop(std::chrono::milliseconds(0));
}

SiteResponse HttpFront::Answer(const SiteRequest& request) {
    try {
        return m_site.Handle(request);
    } catch (const std::exception& error) {
        SiteResponse answer;
        answer.status = 500;
        answer.contentType = "text/html; charset=utf-8";
        answer.body = std::make_shared<const std::string>(
            MessagePage("Server error", "Something went wrong; please try again later."));
        answer.note = error.what();
        return answer;
    }
}

void HttpFront::Start(int listenFd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_ALLOW_SUSPEND_RESUME |
                     MHD_USE_ERROR_LOG | (address.ss_family == AF_INET6 ? MHD_USE_IPv6 : 0);
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    m_connectionLimit = ConnectionLimit(m_limits.connections);
    if (m_connectionLimit < m_limits.connections) {
        m_log.Write("The open-file limit leaves room for " + std::to_string(m_connectionLimit) +
                    " connections; raise it (ulimit -n, LimitNOFILE=) for " +
                    std::to_string(m_limits.connections) + ".");
    }
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        m_writeWork = std::make_unique<WorkQueue>(kWriteWorkers);
        m_readWork = std::make_unique<WorkQueue>(kReadWorkers);
        m_healthWork = std::make_unique<WorkQueue>(kHealthWorkers);
    }
    m_daemon = MHD_start_daemon(
        flags, 0, &Callbacks::OnAccept, this, &Callbacks::OnRequest, this,
        MHD_OPTION_EXTERNAL_LOGGER, &Callbacks::OnLibraryMessage, this, MHD_OPTION_LISTEN_SOCKET,
        static_cast<MHD_socket>(listenFd), MHD_OPTION_THREAD_POOL_SIZE, threads,
        MHD_OPTION_CONNECTION_LIMIT, m_connectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        std::min(kPerAddressConnectionLimit, m_connectionLimit), MHD_OPTION_CONNECTION_TIMEOUT,
        kConnectionTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
        MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::OnConnection, this, MHD_OPTION_URI_LOG_CALLBACK,
        &Callbacks::OnRequestLine, this, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::OnCompleted, this,
        MHD_OPTION_END);
    if (m_daemon == nullptr) {
        std::lock_guard<std::mutex> lock(m_workMutex);
        m_writeWork.reset();
        m_readWork.reset();
        m_healthWork.reset();
        // The socket is not closed here: whether the library already did
        // is not said, and closing a number twice may close another's file.
        throw std::runtime_error("The HTTP server could not be started.");
    }
    m_sweeping = true;
    m_sweeper = std::thread([this] { Sweep(); });
}

void HttpFront::Sweep() {
    auto tick =
        std::min<std::chrono::milliseconds>(m_limits.requestHead / 4, std::chrono::seconds(1));
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_sweepWake.wait_for(lock, tick, [this] { return !m_sweeping; })) {
        auto due = std::chrono::steady_clock::now() - m_limits.requestHead;
        for (Link* link : m_links) {
            // A connection still in m_links is not closed yet: its socket is
            // its own. Shutting it down wakes its polling thread, which
            // closes it.
            if (!link->begun && !link->swept && (link->refused || link->waitingSince < due)) {
                link->swept = true;
                shutdown(link->fd, SHUT_RDWR);
            }
        }
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
        m_sweeping = false;
    }
    m_sweepWake.notify_all();
    m_sweeper.join();
    // The workers finish their jobs (each bounded by the database's time-out)
    // and resume their connections while the library still runs.
    std::unique_ptr<WorkQueue> queues[3];
    {
        std::lock_guard<std::mutex> lock(m_workMutex);
        queues[0] = std::move(m_writeWork);
        queues[1] = std::move(m_readWork);
        queues[2] = std::move(m_healthWork);
    }
    for (auto& queue : queues) {
        queue.reset();
    }
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
    if (listenFd != MHD_INVALID_SOCKET) {
        close(listenFd);
    }
}

}  // namespace server
