#pragma once

// The connection record: every input and output of one request to the service.
// The main window creates one at start and keeps it for the whole run; the
// exchange (exchange.h) reads the request fields and fills the reply fields.
//
// All text fields are Windows-1251 bytes and start empty. The receive buffer
// is allocated once by the constructor, owned by the record and reused by
// every exchange.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mirvaly {

// What a host-name lookup found: the name that was looked up and its IPv4
// addresses (network byte order), first one first.
struct HostLookup {
    std::string name;
    std::vector<uint32_t> addresses;
};

struct TConnectHTTP {
    static constexpr size_t kRecvBufferSize = 2048000;
    static constexpr int kNoSocket = -1;

    TConnectHTTP();
    TConnectHTTP(const TConnectHTTP&) = delete;
    TConnectHTTP& operator=(const TConnectHTTP&) = delete;

    // Service host, "name" or "name:port"; URL host, "Host:" and "Referer:".
    std::string Host;
    // The URL path is "/" + RequestName + ".php"; the exchange sets it to
    // "newversion" when the service announces a new version.
    std::string RequestName;
    std::string ProgVersion;  // query parameter `prog`
    std::string ProxyHost;    // used when it has 2 or more characters
    std::string ProxyPort;    // used when it has 2 or more characters
    std::string ProxyPassword;
    std::string ProxyUser;    // when not empty, a Proxy-Authorization line is sent
    std::string RequestText;  // the complete request of the last exchange
    std::string SubscriberId;
    std::string DKey;                    // value of the form field "dkey"
    std::unique_ptr<char[]> RecvBuffer;  // kRecvBufferSize bytes
    std::string Reply;                   // after an exchange: the reply script (any bytes)
    int32_t ReceivedBytes = 0;           // bytes received by the last exchange
    // The socket of the exchange while it runs; the exchange closes it before
    // returning, and then this reads kNoSocket again.
    int Socket = kNoSocket;
    // The last successful host-name lookup (a dotted address resolves too);
    // null when the last target could not be resolved.
    std::shared_ptr<const HostLookup> HostEntry;

    // True while an exchange runs on this record; a second exchange asked for
    // meanwhile (from a timer or a click dispatched by the pump) is refused.
    bool ExchangeRunning = false;
};

}  // namespace mirvaly
