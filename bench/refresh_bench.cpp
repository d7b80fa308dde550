// One refresh from a running service into a store, without windows, with its
// time split into the exchanges, the execution of reply scripts and the
// commits. bench/refresh.sh starts the reference service and compares the
// figures with isql-fb running the same scripts.
//
//   refresh_bench --host 127.0.0.1:PORT --store PATH [--scripts FILE]
//
// --store   an existing, empty store (mirvaly-db create PATH)
// --commit-interval-ms  how long fetched programmes may wait for their
//           commit (the program's default unless given; 0: after each)
// --scripts writes the login script and every item script as received,
//           each up to its first zero byte, followed by COMMIT, for isql-fb
//
// Prints "name: value" lines; exits with 1 when the refresh did not complete.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "service/exchange.h"
#include "service/posix_transport.h"
#include "service/refresh_flow.h"
#include "service/reply_script.h"
#include "store/database.h"

using namespace mirvaly;

namespace {

// No windows: messages go to standard error, questions are answered Yes.
class ConsolePrompts : public UserPrompts {
public:
    void inform(const std::string& text, const std::string&, PromptIcon, bool) override {
        std::cerr << "message: " << text.size() << " bytes\n";
    }
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    PromptAnswer askYesNoCancel(const std::string&, const std::string&) override {
        return PromptAnswer::Yes;
    }
    std::optional<std::string> chooseSaveFile(const std::string&, const std::string&,
                                              const std::string&) override {
        return std::nullopt;
    }
    void showError(const std::string& text) override {
        std::cerr << "error: " << text << "\n";
        ++errors;
    }
    int errors = 0;
};

class CountingStatus : public StatusLog {
public:
    void clear() override {}
    void addLine(const std::string&) override { ++lines; }
    int lines = 0;
};

// The list of a window nobody sees.
class NoList : public RefreshListView {
public:
    void savePosition() override {}
    void closeList() override {}
    void refilter() override {}
    void restorePosition() override {}
    void setWindowTitle(const std::string&) override {}
    std::optional<ListedProgramme> currentProgramme() const override { return std::nullopt; }
    void showCurrentStatus(const std::string&) override {}
    void storeCurrentText(const std::string&) override {}
};

const char* option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const char* host = option(argc, argv, "--host");
    const char* store = option(argc, argv, "--store");
    const char* scriptsPath = option(argc, argv, "--scripts");
    if (!host || !store) {
        std::cerr << "usage: refresh_bench --host HOST:PORT --store PATH [--scripts FILE]\n";
        return 2;
    }
    int result = 1;
    try {
        std::unique_ptr<Database> db = Database::open(store);
        ConsolePrompts prompts;
        CountingStatus status;
        NoList list;
        PosixTransport transport;
        Exchange exchange(transport, prompts);
        TConnectHTTP record;
        record.ProgVersion = "17";
        record.SubscriberId = "demo";
        std::string scripts;
        RefreshContext context{*db,
                               record,
                               [&](TConnectHTTP& c) {
                                   const int r = exchange(c);
                                   if (scriptsPath && r == 1 &&
                                       (c.RequestName == "login" || c.RequestName == "getprogram"))
                                       scripts += replyText(c.Reply);
                                   return r;
                               },
                               prompts,
                               status,
                               list,
                               {host, host}};
        if (const char* interval = option(argc, argv, "--commit-interval-ms"))
            context.commitInterval = std::chrono::milliseconds(std::atoi(interval));
        RefreshFlow flow(context);

        const auto start = std::chrono::steady_clock::now();
        const RefreshFlow::Outcome outcome = flow.refresh();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const RefreshTimings& t = flow.timings();
        const int64_t items = db->query("select count(*) from P").rows.at(0).at(0).asInteger();
        const int64_t programmes =
            db->query("select count(*) from PROGRAM where STATUS is not null")
                .rows.at(0)
                .at(0)
                .asInteger();
        db->close();

        std::printf("programmes fetched: %lld\n", static_cast<long long>(programmes));
        std::printf("items stored: %lld\n", static_cast<long long>(items));
        std::printf("exchanges: %d\n", t.exchanges);
        std::printf("refresh wall: %.3f s\n", wall);
        std::printf("  exchange: %.3f s\n", t.exchangeSeconds);
        std::printf("  script execution: %.3f s\n", t.scriptSeconds);
        std::printf("  commits: %.3f s (%d)\n", t.commitSeconds, t.commits);
        std::printf("  other: %.3f s\n",
                    wall - t.exchangeSeconds - t.scriptSeconds - t.commitSeconds);
        if (scriptsPath) {
            std::ofstream out(scriptsPath, std::ios::binary);
            out << scripts << "\r\nCOMMIT;\r\n";
        }
        result = outcome == RefreshFlow::Outcome::Completed && prompts.errors == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "refresh_bench: " << e.what() << "\n";
    }
    shutdownDatabaseEngine();
    return result;
}
