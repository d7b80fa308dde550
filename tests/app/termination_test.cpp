// Termination signals: in this process, where a raised signal must become a
// call in the event loop, and in a real Mirvaly started on a store of its
// own, which must end through its close step when it is signalled.

#include <unistd.h>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/qsettings_config_store.h"
#include "app/termination_signals.h"
#include "app_fixtures.h"
#include "store/schema.h"

using namespace mirvaly;
using namespace mirvaly::test;

namespace {

namespace fs = std::filesystem;

int g_markerCalls = 0;
extern "C" void markerHandler(int) {
    ++g_markerCalls;
}

// Whether the process catches `signal` (its SigCgt mask in /proc).
bool catches(qint64 pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return mask & (1ULL << (signal - 1));
        }
    }
    return false;
}

}  // namespace

class TerminationTest : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { shutdownDatabaseEngine(); }

    void signalBecomesACallInTheEventLoop_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void signalBecomesACallInTheEventLoop() {
        QFETCH(int, signal);
        struct sigaction marker {
        }, previous{};
        marker.sa_handler = markerHandler;
        sigemptyset(&marker.sa_mask);
        sigaction(signal, &marker, &previous);
        g_markerCalls = 0;
        {
            std::vector<int> received;
            TerminationSignals handlers([&](int s) { received.push_back(s); });
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, TerminationSignals([](int) {}));
            raise(signal);
            // Not in the handler itself: only once the event loop runs.
            QVERIFY(received.empty());
            QTRY_COMPARE(received, std::vector<int>{signal});
            QCOMPARE(g_markerCalls, 0);
        }
        // The handler that was there before comes back.
        raise(signal);
        QCOMPARE(g_markerCalls, 1);
        sigaction(signal, &previous, nullptr);
    }

    void signalledProgramEndsThroughItsCloseStep_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("SIGTERM") << SIGTERM << 0;
        QTest::newRow("SIGINT") << SIGINT << 0;
        QTest::newRow("SIGHUP") << SIGHUP << 0;
        // Two seconds in, the start-up prompt's question is open.
        QTest::newRow("SIGTERM with the start-up question open") << SIGTERM << 2000;
    }

    void signalledProgramEndsThroughItsCloseStep() {
        QFETCH(int, signal);
        QFETCH(int, waitMs);
        TempFolder folder;
        createStore(folder / "OSL.gdb")->close();
        // A name of its own, so that no other Mirvaly running on this machine
        // counts as a second instance.
        static int run = 0;
        const std::string program = folder / ("mirvaly-signal-test-" + std::to_string(getpid()) +
                                              "-" + std::to_string(++run));
        fs::copy_file(MIRVALY_EXECUTABLE, program);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder / "xdg"));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(QString::fromStdString(folder.path()));
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QString::fromStdString(program), {});
        QVERIFY(child.waitForStarted(10000));
        // The engine catches SIGTERM too, but nothing before Mirvaly's own
        // handlers catches SIGHUP.
        QTRY_VERIFY_WITH_TIMEOUT(
            catches(child.processId(), SIGHUP) || child.state() == QProcess::NotRunning, 30000);
        QCOMPARE(child.state(), QProcess::Running);
        if (waitMs)
            QTest::qWait(waitMs);
        ::kill(static_cast<pid_t>(child.processId()), signal);
        const bool finished = child.waitForFinished(30000);
        if (!finished) {
            child.kill();
            child.waitForFinished(5000);
        }
        QVERIFY2(finished, "still running after the signal");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);

        // The close step wrote the configuration, which did not exist before.
        QSettingsConfigStore written(QString::fromStdString(folder / "xdg/Ostrelo.conf"));
        QCOMPARE(written.readString("FileFormat"), std::optional<std::string>("0"));
        QCOMPARE(written.readInteger("ShiftTimeAuto"), std::optional<int>(1));
        QCOMPARE(written.readInteger("FindNewTv"), std::optional<int>(0));
    }
};

QTEST_GUILESS_MAIN(TerminationTest)
#include "termination_test.moc"
