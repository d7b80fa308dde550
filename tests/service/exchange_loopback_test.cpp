// The exchange over real loopback sockets against scripted servers.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "common/codec.h"
#include "service/exchange.h"
#include "service/exchange_protocol.h"
#include "service/posix_transport.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_prompts.h"

namespace mirvaly {
namespace {

using namespace std::chrono_literals;
using test::LoopbackConnection;
using test::LoopbackServer;
using test::RecordedPrompt;

const std::string kOpen(protocol::kReplyOpening);
const std::string kClose(protocol::kReplyClosing);
constexpr int64_t kFixedTime = 1765432107;  // K = 7

std::string okResponse(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

// Prompts that also note whether each one came on the thread that ran the test.
class ThreadCheckingPrompts : public test::ScriptedPrompts {
public:
    std::thread::id expected = std::this_thread::get_id();
    bool allOnCallingThread = true;
    void inform(const std::string& text, const std::string& caption, PromptIcon icon,
                bool topmost) override {
        if (std::this_thread::get_id() != expected)
            allOnCallingThread = false;
        ScriptedPrompts::inform(text, caption, icon, topmost);
    }
};

class ExchangeLoopback : public ::testing::Test {
protected:
    ExchangeLoopback() : exchange(transport, prompts, [this] { ++pumps; }) {
        transport.setConnectTimeout(2s);
        transport.setReceiveTimeout(3s);
        exchange.setClock([] { return kFixedTime; });
        record.RequestName = "login";
        record.ProgVersion = "17";
        record.SubscriberId = "demo";
    }

    PosixTransport transport;
    ThreadCheckingPrompts prompts;
    int pumps = 0;
    Exchange exchange;
    TConnectHTTP record;
};

TEST_F(ExchangeLoopback, SendsTheRequestBytesAndFramesTheReply) {
    const std::string response =
        okResponse(kOpen + "\r\nINSERT INTO X VALUES (1);\r\n" + kClose + "\r\n");
    LoopbackServer server([&](LoopbackConnection& c) {
        server.record(c.readRequest());
        c.send(response);
    });
    record.Host = server.hostAndPort();
    record.DKey = "1700000000,1700000005";

    ASSERT_EQ(exchange(record), 1);
    ASSERT_EQ(server.recorded().size(), 1u);
    EXPECT_EQ(server.recorded()[0], protocol::buildRequest(record, "1765432107"));
    EXPECT_EQ(record.RequestText, server.recorded()[0]);
    EXPECT_EQ(record.Reply, "\r\nINSERT INTO X VALUES (1);\r\n");
    EXPECT_EQ(record.ReceivedBytes, static_cast<int32_t>(response.size()));
    EXPECT_EQ(record.Socket, TConnectHTTP::kNoSocket);
    ASSERT_NE(record.HostEntry, nullptr);
    EXPECT_EQ(record.HostEntry->name, "127.0.0.1");
    EXPECT_EQ(record.RequestName, "login");
    EXPECT_TRUE(prompts.recorded.empty());
}

TEST_F(ExchangeLoopback, ServerClosingWithoutAnswerFails) {
    LoopbackServer server([&](LoopbackConnection& c) { c.readRequest(); });
    record.Host = server.hostAndPort();
    record.Reply = "left over";
    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(record.Reply, "");
    EXPECT_EQ(record.ReceivedBytes, 0);
    EXPECT_EQ(server.accepted(), 1);
}

TEST_F(ExchangeLoopback, ManySmallChunksArriveWholeWhileThePumpRuns) {
    std::string script;
    for (int i = 0; i < 200; ++i)
        script += "INSERT INTO T VALUES (" + std::to_string(i) + ");\r\n";
    const std::string response = okResponse(kOpen + script + kClose);
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.sendInChunks(response, 97, 2ms);
    });
    record.Host = server.hostAndPort();
    ASSERT_EQ(exchange(record), 1);
    EXPECT_EQ(record.Reply, script);
    EXPECT_EQ(record.ReceivedBytes, static_cast<int32_t>(response.size()));
    EXPECT_GT(pumps, 0);
}

TEST_F(ExchangeLoopback, ResponseIsCutAtTheBufferSize) {
    // A closing marker inside the first 2,048,000 bytes and another past them:
    // the cut leaves only the first, so the script ends there.
    std::string response = okResponse(kOpen + "PAYLOAD" + kClose);
    response.resize(TConnectHTTP::kRecvBufferSize + 50000, 'z');
    response += kClose;
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.send(response);
        c.waitForPeerClose(5s);
    });
    record.Host = server.hostAndPort();
    ASSERT_EQ(exchange(record), 1);
    EXPECT_EQ(record.ReceivedBytes, static_cast<int32_t>(TConnectHTTP::kRecvBufferSize));
    EXPECT_EQ(record.Reply, "PAYLOAD");
}

TEST_F(ExchangeLoopback, ExactlyBufferSizeEndsReadingWithoutWaitingForClose) {
    std::string response = okResponse(kOpen + "P" + kClose);
    response.resize(TConnectHTTP::kRecvBufferSize, ' ');
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.send(response);
        c.waitForPeerClose(10s);  // longer than the receive time-out
    });
    record.Host = server.hostAndPort();
    transport.setReceiveTimeout(2s);
    ASSERT_EQ(exchange(record), 1);
    EXPECT_EQ(record.ReceivedBytes, static_cast<int32_t>(TConnectHTTP::kRecvBufferSize));
    EXPECT_EQ(record.Reply, "P");
}

TEST_F(ExchangeLoopback, StallPastTheReceiveTimeoutFails) {
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.send("HTTP/1.0 200 OK\r\n");  // some bytes, then silence
        c.waitForPeerClose(10s);
    });
    record.Host = server.hostAndPort();
    transport.setReceiveTimeout(300ms);
    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(record.Reply, "");
    EXPECT_EQ(record.Socket, TConnectHTTP::kNoSocket);
}

TEST_F(ExchangeLoopback, CancelFromThePumpEndsARunningExchange) {
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.waitForPeerClose(10s);
    });
    int cancellingPumps = 0;
    Exchange* self = nullptr;
    Exchange cancelling(transport, prompts, [&] {
        if (++cancellingPumps == 5)
            self->cancel();
    });
    self = &cancelling;
    record.Host = server.hostAndPort();
    transport.setReceiveTimeout(20s);
    EXPECT_EQ(cancelling(record), -1);
    EXPECT_GE(cancellingPumps, 5);
}

TEST_F(ExchangeLoopback, ExceptionFromThePumpEndsTheExchangeAndReachesTheCaller) {
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        if (server.accepted() == 1) {
            c.waitForPeerClose(10s);
        } else {
            c.send(okResponse(kOpen + "again" + kClose));
        }
    });
    record.Host = server.hostAndPort();
    transport.setReceiveTimeout(20s);
    Exchange throwing(transport, prompts, [] { throw std::runtime_error("window closed"); });
    EXPECT_THROW(throwing(record), std::runtime_error);
    EXPECT_FALSE(record.ExchangeRunning);
    EXPECT_EQ(record.Socket, TConnectHTTP::kNoSocket);
    EXPECT_EQ(exchange(record), 1);
    EXPECT_EQ(record.Reply, "again");
}

// A listener that never accepts, its queue filled by a few connects: the
// kernel leaves any further connect to it unanswered.
class UnansweredListener {
public:
    UnansweredListener() {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_listener, 0) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_fillers.push_back(fd);
        }
        std::this_thread::sleep_for(100ms);  // let the handshakes that can complete do so
    }
    ~UnansweredListener() {
        for (int fd : m_fillers)
            close(fd);
        close(m_listener);
    }
    uint16_t port = 0;

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
};

TEST_F(ExchangeLoopback, ConnectPastTheConnectTimeoutFails) {
    UnansweredListener listener;
    transport.setConnectTimeout(300ms);
    std::atomic<int> socket{TConnectHTTP::kNoSocket};
    std::atomic<bool> cancel{false};
    const TransportResult result =
        transport.converse("127.0.0.1", listener.port, "x", record.RecvBuffer.get(),
                           TConnectHTTP::kRecvBufferSize, socket, cancel);
    EXPECT_EQ(result.outcome, TransportResult::Outcome::ConnectTimedOut);
    EXPECT_EQ(socket.load(), TConnectHTTP::kNoSocket);

    record.Host = "127.0.0.1:" + std::to_string(listener.port);
    record.Reply = "left over";
    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(record.Reply, "");
    EXPECT_TRUE(prompts.recorded.empty());
}

TEST_F(ExchangeLoopback, RefusedConnectionFails) {
    uint16_t port = 0;
    {
        LoopbackServer gone([](LoopbackConnection&) {});
        port = gone.port();
    }
    record.Host = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(exchange(record), -1);
    EXPECT_TRUE(prompts.recorded.empty());
}

TEST_F(ExchangeLoopback, UnresolvableEmptyHostFails) {
    record.Host = "";
    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(record.HostEntry, nullptr);
}

TEST_F(ExchangeLoopback, BadProxyPortIsNotAttempted) {
    LoopbackServer server([](LoopbackConnection& c) { c.readRequest(); });
    record.Host = server.hostAndPort();
    record.ProxyHost = "127.0.0.1";
    record.ProxyPort = "31x8";
    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(server.accepted(), 0);
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_NE(prompts.recorded[0].text.find(cp("Настройка соединения")), std::string::npos);
}

TEST_F(ExchangeLoopback, MessageBlockAndNewVersionNotice) {
    const std::string message = cp("Уважаемый абонент! Вышла новая версия программы.");
    const std::string response =
        okResponse("MsG>" + message + "<MsG" + kOpen + "\r\nSELECT 1;\r\n" + kClose);
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        c.send(response);
    });
    record.Host = server.hostAndPort();
    ASSERT_EQ(exchange(record), 1);
    EXPECT_EQ(record.RequestName, "newversion");
    EXPECT_EQ(record.Reply, response);
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].text, message);
    EXPECT_EQ(prompts.recorded[0].caption, cp("Сообщение."));
    EXPECT_EQ(prompts.recorded[0].icon, PromptIcon::None);
    EXPECT_TRUE(prompts.allOnCallingThread);
}

TEST_F(ExchangeLoopback, NestedExchangeFromThePumpIsRefused) {
    LoopbackServer server([&](LoopbackConnection& c) {
        c.readRequest();
        std::this_thread::sleep_for(200ms);
        c.send(okResponse(kOpen + "R" + kClose));
    });
    record.Host = server.hostAndPort();
    int nestedSame = 0, nestedOther = 0;
    TConnectHTTP other;
    other.Host = server.hostAndPort();
    Exchange outer(transport, prompts, [&] {
        if (nestedSame == 0)
            nestedSame = outer(other) == -1 ? 1 : 2;  // same Exchange
        Exchange second(transport, prompts);
        if (nestedOther == 0)
            nestedOther = second(record) == -1 ? 1 : 2;  // same record
    });
    ASSERT_EQ(outer(record), 1);
    EXPECT_EQ(record.Reply, "R");
    EXPECT_EQ(nestedSame, 1);
    EXPECT_EQ(nestedOther, 1);
    EXPECT_EQ(server.accepted(), 1);
    EXPECT_FALSE(record.ExchangeRunning);
    // Once the outer one is done, exchanges run again.
    EXPECT_EQ(outer(record), 1);
}

// A scripted proxy: it answers 407 unless the request carries the expected
// Proxy-Authorization line, and otherwise checks the absolute URI and relays
// the request to the upstream server.
struct ScriptedProxy {
    explicit ScriptedProxy(uint16_t upstreamPort, std::string credentials)
        : server([this, upstreamPort, credentials](LoopbackConnection& c) {
              const std::string request = c.readRequest();
              server.record(request);
              if (request.find("\r\nProxy-Authorization: Basic " + protocol::base64(credentials) +
                               "\r\n") == std::string::npos) {
                  c.send(
                      "HTTP/1.0 407 Proxy Authentication Required\r\n"
                      "Proxy-Authenticate: Basic realm=\"office\"\r\n\r\nMsG>no<MsG");
                  return;
              }
              const std::string expectedStart =
                  "POST http://127.0.0.1:" + std::to_string(upstreamPort) + "/";
              if (request.rfind(expectedStart, 0) != 0) {
                  c.send("HTTP/1.0 400 Bad Request\r\n\r\n");
                  return;
              }
              c.send(test::rawExchange(upstreamPort, request, 5s));
          }) {}
    LoopbackServer server;
};

TEST_F(ExchangeLoopback, ThroughAProxyWithBasicAuthentication) {
    LoopbackServer upstream([&](LoopbackConnection& c) {
        upstream.record(c.readRequest());
        c.send(okResponse(kOpen + "VIA PROXY" + kClose));
    });
    ScriptedProxy proxy(upstream.port(), cp("оператор") + ":pa:ss");
    record.Host = upstream.hostAndPort();
    record.ProxyHost = "127.0.0.1";
    record.ProxyPort = std::to_string(proxy.server.port());
    record.ProxyUser = cp("оператор");
    record.ProxyPassword = "pa:ss";

    ASSERT_EQ(exchange(record), 1);
    EXPECT_EQ(record.Reply, "VIA PROXY");
    ASSERT_EQ(upstream.recorded().size(), 1u);
    EXPECT_EQ(upstream.recorded()[0], record.RequestText);
    EXPECT_TRUE(prompts.recorded.empty());
}

TEST_F(ExchangeLoopback, ProxyAskingForCredentialsFailsWithTheBox) {
    LoopbackServer upstream([](LoopbackConnection& c) { c.readRequest(); });
    ScriptedProxy proxy(upstream.port(), "user:right");
    record.Host = upstream.hostAndPort();
    record.ProxyHost = "127.0.0.1";
    record.ProxyPort = std::to_string(proxy.server.port());
    record.ProxyUser = "user";
    record.ProxyPassword = "wrong";

    EXPECT_EQ(exchange(record), -1);
    EXPECT_EQ(record.Reply.rfind("HTTP/1.0 407 ", 0), 0u);  // the raw response is kept
    ASSERT_EQ(prompts.recorded.size(), 1u);                 // and no message block is shown
    EXPECT_EQ(prompts.recorded[0].caption, cp("Авторизация прокси-сервера."));
    EXPECT_EQ(prompts.recorded[0].text.rfind(
                  cp("Ваш прокси требует ввести имя пользователя и пароль"), 0),
              0u);
    EXPECT_EQ(upstream.accepted(), 0);
}

}  // namespace
}  // namespace mirvaly
