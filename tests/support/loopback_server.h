#pragma once

// A scripted TCP server on 127.0.0.1 for network tests: it listens on a free
// port, accepts connections one after another on its own thread and hands
// each to the test's handler, which reads and answers as the case needs
// (answer in chunks, close at once, stall, act as a proxy ...). Every wait is
// bounded; the destructor stops the thread.
//
// Also a raw client, `rawExchange`, that sends bytes and reads until the peer
// closes, for looking at a server's reply byte for byte.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace mirvaly::test {

using namespace std::chrono_literals;

class LoopbackConnection {
public:
    LoopbackConnection(int fd, const std::atomic<bool>& stopping)
        : m_fd(fd), m_stopping(stopping) {}

    // Reads one HTTP request: the headers and then as many body bytes as its
    // Content-Length says. Returns what arrived by the time limit.
    std::string readRequest(std::chrono::milliseconds limit = 5s);
    // Sends all bytes; false when the peer has gone.
    bool send(std::string_view bytes);
    // Sends the bytes in pieces of `chunk` bytes with a pause after each.
    bool sendInChunks(std::string_view bytes, size_t chunk, std::chrono::milliseconds pause);
    // Holds the connection open without sending until the peer closes it, the
    // server stops or the limit passes. True when the peer closed.
    bool waitForPeerClose(std::chrono::milliseconds limit);
    int fd() const { return m_fd; }

private:
    int m_fd;
    const std::atomic<bool>& m_stopping;
};

class LoopbackServer {
public:
    using Handler = std::function<void(LoopbackConnection&)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const { return m_port; }
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    int accepted() const { return m_accepted.load(); }

    // Handlers may record what they read here; thread-safe.
    void record(std::string request);
    std::vector<std::string> recorded() const;

private:
    void serve();

    Handler m_handler;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_recorded;
    std::thread m_thread;
};

// Connects to 127.0.0.1:port, sends `request` and reads until the peer closes
// or the limit passes. Empty when it cannot connect.
std::string rawExchange(uint16_t port, std::string_view request,
                        std::chrono::milliseconds limit = 10s);

}  // namespace mirvaly::test
