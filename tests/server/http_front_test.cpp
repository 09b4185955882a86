// The ranking server over real sockets on 127.0.0.1: the game's own
// HTTP/1.0 request, keep-alive, the statuses, a crowd of idle connections,
// the listening address and a stop with a request in flight.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <thread>

#include "FakeServices.h"
#include "MemoryScoreStore.h"
#include "http/PageLines.h"
#include "platform/net/CurlHttpClient.h"
#include "ranking/SendScore.h"
#include "server/HttpFront.h"
#include "server/ListenSocket.h"
#include "server/RankingSite.h"
#include "server/RequestLog.h"

namespace {

struct Reply {
    std::string head;  // status line and header lines
    std::string body;
    int Status() const { return head.size() > 12 ? std::atoi(head.c_str() + 9) : 0; }
};

int Connect(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
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
    while ((end = text.find("\r\n\r\n")) == std::string::npos) {
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            return Reply{text, ""};
        }
        text.append(buffer, static_cast<size_t>(count));
    }
    Reply reply{text.substr(0, end + 2), text.substr(end + 4)};
    size_t at = reply.head.find("Content-Length: ");
    size_t length = head || at == std::string::npos ? 0 : std::stoul(reply.head.substr(at + 16));
    while (reply.body.size() < length) {
        ssize_t count = recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0) {
            break;
        }
        reply.body.append(buffer, static_cast<size_t>(count));
    }
    return reply;
}

std::string GameReads(const std::string& body) {
    std::vector<std::string> lines;
    PageLineSplitter splitter(lines);
    splitter.Feed(body.data(), body.size());
    splitter.Finish();
    return ReadScoreAnswer(lines);
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

    // Everything logged, once the server has stopped.
    std::string LogText() {
        front.Stop(std::chrono::seconds(5));
        log.reset();
        std::string text;
        rewind(logFile);
        char buffer[4096];
        for (size_t count; (count = fread(buffer, 1, sizeof buffer, logFile)) > 0;) {
            text.append(buffer, count);
        }
        return text;
    }

    MemoryScoreStore store;
    server::RankingSite site{store, 2};
    FILE* logFile = tmpfile();
    std::unique_ptr<server::RequestLog> log = std::make_unique<server::RequestLog>(fileno(logFile));
    server::HttpFront front{site, *log};
    std::string address;
    int port = 0;
};

TEST_F(Front, RegistersTheGamesHttp10Request) {
    Reply reply = Exchange(GameRequest("aria=Sri%20Lanka&name=K+e%2Bl&mode=0&level=3&score=2"));
    EXPECT_EQ(200, reply.Status()) << reply.head;
    EXPECT_NE(std::string::npos, reply.head.find("\r\nContent-Type: text/html; charset=utf-8\r\n"));
    EXPECT_EQ("Thank you, K+e+l.\nHard, 2 hits: rank 1 of 1.\r\n", GameReads(reply.body));
    ASSERT_EQ(1u, store.Count());
    EXPECT_EQ("K+e+l", store.All()[0].name);
    EXPECT_EQ("Sri Lanka", store.All()[0].area);

    std::string logText = LogText();
    EXPECT_TRUE(std::regex_search(
        logText, std::regex("(^|\n)\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ 127\\.0\\.0\\.1 GET "
                            "/game/zankoru/GameSet\\.asp\\?aria=Sri%20Lanka&name=-&mode=0&"
                            "level=3&score=2 200 \\d+us\\n")))
        << logText;
    EXPECT_EQ(std::string::npos, logText.find("K+e"));
}

TEST_F(Front, TheGameSendsItsScoreThroughCurl) {
    setenv("no_proxy", "127.0.0.1", 1);
    setenv("ZANKORUC_RANKING_HOST", address.c_str(), 1);
    platform::CurlHttpClient http;
    ScriptedDialogs dialogs;
    EXPECT_EQ("Thank you, 剣士.\nNormal, 5 hits: rank 1 of 1.\r\n",
              SendScore(http, dialogs, "Antigua and Barbuda", "剣士", 2, 5));
    ASSERT_EQ(1u, store.Count());
    EXPECT_EQ("Antigua and Barbuda", store.All()[0].area);
}

TEST_F(Front, KeepsAnHttp11ConnectionForTheNextRequest) {
    int fd = Connect(port);
    for (const char* path : {"/healthz", "/game/zankoru/GameResult.asp", "/healthz"}) {
        std::string request =
            std::string("GET ") + path + " HTTP/1.1\r\nHost: " + address + "\r\n\r\n";
        ASSERT_EQ(static_cast<ssize_t>(request.size()),
                  send(fd, request.data(), request.size(), MSG_NOSIGNAL));
        Reply reply = ReadReply(fd);
        EXPECT_EQ(200, reply.Status()) << path;
    }
    close(fd);
}

TEST_F(Front, AnswersEachStatusWithItsHeaders) {
    struct Case {
        std::string request;
        int status;
        std::string header;
    };
    const std::string close = " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    const Case cases[] = {
        {"GET /game/zankoru/GameSet.asp?level=9&score=1" + close, 400,
         "Content-Type: text/html; charset=utf-8"},
        {"GET /game/zankoru/GameSet.asp?level=1&score=1&x=" + std::string(3000, 'x') + close, 400,
         "Cache-Control: no-store"},
        {"GET /api/v1/scores?level=1" + close, 200,
         "Content-Type: application/json; charset=utf-8"},
        {"GET /api/v1/scores" + close, 400, "Content-Type: application/json; charset=utf-8"},
        {"HEAD /game/zankoru/GameResult.asp" + close, 200,
         "Content-Type: text/html; charset=utf-8"},
        {"GET /game/zankoru/GameResult.asp?aria=Atlantis" + close, 400,
         "X-Content-Type-Options: nosniff"},
        {"GET /nowhere" + close, 404, "Content-Type: text/html; charset=utf-8"},
        {"POST /healthz HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\nConnection: close\r\n\r\nabc",
         405, "Allow: GET, HEAD"},
        {"DELETE /game/zankoru/GameSet.asp" + close, 405, "Allow: GET"},
        {"GET /" + std::string(20000, 'a') + close, 414, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request.substr(0, 60));
        Reply reply = Exchange(c.request);
        EXPECT_EQ(c.status, reply.Status()) << reply.head;
        EXPECT_NE(std::string::npos, reply.head.find("\r\n" + c.header)) << reply.head;
    }
    EXPECT_EQ(0u, store.Count());
}

TEST_F(Front, RefusesTheThirdScoreOfTheMinuteAndFailsHealthWithTheDatabase) {
    std::string request = GameRequest("aria=Japan&name=Kel&mode=0&level=1&score=3");
    EXPECT_EQ(200, Exchange(request).Status());
    EXPECT_EQ(200, Exchange(request).Status());
    Reply refused = Exchange(request);
    EXPECT_EQ(429, refused.Status());
    EXPECT_NE(std::string::npos, refused.head.find("\r\nRetry-After: 60\r\n"));
    EXPECT_EQ(2u, store.Count());

    EXPECT_EQ(200, Exchange("GET /healthz HTTP/1.0\r\n\r\n").Status());
    store.answering = false;
    Reply down = Exchange("GET /healthz HTTP/1.0\r\n\r\n");
    EXPECT_EQ(503, down.Status());
}

TEST_F(Front, AnswersQuicklyWhileAThousandIdleConnectionsAreOpen) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2500) {
        GTEST_SKIP() << "the open-file limit is too low for 1,100 connections each way";
    }
    std::vector<int> idle;
    for (int i = 0; i < 1100; ++i) {
        int fd = Connect(port);
        ASSERT_GE(fd, 0) << i;
        idle.push_back(fd);
    }
    // Every one of them is still open: the server has not dropped any.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 4; ++i) {
        auto start = std::chrono::steady_clock::now();
        Reply reply = Exchange(
            "GET /game/zankoru/GameResult.asp HTTP/1.1\r\nHost: x\r\n"
            "Connection: close\r\n\r\n");
        EXPECT_EQ(200, reply.Status());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    int dropped = 0;
    for (int fd : idle) {
        char byte;
        dropped += recv(fd, &byte, 1, MSG_DONTWAIT) == 0 ? 1 : 0;
        close(fd);
    }
    EXPECT_EQ(0, dropped);
}

TEST_F(Front, StopLetsTheRequestInFlightFinish) {
    store.Hold();
    Reply reply;
    std::thread game([&] { reply = Exchange(GameRequest("aria=UK&name=Kel&level=3&score=2")); });
    store.WaitForAdd();
    std::thread stopper([&] { front.Stop(std::chrono::seconds(10)); });
    bool refused = false;
    for (int i = 0; i < 300 && !refused; ++i) {
        int fd = Connect(port);
        refused = fd < 0;
        if (fd >= 0) {
            close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_TRUE(refused) << "the server still takes connections while stopping";
    store.Release();
    game.join();
    stopper.join();
    EXPECT_EQ(200, reply.Status());
    EXPECT_NE(std::string::npos, reply.head.find("\r\nConnection: close\r\n")) << reply.head;
    EXPECT_EQ("Thank you, Kel.\nHard, 2 hits: rank 1 of 1.\r\n", GameReads(reply.body));
}

TEST(ListenSocket, SaysWhyItCannotListen) {
    int taken = server::OpenListenSocket("127.0.0.1:0");
    std::string takenAddress = server::ListeningAddress(taken);
    const std::pair<std::string, std::string> cases[] = {
        {takenAddress, "Address already in use"},
        {"8080", "the address is written HOST:PORT, or [IPV6]:PORT"},
        {"::1:8080", "the address is written HOST:PORT, or [IPV6]:PORT"},
        {"[::1]8080", "an IPv6 address is written [ADDRESS]:PORT"},
        {"127.0.0.1:65536", "the port must be a number from 0 to 65535"},
        {"127.0.0.1:http", "the port must be a number from 0 to 65535"},
        {"127.0.0.1:", "the port must be a number from 0 to 65535"},
        {"192.0.2.1:0", "Cannot assign requested address"},
    };
    for (const auto& [address, cause] : cases) {
        SCOPED_TRACE(address);
        try {
            close(server::OpenListenSocket(address));
            ADD_FAILURE() << "listening";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ("Cannot listen on " + address + ": " + cause + ".",
                      std::string(error.what()));
        }
    }
    close(taken);
}

TEST(ListenSocket, TellsThePortTheSystemChose) {
    for (const char* address : {"127.0.0.1:0", "[::1]:0", "localhost:0"}) {
        SCOPED_TRACE(address);
        int fd;
        try {
            fd = server::OpenListenSocket(address);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ('[', address[0]) << error.what();  // a machine may lack IPv6
            continue;
        }
        std::string listening = server::ListeningAddress(fd);
        std::string host = listening.substr(0, listening.rfind(':'));
        EXPECT_TRUE(host == "127.0.0.1" || host == "[::1]") << listening;
        EXPECT_GT(std::stoi(listening.substr(listening.rfind(':') + 1)), 0);
        close(fd);
    }
}

}  // namespace
