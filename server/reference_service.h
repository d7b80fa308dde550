#pragma once

// The reference service over HTTP: answers POST /login.php, /getprogram.php,
// /sokr.php and /newversion.php (also when the request line carries the
// absolute URI, as the client always sends it) from a catalogue, with the
// query parameters and the multipart field "dkey" parsed by cpp-httplib.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/catalogue.h"

namespace mirvaly::reference {

class ReferenceService {
public:
    // One line per answered request (request name, client, reply size), for
    // the operator's console; empty to stay quiet.
    using Log = std::function<void(const std::string&)>;

    // Throws CatalogueError for a catalogue some reply of which would not
    // reach the client whole (see checkRepliesFit).
    explicit ReferenceService(Catalogue catalogue, Log log = {});
    ~ReferenceService();
    ReferenceService(const ReferenceService&) = delete;
    ReferenceService& operator=(const ReferenceService&) = delete;

    // Binds to address:port (port 0: a free one) and returns the port, or -1.
    int bind(const std::string& address, int port);
    // Serves until stop(); call after bind(). Returns false when it could not.
    bool listen();
    // Ends listen() from another thread. A stop() before listen() has started
    // serving is lost, so wait for isRunning() first.
    void stop();
    bool isRunning() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvaly::reference
