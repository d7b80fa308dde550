#pragma once

// Turns the signals that ask a desktop program to end (SIGTERM from `kill` or
// a session logout, SIGINT from a terminal, SIGHUP when the terminal goes)
// into a call on the user-interface thread, so that the program ends through
// its ordinary close step (commit, configuration, engine shutdown) instead of
// dying or being ignored.
//
// The embedded database engine installs SIGINT and SIGTERM handlers of its
// own when it is first used; they shut the engine down under the open
// attachment (its transaction is lost) and leave the process running. These
// handlers replace the engine's, so they must be installed after the store
// has been opened once. The previous handlers come back when the object goes.
//
// The handler only writes the signal's number into a pipe; a socket notifier
// reads it in the event loop and calls `onSignal` there. One object at a time;
// outside POSIX systems it does nothing.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace mirvaly {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // Throws std::runtime_error when the pipe cannot be made or another
    // object is installed already.
    explicit TerminationSignals(std::function<void(int signal)> onSignal,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
    int m_readFd = -1;
    int m_writeFd = -1;
    struct Previous;
    Previous* m_previous = nullptr;
};

}  // namespace mirvaly
