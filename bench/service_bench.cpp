// Time of one exchange over loopback, request built to reply framed: "login"
// listing 100 programmes, "getprogram" of a 280-item programme (the reference
// service builds its script each time), and a response that fills the receive
// buffer.

#include <benchmark/benchmark.h>

#include <thread>

#include "server/generator.h"
#include "server/reference_service.h"
#include "service/exchange.h"
#include "service/exchange_protocol.h"
#include "service/posix_transport.h"
#include "tests/support/loopback_server.h"

namespace {

using namespace mirvaly;
using namespace mirvaly::reference;

class NoPrompts : public UserPrompts {
public:
    void inform(const std::string&, const std::string&, PromptIcon, bool) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
    PromptAnswer askYesNoCancel(const std::string&, const std::string&) override {
        return PromptAnswer::Cancel;
    }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&,
                                              const std::string&) override {
        return std::nullopt;
    }
    void showError(const std::string&) override {}
};

// 100 channels x 7 days x 40 items, served from a thread for the whole run.
struct Service {
    Service() : catalogue(make()), service(catalogue) {
        port = service.bind("127.0.0.1", 0);
        thread = std::thread([this] { service.listen(); });
        while (!service.isRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~Service() {
        service.stop();
        thread.join();
    }
    static Catalogue make() {
        GeneratorOptions o;
        o.channels = 100;
        o.days = 7;
        o.itemsPerDay = 40;
        o.extras = false;
        o.startYear = 2026, o.startMonth = 12, o.startDay = 7;
        return generateCatalogue(o);
    }
    Catalogue catalogue;
    ReferenceService service;
    int port = 0;
    std::thread thread;
};

Service& service() {
    static Service s;
    return s;
}

void run(benchmark::State& state, TConnectHTTP& record) {
    PosixTransport transport;
    NoPrompts prompts;
    Exchange exchange(transport, prompts, [] {});
    int64_t bytes = 0;
    for (auto _ : state) {
        if (exchange(record) != 1)
            state.SkipWithError("exchange failed");
        bytes += record.ReceivedBytes;
    }
    state.SetBytesProcessed(bytes);
    state.counters["reply_bytes"] = static_cast<double>(record.Reply.size());
}

TConnectHTTP& record(const std::string& host, const std::string& name, const std::string& dkey) {
    static TConnectHTTP r;
    r.Host = host;
    r.RequestName = name;
    r.DKey = dkey;
    r.ProgVersion = "17";
    r.SubscriberId = "demo";
    return r;
}

void BM_LoginListing100Programmes(benchmark::State& state) {
    run(state, record("127.0.0.1:" + std::to_string(service().port), "login", ""));
}
BENCHMARK(BM_LoginListing100Programmes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetprogramOf280Items(benchmark::State& state) {
    const auto& p = service().catalogue.programmes.front();
    run(state,
        record("127.0.0.1:" + std::to_string(service().port), "getprogram", std::to_string(p.key)));
}
BENCHMARK(BM_GetprogramOf280Items)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullReceiveBuffer(benchmark::State& state) {
    std::string response = "HTTP/1.0 200 OK\r\n\r\n" + std::string(protocol::kReplyOpening);
    response.resize(TConnectHTTP::kRecvBufferSize - protocol::kReplyClosing.size(), 'x');
    response += protocol::kReplyClosing;
    test::LoopbackServer server([&](test::LoopbackConnection& c) {
        c.readRequest();
        c.send(response);
    });
    run(state, record(server.hostAndPort(), "getprogram", "1"));
}
BENCHMARK(BM_FullReceiveBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
