// The ranking server over real sockets on 127.0.0.1: the game's own
// HTTP/1.0 request, keep-alive, the statuses, the listening address and a
// stop with a request in flight.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "MemoryScoreStore.h"
#include "server/HttpFront.h"
#include "server/ListenSocket.h"
#include "server/RankingSite.h"
#include "server/RequestLog.h"

namespace {

struct Reply {
    std::string head;  // status line and header lines
    std::string body;
    int Status() const { return head.size() > 12 ? std::stoi(head.substr(9, 3)) : 0; }
    bool Has(const std::string& header) const { return head.find("\r\n" + header) != head.npos; }
};

// A connection from `from`, one of the loopback addresses.
int Connect(int port, const char* from = "127.0.0.1") {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    inet_pton(AF_INET, from, &source.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One answer from `fd`: the head, then Content-Length bytes of body (none
// for HEAD).
Reply ReadReply(int fd, bool head = false) {
    std::string text;
    char buffer[4096];
    size_t end;
    for (ssize_t count; (end = text.find("\r\n\r\n")) == text.npos; text.append(buffer, count)) {
        if ((count = recv(fd, buffer, sizeof buffer, 0)) <= 0) {
            return Reply{text, ""};
        }
    }
    Reply reply{text.substr(0, end + 2), text.substr(end + 4)};
    size_t at = reply.head.find("Content-Length: ");
    size_t length = head || at == text.npos ? 0 : std::stoul(reply.head.substr(at + 16));
    for (ssize_t count; reply.body.size() < length; reply.body.append(buffer, count)) {
        if ((count = recv(fd, buffer, sizeof buffer, 0)) <= 0) {
            break;
        }
    }
    return reply;
}

// "a=1&a=1...": `count` query arguments.
std::string Arguments(int count) {
    std::string query = "a=1";
    for (int i = 1; i < count; ++i) {
        query += "&a=1";
    }
    return query;
}

// The resident memory of this process, in bytes.
long ResidentBytes() {
    long pages = 0;
    long resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm != nullptr && fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
        resident = 0;
    }
    if (statm != nullptr) {
        fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

class Front : public ::testing::Test {
  protected:
    void SetUp() override {
        int fd = server::OpenListenSocket("127.0.0.1:0");
        address = server::ListeningAddress(fd);
        port = std::stoi(address.substr(address.rfind(':') + 1));
        front.Start(fd);
    }
    Reply Exchange(const std::string& request) {
        int fd = Connect(port);
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        Reply reply = ReadReply(fd, request.rfind("HEAD ", 0) == 0);
        close(fd);
        return reply;
    }
    // The exact bytes the game sends for a score.
    std::string GameRequest(const std::string& query) {
        return "GET /game/zankoru/GameSet.asp?" + query + " HTTP/1.0\r\nHost: " + address +
               "\r\nAccept: text/*,*/* \r\nAccept-Language: ja \r\nUser-Agent: KelConnect "
               "\r\nConnection: Keep-Alive \r\n\r\n";
    }

    MemoryScoreStore store;
    server::RankingSite site{store, 2};
    FILE* logFile = tmpfile();
    std::unique_ptr<server::RequestLog> log = std::make_unique<server::RequestLog>(fileno(logFile));
    // Short enough for a test to see a slow client closed, and few enough
    // connections for a test to fill them.
    server::HttpFront front{site, *log, {std::chrono::milliseconds(1500), 200}};
    std::string address;
    int port = 0;
};

TEST_F(Front, RegistersTheGamesHttp10RequestAndLogsItWithoutTheName) {
    Reply reply = Exchange(GameRequest("aria=Sri%20Lanka&name=K+e%2Bl&mode=0&level=3&score=2"));
    EXPECT_EQ(200, reply.Status()) << reply.head;
    EXPECT_TRUE(reply.Has("Content-Type: text/html; charset=utf-8\r\n")) << reply.head;
    EXPECT_TRUE(reply.Has("Cache-Control: no-store\r\n")) << reply.head;
    EXPECT_NE(std::string::npos, reply.body.find("Thank you, K+e+l.<P>Hard, 2 hits: rank 1 of 1."));
    ASSERT_EQ(1u, store.All().size());
    EXPECT_EQ("Sri Lanka", store.All()[0].area);

    front.Stop(std::chrono::seconds(5));
    log.reset();  // flushes the log
    std::string text(4096, '\0');
    rewind(logFile);
    text.resize(fread(text.data(), 1, text.size(), logFile));
    EXPECT_TRUE(
        std::regex_search(text, std::regex("Z 127\\.0\\.0\\.1 GET /game/zankoru/GameSet\\.asp\\?"
                                           "aria=Sri%20Lanka&name=-&mode=0&level=3&score=2 "
                                           "200 \\d+us\\n")))
        << text;
    EXPECT_EQ(std::string::npos, text.find("K+e"));
}

TEST_F(Front, KeepsAnHttp11ConnectionForTheNextRequest) {
    int fd = Connect(port);
    for (const char* path : {"/healthz", "/game/zankoru/GameResult.asp", "/healthz"}) {
        std::string request = std::string("GET ") + path + " HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_EQ(static_cast<ssize_t>(request.size()),
                  send(fd, request.data(), request.size(), MSG_NOSIGNAL));
        EXPECT_EQ(200, ReadReply(fd).Status()) << path;
    }
    close(fd);
}

TEST_F(Front, AnswersEachStatusWithItsHeaders) {
    const std::string close = " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    const std::string html = "Content-Type: text/html; charset=utf-8";
    const std::string json = "Content-Type: application/json; charset=utf-8";
    const std::tuple<std::string, int, std::string> cases[] = {
        {"GET /game/zankoru/GameSet.asp?level=9&score=1" + close, 400, html},
        {"GET /game/zankoru/GameSet.asp?level=1&score=1&x=" + std::string(3000, 'x') + close, 400,
         "Cache-Control: no-store"},
        {"GET /api/v1/scores?level=1" + close, 200, json},
        {"GET /api/v1/scores" + close, 400, json},
        {"HEAD /game/zankoru/GameResult.asp" + close, 200, html},
        {"GET /game/zankoru/GameResult.asp?aria=Atlantis" + close, 400,
         "X-Content-Type-Options: nosniff"},
        {"GET /nowhere" + close, 404, html},
        {"POST /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nConnection: close\r\n\r\nabc",
         405, "Allow: GET, HEAD"},
        {"DELETE /game/zankoru/GameSet.asp" + close, 405, "Allow: GET\r\n"},
        {"GET /" + std::string(20000, 'a') + close, 414, ""},
        {"GET /game/zankoru/GameResult.asp?" + Arguments(300) + close, 414, "Connection: close"},
        {"GET /game/zankoru/GameResult.asp?" + Arguments(64) + close, 200, html},
        {"GET http://x/game/zankoru/GameResult.asp?level=1" + close, 200, html},
        {"GET HTTP://x?level=1" + close, 404, html},
        {"GET /healthz HTTP/1.1\r\nConnection: close\r\n\r\n", 400, "Connection: close"},
        {"GET /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
         400, "Connection: close"},
        {"GET /healthz HTTP/1.0\r\n\r\n", 200, ""},
    };
    for (const auto& [request, status, header] : cases) {
        Reply reply = Exchange(request);
        EXPECT_EQ(status, reply.Status()) << request.substr(0, 60) << "\n" << reply.head;
        EXPECT_TRUE(reply.Has(header)) << request.substr(0, 60) << "\n" << reply.head;
    }
    EXPECT_TRUE(store.All().empty());
}

TEST_F(Front, RefusesTheThirdScoreOfTheMinuteAndFailsHealthWithTheDatabase) {
    std::string request = GameRequest("aria=Japan&name=Kel&mode=0&level=1&score=3");
    EXPECT_EQ(200, Exchange(request).Status());
    EXPECT_EQ(200, Exchange(request).Status());
    Reply refused = Exchange(request);
    EXPECT_EQ(429, refused.Status());
    EXPECT_TRUE(refused.Has("Retry-After: 60\r\n"));
    EXPECT_NE(std::string::npos, refused.body.find("too many scores came from this address"));
    EXPECT_EQ(2u, store.All().size());

    EXPECT_EQ(200, Exchange("GET /healthz HTTP/1.0\r\n\r\n").Status());
    store.answering = false;
    EXPECT_EQ(503, Exchange("GET /healthz HTTP/1.0\r\n\r\n").Status());
}

// The library keeps a record of every argument in the connection's memory;
// a request whose records do not fit used to get no answer at all, and its
// memory never came back.
TEST_F(Front, RefusesARequestTooBigForItsConnectionAtOnceAndFreesIt) {
    const std::string request =
        "GET /game/zankoru/GameResult.asp?" + Arguments(480) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    auto send10000 = [&] {
        int refused = 0;
        for (int i = 0; i < 10000; ++i) {
            refused += Exchange(request).Status() == 414 ? 1 : 0;
        }
        return refused;
    };
    EXPECT_EQ(10000, send10000());  // also brings the allocator's pools up
    long before = ResidentBytes();
    EXPECT_EQ(10000, send10000());
    // They used to keep 23 MB per 10,000; AddressSanitizer's quarantine holds
    // a few MB of freed blocks besides.
    EXPECT_LT(ResidentBytes() - before, 8 << 20) << "the refused requests kept their memory";
    auto start = std::chrono::steady_clock::now();
    front.Stop(std::chrono::seconds(5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
        << "a refused request was still counted in flight";
}

// A few addresses holding idle or trickling connections must lock nobody
// out: such connections are closed when their request head is late, and the
// last slots are kept for addresses that hold few.
TEST_F(Front, ClosesSlowRequestsAndKeepsRoomForNewAddresses) {
    std::vector<int> crowd;
    for (const char* from : {"127.0.0.2", "127.0.0.3"}) {
        for (int i = 0; i < 150; ++i) {
            int fd = Connect(port, from);
            send(fd, "GET /healthz HTTP/1.1\r\n", 24, MSG_NOSIGNAL);
            crowd.push_back(fd);
        }
    }
    EXPECT_EQ(200, [&] {
        int fd = Connect(port, "127.0.0.4");
        send(fd, "GET /healthz HTTP/1.0\r\n\r\n", 26, MSG_NOSIGNAL);
        int status = ReadReply(fd).Status();
        close(fd);
        return status;
    }()) << "a new address found no room";

    int trickler = Connect(port, "127.0.0.5");
    auto start = std::chrono::steady_clock::now();
    bool closed = false;
    for (int i = 0; i < 40 && !closed; ++i) {
        closed = send(trickler, "X", 1, MSG_NOSIGNAL) < 0;
        char byte;
        closed = closed || recv(trickler, &byte, 1, MSG_DONTWAIT) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    auto held = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(closed) << "a client sending a byte every 100 ms kept its connection";
    EXPECT_LT(held, std::chrono::milliseconds(2500));
    close(trickler);
    for (int fd : crowd) {
        char byte;
        ssize_t got = recv(fd, &byte, 1, 0);  // refused ones were reset
        EXPECT_TRUE(got == 0 || (got < 0 && errno == ECONNRESET)) << "an idle connection was kept";
        close(fd);
    }
}

// More registrations waiting than there are polling threads or writers.
TEST_F(Front, AnswersHealthAndPagesWhileRegistrationsWaitForTheDatabase) {
    store.Hold(true);
    std::vector<std::thread> games;
    for (int i = 0; i < 6; ++i) {
        games.emplace_back([&] { Exchange(GameRequest("aria=UK&name=Kel&level=3&score=2")); });
    }
    store.WaitForAdd();
    for (const char* path : {"/healthz", "/game/zankoru/GameResult.asp"}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(200, Exchange(std::string("GET ") + path + " HTTP/1.0\r\n\r\n").Status());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << path;
    }
    store.Hold(false);
    for (std::thread& game : games) {
        game.join();
    }
}

TEST_F(Front, StopLetsTheRequestInFlightFinish) {
    store.Hold(true);
    Reply reply;
    std::thread game([&] { reply = Exchange(GameRequest("aria=UK&name=Kel&level=3&score=2")); });
    store.WaitForAdd();
    std::thread stopper([&] { front.Stop(std::chrono::seconds(10)); });
    bool refused = false;
    for (int i = 0; i < 300 && !refused; ++i) {
        int fd = Connect(port);
        refused = fd < 0;
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(refused) << "the server still takes connections while stopping";
    store.Hold(false);
    game.join();
    stopper.join();
    EXPECT_TRUE(reply.Has("Connection: close\r\n")) << reply.head;
    EXPECT_NE(std::string::npos, reply.body.find("Hard, 2 hits: rank 1 of 1.")) << reply.body;
}

TEST(ListenSocket, SaysWhyItCannotListenAndTellsThePortChosen) {
    int taken = server::OpenListenSocket("127.0.0.1:0");
    std::string takenAddress = server::ListeningAddress(taken);
    EXPECT_TRUE(std::regex_match(takenAddress, std::regex("127\\.0\\.0\\.1:[1-9][0-9]*")));
    const std::pair<std::string, std::string> cases[] = {
        {takenAddress, "Address already in use"},
        {"8080", "the address is written HOST:PORT, or [IPV6]:PORT"},
        {"[::1]8080", "an IPv6 address is written [ADDRESS]:PORT"},
        {"127.0.0.1:65536", "the port must be a number from 0 to 65535"},
        {"192.0.2.1:0", "Cannot assign requested address"},
    };
    for (const auto& [address, cause] : cases) {
        try {
            close(server::OpenListenSocket(address));
            ADD_FAILURE() << "listening on " << address;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ("Cannot listen on " + address + ": " + cause + ".",
                      std::string(error.what()));
        }
    }
    close(taken);
}

}  // namespace
