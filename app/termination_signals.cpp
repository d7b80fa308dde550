#include "app/termination_signals.h"

#include <QSocketNotifier>
#include <atomic>
#include <stdexcept>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace mirvaly {

#ifndef _WIN32
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// The write end of the installed object's pipe; -1 when none is installed.
std::atomic<int> g_writeFd{-1};

extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        // A full pipe already holds a pending request; losing this one is fine.
        [[maybe_unused]] ssize_t written = write(fd, &number, 1);
    }
    errno = savedErrno;
}

}  // namespace

struct TerminationSignals::Previous {
    struct sigaction actions[kSignalCount];
};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    if (g_writeFd.load() >= 0)
        throw std::runtime_error("termination signal handlers are installed already");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the signal pipe");
    m_readFd = fds[0];
    m_writeFd = fds[1];
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);

    g_writeFd.store(m_writeFd);
    m_previous = new Previous;
    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction action {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &action, &m_previous->actions[i]);
    }
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &m_previous->actions[i], nullptr);
    delete m_previous;
    g_writeFd.store(-1);
    delete m_notifier;
    close(m_readFd);
    close(m_writeFd);
}

void TerminationSignals::readSignals() {
    unsigned char numbers[16];
    int last = 0;
    ssize_t count;
    while ((count = read(m_readFd, numbers, sizeof numbers)) > 0)
        last = numbers[count - 1];
    // Several signals at once make one request.
    if (last != 0 && m_onSignal)
        m_onSignal(last);
}

#else

struct TerminationSignals::Previous {};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readSignals() {}

#endif

}  // namespace mirvaly
