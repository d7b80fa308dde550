#include "server/reference_service.h"

#include <httplib.h>

#include "server/replies.h"

namespace mirvaly::reference {

struct ReferenceService::Impl {
    Catalogue catalogue;
    Log log;
    httplib::Server server;

    void handle(const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        RequestParams params;
        params.id = request.get_param_value("id");
        params.prog = request.get_param_value("prog");
        params.time = request.get_param_value("time");
        if (request.has_file("dkey"))
            params.dkey = request.get_file_value("dkey").content;
        const ServiceReply reply = answer(catalogue, name, params);
        response.status = reply.status;
        // Headers enough to keep the body clear of the first 200 bytes, where
        // the client looks for a proxy's " 407 ".
        response.set_header("Server", "mirvaly-service");
        response.set_header("Cache-Control", "no-cache, no-store, must-revalidate");
        response.set_header("Pragma", "no-cache");
        response.set_content(reply.body, "application/octet-stream");
        if (log) {
            log(name + " from " + request.remote_addr +
                " dkey=" + std::to_string(params.dkey.size()) + " bytes -> " +
                std::to_string(reply.body.size()) + " bytes");
        }
    }
};

ReferenceService::ReferenceService(Catalogue catalogue, Log log)
    : m_impl(std::make_unique<Impl>()) {
    checkRepliesFit(catalogue);
    m_impl->catalogue = std::move(catalogue);
    m_impl->log = std::move(log);
    // The client writes the absolute URI in the request line, with or without
    // a proxy; take the path after any "http://host".
    m_impl->server.Post(R"((?:http://[^/]*)?/(login|getprogram|sokr|newversion)\.php)",
                        [this](const httplib::Request& request, httplib::Response& response) {
                            m_impl->handle(request, response);
                        });
    m_impl->server.set_payload_max_length(16 * 1024 * 1024);
}

ReferenceService::~ReferenceService() {
    stop();
}

int ReferenceService::bind(const std::string& address, int port) {
    if (port == 0)
        return m_impl->server.bind_to_any_port(address.c_str());
    return m_impl->server.bind_to_port(address.c_str(), port) ? port : -1;
}

bool ReferenceService::listen() {
    return m_impl->server.listen_after_bind();
}

void ReferenceService::stop() {
    m_impl->server.stop();
}

bool ReferenceService::isRunning() const {
    return m_impl->server.is_running();
}

}  // namespace mirvaly::reference
