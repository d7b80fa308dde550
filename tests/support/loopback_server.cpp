#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace mirvaly::test {
namespace {

using Clock = std::chrono::steady_clock;

int pollOne(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, ms);
    return n < 0 && errno == EINTR ? 0 : n;
}

size_t contentLength(const std::string& headers) {
    static const std::string kName = "content-length:";
    std::string lower = headers;
    for (char& c : lower)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find(kName);
    if (at == std::string::npos)
        return 0;
    return std::stoul(headers.substr(at + kName.size()));
}

}  // namespace

std::string LoopbackConnection::readRequest(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::string data;
    char buffer[65536];
    while (Clock::now() < deadline && !m_stopping) {
        const size_t end = data.find("\r\n\r\n");
        if (end != std::string::npos && data.size() >= end + 4 + contentLength(data.substr(0, end)))
            break;
        if (pollOne(m_fd, POLLIN, 20) <= 0)
            continue;
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

bool LoopbackConnection::send(std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool LoopbackConnection::sendInChunks(std::string_view bytes, size_t chunk,
                                      std::chrono::milliseconds pause) {
    for (size_t at = 0; at < bytes.size(); at += chunk) {
        if (m_stopping || !send(bytes.substr(at, chunk)))
            return false;
        std::this_thread::sleep_for(pause);
    }
    return true;
}

bool LoopbackConnection::waitForPeerClose(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    char buffer[4096];
    while (Clock::now() < deadline && !m_stopping) {
        if (pollOne(m_fd, POLLIN, 20) <= 0)
            continue;
        if (recv(m_fd, buffer, sizeof buffer, 0) <= 0)
            return true;
    }
    return false;
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listenFd, 16) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("LoopbackServer: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer() {
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        close(m_listenFd);
}

void LoopbackServer::serve() {
    while (!m_stopping) {
        if (pollOne(m_listenFd, POLLIN, 20) <= 0)
            continue;
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_accepted;
        LoopbackConnection connection(fd, m_stopping);
        m_handler(connection);
        close(fd);
    }
}

void LoopbackServer::record(std::string request) {
    std::lock_guard lock(m_mutex);
    m_recorded.push_back(std::move(request));
}

std::vector<std::string> LoopbackServer::recorded() const {
    std::lock_guard lock(m_mutex);
    return m_recorded;
}

std::string rawExchange(uint16_t port, std::string_view request, std::chrono::milliseconds limit) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::string response;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::atomic<bool> never{false};
        LoopbackConnection connection(fd, never);
        connection.send(request);
        const auto deadline = Clock::now() + limit;
        char buffer[65536];
        while (Clock::now() < deadline) {
            if (pollOne(fd, POLLIN, 20) <= 0)
                continue;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            response.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    return response;
}

}  // namespace mirvaly::test
