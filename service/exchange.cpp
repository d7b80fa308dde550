#include "service/exchange.h"

#include <ctime>
#include <future>

#include "service/exchange_protocol.h"

namespace mirvaly {
namespace {

int64_t systemSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

// Clears the running marks however the exchange ends.
class RunningMark {
public:
    RunningMark(TConnectHTTP& connection, std::atomic<bool>& running)
        : m_connection(connection), m_running(running) {
        m_connection.ExchangeRunning = true;
    }
    ~RunningMark() {
        m_connection.ExchangeRunning = false;
        m_running = false;
    }

private:
    TConnectHTTP& m_connection;
    std::atomic<bool>& m_running;
};

}  // namespace

Exchange::Exchange(Transport& transport, UserPrompts& prompts, Pump pump)
    : m_transport(transport), m_prompts(prompts), m_pump(std::move(pump)), m_clock(systemSeconds) {}

int Exchange::operator()(TConnectHTTP& connection) {
    if (connection.ExchangeRunning)
        return -1;
    if (m_running.exchange(true))
        return -1;
    RunningMark mark(connection, m_running);
    m_cancel = false;
    return exchange(connection);
}

TransportResult Exchange::converseWhilePumping(TConnectHTTP& c, const std::string& host,
                                               uint16_t port) {
    std::atomic<int> socket{TConnectHTTP::kNoSocket};
    auto work = std::async(std::launch::async, [&] {
        return m_transport.converse(host, port, c.RequestText, c.RecvBuffer.get(),
                                    TConnectHTTP::kRecvBufferSize, socket, m_cancel);
    });
    if (m_pump) {
        try {
            while (work.wait_for(m_pumpInterval) != std::future_status::ready) {
                c.Socket = socket.load();
                m_pump();
            }
        } catch (...) {
            // The worker is cut short rather than waited for to the time-outs.
            m_cancel = true;
            work.wait();
            c.Socket = socket.load();
            throw;
        }
    }
    TransportResult result = work.get();
    c.Socket = socket.load();
    return result;
}

int Exchange::exchange(TConnectHTTP& c) {
    c.Reply.clear();
    c.ReceivedBytes = 0;
    const std::string time = protocol::timeValue(m_clock());
    c.RequestText = protocol::buildRequest(c, time);

    const protocol::TargetChoice choice = protocol::chooseTarget(c);
    if (choice.error == protocol::TargetError::BadProxyPort) {
        m_prompts.inform(protocol::badProxyPortText(c.ProxyPort), protocol::badProxyPortCaption(),
                         PromptIcon::Warning, true);
        return -1;
    }

    const TransportResult result = converseWhilePumping(c, choice.target.host, choice.target.port);
    c.HostEntry = result.hostEntry;
    if (result.outcome != TransportResult::Outcome::Received)
        return -1;
    c.ReceivedBytes = static_cast<int32_t>(result.received);
    // A server that closes without a byte has not answered.
    if (result.received == 0)
        return -1;

    protocol::ResponseMeaning meaning =
        protocol::interpretResponse(std::string_view(c.RecvBuffer.get(), result.received));
    if (meaning.kind == protocol::ResponseMeaning::Kind::ProxyRefusal) {
        c.Reply = std::move(meaning.reply);
        m_prompts.inform(protocol::proxyRefusalText(), protocol::proxyRefusalCaption(),
                         PromptIcon::Warning, true);
        return -1;
    }
    if (!meaning.message.empty()) {
        m_prompts.inform(meaning.message, protocol::messageCaption(), PromptIcon::None, true);
    }
    if (meaning.kind == protocol::ResponseMeaning::Kind::NewVersion)
        c.RequestName = "newversion";
    c.Reply = std::move(meaning.reply);
    return 1;
}

}  // namespace mirvaly
