// mirvaly-service: the reference service, and the generator of its catalogues.
//
//   mirvaly-service --catalogue DIR [--listen 127.0.0.1] [--port 8080] [--quiet]
//   mirvaly-service generate DIR [--channels N] [--days D] [--seed S]
//                   [--subscriber ID] [--items-per-day N] [--items N]
//                   [--start dd.mm.yyyy] [--no-extras]

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "common/codec.h"
#include "server/catalogue.h"
#include "server/generator.h"
#include "server/reference_service.h"

using namespace mirvaly;
using namespace mirvaly::reference;

namespace {

int usage() {
    std::cerr << "usage:\n"
                 "  mirvaly-service --catalogue DIR [--listen 127.0.0.1] [--port 8080] [--quiet]\n"
                 "  mirvaly-service generate DIR [--channels N] [--days D] [--seed S]\n"
                 "                  [--subscriber ID] [--items-per-day N] [--items N]\n"
                 "                  [--start dd.mm.yyyy] [--no-extras]\n";
    return 2;
}

bool toInt(const std::string& text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 1000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

int generate(const std::vector<std::string>& args) {
    if (args.empty())
        return usage();
    GeneratorOptions o;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int n = 0;
        if (a == "--no-extras") {
            o.extras = false;
        } else if (!hasValue) {
            return usage();
        } else if (a == "--subscriber") {
            o.subscriber = utf8ToCp1251(args[++i]);
        } else if (a == "--start") {
            const std::string& d = args[++i];
            if (std::sscanf(d.c_str(), "%d.%d.%d", &o.startDay, &o.startMonth, &o.startYear) != 3)
                return usage();
        } else if (!toInt(args[i + 1], n)) {
            return usage();
        } else if (a == "--channels") {
            o.channels = n, ++i;
        } else if (a == "--days") {
            o.days = n, ++i;
        } else if (a == "--seed") {
            o.seed = static_cast<uint32_t>(n), ++i;
        } else if (a == "--items-per-day") {
            o.itemsPerDay = n, ++i;
        } else if (a == "--items") {
            o.itemsPerProgramme = n, ++i;
        } else {
            return usage();
        }
    }
    const Catalogue catalogue = generateCatalogue(o);
    saveCatalogue(catalogue, args[0]);
    size_t items = 0;
    for (const auto& p : catalogue.programmes)
        items += p.items.size();
    std::cout << "wrote " << catalogue.programmes.size() << " programmes, " << items << " items to "
              << args[0] << "\n";
    return 0;
}

int serve(const std::vector<std::string>& args) {
    std::string folder, address = "127.0.0.1";
    int port = 8080;
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--quiet") {
            quiet = true;
        } else if (i + 1 >= args.size()) {
            return usage();
        } else if (a == "--catalogue") {
            folder = args[++i];
        } else if (a == "--listen") {
            address = args[++i];
        } else if (a == "--port") {
            if (!toInt(args[++i], port) || port > 65535)
                return usage();
        } else {
            return usage();
        }
    }
    if (folder.empty())
        return usage();
    Catalogue catalogue = loadCatalogue(folder);
    const size_t programmes = catalogue.programmes.size();
    ReferenceService::Log log;
    if (!quiet)
        log = [](const std::string& line) { std::cerr << line << std::endl; };
    ReferenceService service(std::move(catalogue), log);
    const int bound = service.bind(address, port);
    if (bound < 0) {
        std::cerr << "cannot listen on " << address << ":" << port << "\n";
        return 1;
    }
    // SIGINT and SIGTERM are taken by a thread of their own, which stops the
    // server outside any signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        if (signal != SIGUSR1)
            service.stop();
    });
    std::cout << "mirvaly-service: " << programmes << " programmes, listening on " << address << ":"
              << bound << std::endl;
    const bool served = service.listen();
    // Wake the stopper when the server ended for another reason.
    pthread_kill(stopper.native_handle(), SIGUSR1);
    stopper.join();
    return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (!args.empty() && args[0] == "generate") {
            return generate(std::vector<std::string>(args.begin() + 1, args.end()));
        }
        return serve(args);
    } catch (const std::exception& e) {
        std::cerr << "mirvaly-service: " << e.what() << "\n";
        return 1;
    }
}
