#include "service/posix_transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mirvaly {
namespace {

using Clock = std::chrono::steady_clock;
using Outcome = TransportResult::Outcome;

// Waits are cut into slices so that a cancel is noticed quickly.
constexpr int kSliceMs = 50;

std::shared_ptr<const HostLookup> lookUp(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return nullptr;
    auto lookup = std::make_shared<HostLookup>();
    lookup->name = host;
    for (addrinfo* a = found; a; a = a->ai_next) {
        lookup->addresses.push_back(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    }
    freeaddrinfo(found);
    if (lookup->addresses.empty())
        return nullptr;
    return lookup;
}

// Polls one socket for `events` until it is ready, the time is up or a cancel
// arrives. Returns 1 ready, 0 timed out, -1 cancelled or failed.
int waitFor(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& cancel) {
    for (;;) {
        if (cancel.load())
            return -1;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
        if (n > 0)
            return 1;
        if (n < 0 && errno != EINTR)
            return -1;
    }
}

bool setBlocking(int fd, bool blocking) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

class SocketGuard {
public:
    SocketGuard(int fd, std::atomic<int>& out) : m_fd(fd), m_out(out) { m_out = fd; }
    ~SocketGuard() {
        if (m_fd >= 0)
            close(m_fd);
        m_out = TConnectHTTP::kNoSocket;
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
    std::atomic<int>& m_out;
};

}  // namespace

TransportResult PosixTransport::converse(const std::string& host, uint16_t port,
                                         std::string_view request, char* buffer, size_t capacity,
                                         std::atomic<int>& socketOut,
                                         const std::atomic<bool>& cancel) {
    TransportResult result;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return result;  // SocketLayerFailed
    SocketGuard guard(fd, socketOut);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    result.hostEntry = lookUp(host);
    if (result.hostEntry) {
        address.sin_addr.s_addr = result.hostEntry->addresses.front();
    } else if (inet_aton(host.c_str(), &address.sin_addr) == 0) {
        result.outcome = Outcome::LookupFailed;
        return result;
    }

    if (!setBlocking(fd, false))
        return result;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            result.outcome = Outcome::ConnectFailed;
            return result;
        }
        const int ready = waitFor(fd, POLLOUT, Clock::now() + m_connectTimeout, cancel);
        if (ready <= 0) {
            result.outcome = cancel.load() ? Outcome::Cancelled
                             : ready == 0  ? Outcome::ConnectTimedOut
                                           : Outcome::ConnectFailed;
            return result;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            result.outcome = Outcome::ConnectFailed;
            return result;
        }
    }

    // One blocking send: a short count fails the exchange, it is not continued.
    timeval sendTimeout{};
    sendTimeout.tv_sec = static_cast<time_t>(m_receiveTimeout.count() / 1000);
    sendTimeout.tv_usec = static_cast<suseconds_t>(m_receiveTimeout.count() % 1000 * 1000);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    if (!setBlocking(fd, true))
        return result;
    const ssize_t sent = send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    if (sent < 0 || static_cast<size_t>(sent) != request.size()) {
        result.outcome = Outcome::SendIncomplete;
        return result;
    }

    size_t position = 0;
    for (;;) {
        const int ready = waitFor(fd, POLLIN, Clock::now() + m_receiveTimeout, cancel);
        if (ready == 0) {
            result.outcome = Outcome::ReceiveTimedOut;
            return result;
        }
        if (ready < 0) {
            if (cancel.load()) {
                result.outcome = Outcome::Cancelled;
                return result;
            }
            break;  // a failed wait ends the reading like a receive error
        }
        const size_t space = capacity - position;
        const ssize_t n = recv(fd, buffer + position, space, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // closed, or an error whose bytes count as none
        position += static_cast<size_t>(n);
        if (static_cast<size_t>(n) == space)
            break;  // the buffer is full
    }
    result.outcome = Outcome::Received;
    result.received = position;
    return result;
}

}  // namespace mirvaly
