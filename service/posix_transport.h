#pragma once

// The Transport over POSIX sockets: IPv4 TCP, a connect that gives up after
// the connect time-out, and reads that give up when no data arrived for the
// receive time-out. The socket is closed before converse() returns.

#include <chrono>

#include "service/transport.h"

namespace mirvaly {

class PosixTransport : public Transport {
public:
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{20000};
    static constexpr std::chrono::milliseconds kDefaultReceiveTimeout{60000};

    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    void setReceiveTimeout(std::chrono::milliseconds timeout) { m_receiveTimeout = timeout; }
    std::chrono::milliseconds connectTimeout() const { return m_connectTimeout; }
    std::chrono::milliseconds receiveTimeout() const { return m_receiveTimeout; }

    TransportResult converse(const std::string& host, uint16_t port, std::string_view request,
                             char* buffer, size_t capacity, std::atomic<int>& socketOut,
                             const std::atomic<bool>& cancel) override;

private:
    std::chrono::milliseconds m_connectTimeout = kDefaultConnectTimeout;
    std::chrono::milliseconds m_receiveTimeout = kDefaultReceiveTimeout;
};

}  // namespace mirvaly
