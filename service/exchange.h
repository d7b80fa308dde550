#pragma once

// The service exchange: one request to the service and its response, with
// everything in the connection record (connect_http.h).
//
//   PosixTransport transport;
//   Exchange exchange(transport, prompts, [] { QCoreApplication::processEvents(); });
//   connection.RequestName = "login";
//   connection.DKey = keys;
//   if (exchange(connection) == -1) { ... tell the user the host is unreachable ... }
//
// Contract:
// - Returns -1 when the exchange failed, 1 when a response arrived and was
//   handled. Failures: a second exchange while one runs on the same record or
//   the same Exchange (nothing is touched, the socket least of all); a proxy
//   port of 2 or more characters that is not a port number (the user is told);
//   a target that neither resolves nor reads as a dotted address; a failed or
//   timed-out connect; a short send; no data within the receive time-out; an
//   empty response; a proxy that asks for credentials (" 407 "); cancel().
// - At its start it clears Reply and ReceivedBytes and rebuilds RequestText.
//   After a result of 1, Reply is the reply script; after a new-version notice
//   RequestName reads "newversion" and Reply is the whole raw response. After
//   the proxy refusal Reply is the raw response; after other failures, empty.
// - The socket work runs on a worker thread. The calling thread waits and,
//   about every 20 ms, calls `pump` so that the window keeps repainting; every
//   prompt (the message block, the proxy refusal, a bad proxy port) is shown on
//   the calling thread after the socket work has ended. An exception thrown by
//   `pump` cancels the socket work and reaches the caller; the exchange is
//   then over and another may start.
// - The transport, the prompts and the record must outlive the call.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

#include "common/user_prompts.h"
#include "service/connect_http.h"
#include "service/transport.h"

namespace mirvaly {

class Exchange {
public:
    using Pump = std::function<void()>;
    using SecondsClock = std::function<int64_t()>;  // seconds since 1970

    Exchange(Transport& transport, UserPrompts& prompts, Pump pump = {});

    int operator()(TConnectHTTP& connection);
    int run(TConnectHTTP& connection) { return (*this)(connection); }

    // Tests fix the time value with this; the default reads the system clock.
    void setClock(SecondsClock clock) { m_clock = std::move(clock); }
    // How often the calling thread pumps while it waits.
    void setPumpInterval(std::chrono::milliseconds interval) { m_pumpInterval = interval; }

    // Ends a running exchange soon as a failure (-1); callable from any thread
    // (the pump included). Does nothing when none runs.
    void cancel() { m_cancel = true; }
    bool running() const { return m_running.load(); }

private:
    int exchange(TConnectHTTP& connection);
    TransportResult converseWhilePumping(TConnectHTTP& connection, const std::string& host,
                                         uint16_t port);

    Transport& m_transport;
    UserPrompts& m_prompts;
    Pump m_pump;
    SecondsClock m_clock;
    std::chrono::milliseconds m_pumpInterval{20};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
};

}  // namespace mirvaly
