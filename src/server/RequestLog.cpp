#include "server/RequestLog.h"

#include <unistd.h>

#include <cerrno>

#include "server/PageText.h"
#include "shared/QueryText.h"

namespace server {

namespace {

// Printable ASCII stays; anything else (a line break, a terminal's escape)
// becomes %XX, so a request cannot forge or garble log lines.
std::string Printable(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string printable;
    printable.reserve(text.size());
    for (unsigned char c : text) {
        if (c > ' ' && c < 0x7F) {
            printable += static_cast<char>(c);
        } else {
            printable += '%';
            printable += kHex[c >> 4];
            printable += kHex[c & 0x0F];
        }
    }
    return printable;
}

std::string Cut(std::string text, size_t most) {
    if (text.size() > most) {
        text.resize(most);
        text += "...";
    }
    return text;
}

}  // namespace

std::string LoggedTarget(const std::string& target) {
    size_t mark = target.find('?');
    std::string logged = target.substr(0, mark);
    if (mark != std::string::npos) {
        logged += '?';
        size_t start = mark + 1;
        for (;;) {
            size_t end = target.find('&', start);
            std::string pair = target.substr(start, end == std::string::npos ? end : end - start);
            std::string key = pair.substr(0, pair.find('='));
            logged += PercentDecode(key) == "name" ? "name=-" : pair;
            if (end == std::string::npos) {
                break;
            }
            logged += '&';
            start = end + 1;
        }
    }
    return Cut(Printable(logged), kMaxLoggedTarget);
}

std::string RequestLogLine(int64_t wallSeconds, const std::string& client,
                           const std::string& method, const std::string& target, int status,
                           int64_t microseconds, const std::string& note) {
    std::string line = UtcTimestamp(wallSeconds) + " " + Printable(client) + " " +
                       Cut(Printable(method), 16) + " " + LoggedTarget(target) + " " +
                       (status > 0 ? std::to_string(status) : std::string("-")) + " " +
                       std::to_string(microseconds) + "us";
    if (!note.empty()) {
        std::string oneLine;
        for (char c : note) {
            oneLine += c == '\n' || c == '\r' ? ' ' : c;
        }
        line += " (" + Cut(oneLine, 300) + ")";
    }
    return line;
}

RequestLog::RequestLog(int fd, size_t maxQueued)
    : m_fd(fd), m_maxQueued(maxQueued), m_writer([this] { Run(); }) {}

RequestLog::~RequestLog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

void RequestLog::Write(std::string line) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_lines.size() >= m_maxQueued) {
            ++m_dropped;
            return;
        }
        m_lines.push_back(std::move(line));
    }
    m_wake.notify_one();
}

void RequestLog::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_lines.empty() || m_dropped > 0; });
        if (m_lines.empty() && m_dropped == 0) {
            return;  // stopping, and everything written
        }
        std::deque<std::string> lines;
        lines.swap(m_lines);
        uint64_t dropped = m_dropped;
        m_dropped = 0;
        lock.unlock();
        std::string text;
        for (const std::string& line : lines) {
            text += line;
            text += '\n';
        }
        if (dropped > 0) {
            text += std::to_string(dropped) + " log lines dropped: standard error was too slow\n";
        }
        for (size_t done = 0; done < text.size();) {
            ssize_t count = ::write(m_fd, text.data() + done, text.size() - done);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;  // nowhere to write to: the lines are lost, the server goes on
            }
            done += static_cast<size_t>(count);
        }
        lock.lock();
    }
}

}  // namespace server
