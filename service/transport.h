#pragma once

// The network seam of the exchange: one TCP conversation, request out,
// response in. The exchange calls it on a worker thread, so an implementation
// must not touch windows or prompts; it may be called again only after the
// previous call returned.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "service/connect_http.h"

namespace mirvaly {

struct TransportResult {
    enum class Outcome {
        Received,  // the response is in the buffer (perhaps 0 bytes)
        SocketLayerFailed,
        LookupFailed,  // neither a resolvable name nor a dotted address
        ConnectFailed,
        ConnectTimedOut,
        SendIncomplete,   // the one send reported fewer bytes than the request has
        ReceiveTimedOut,  // no data for longer than the receive time-out
        Cancelled,
    };
    Outcome outcome = Outcome::SocketLayerFailed;
    size_t received = 0;                          // bytes placed in the buffer
    std::shared_ptr<const HostLookup> hostEntry;  // the name lookup, if one succeeded
};

class Transport {
public:
    virtual ~Transport() = default;

    // Connects to host:port (a name is looked up first, then the text is read
    // as a dotted IPv4 address), sends `request` in one send, and receives into
    // buffer[0, capacity) until the peer closes, a receive fails, or the buffer
    // is full. A receive error ends the reading like a close: what came before
    // it counts. `socketOut` holds the socket while it is open. `cancel`, when
    // set by another thread, ends the call soon with Cancelled.
    virtual TransportResult converse(const std::string& host, uint16_t port,
                                     std::string_view request, char* buffer, size_t capacity,
                                     std::atomic<int>& socketOut,
                                     const std::atomic<bool>& cancel) = 0;
};

}  // namespace mirvaly
