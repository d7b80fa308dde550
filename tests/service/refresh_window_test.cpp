// The refresh in the main window: the real window and controller over a
// store in a temporary folder and a scripted service on loopback, the event
// loop run offscreen. The timers, the button and the menu items reach the
// flow as in the program.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "app/programme_list_window.h"
#include "app/refresh_controller.h"
#include "common/codec.h"
#include "tests/service/refresh_test_support.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

using namespace std::chrono_literals;
using test::Answer;
using test::programmeRow;

AppSettings settingsFor(const test::ScriptedService& service) {
    AppSettings s;
    s.primaryHost = service.primary();
    s.alternateHost = service.alternate();
    s.connection.host = s.primaryHost;
    s.connection.subscriberId = "demo";
    s.findNewTv = true;
    return s;
}

// Runs the event loop until `done` holds or the time is up.
template <typename Done>
bool spinUntil(Done done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class RefreshWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "refresh_window_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    RefreshWindowTest()
        : settings(settingsFor(service)),
          window(settings, db.db(), prompts),
          controller(settings, db.db(), window, prompts, "/opt/mirvaly/Mirvaly") {
        controller.transport().setConnectTimeout(2s);
        controller.transport().setReceiveTimeout(5s);
        window.setRefreshController(&controller);
        window.start();
        window.startupTimer()->stop();  // no question in these tests
        // Three rules, so that no refresh asks for the standard ones.
        for (int i = 1; i <= 3; ++i)
            db->execute("INSERT INTO SOKR (FIND_TYPE, PRIOR) VALUES ('r', 1)");
        db->commit();
    }

    std::vector<std::string> statusLines() {
        std::vector<std::string> lines;
        auto* box = window.findChild<QComboBox*>(QStringLiteral("StatusBox"));
        for (int i = 0; box && i < box->count(); ++i)
            lines.push_back(box->itemText(i).toStdString());
        return lines;
    }

    test::TempDatabase db;
    test::ScriptedService service;
    test::ScriptedPrompts prompts;
    AppSettings settings;
    ProgrammeListWindow window;
    ServiceRefreshController controller;
};

TEST_F(RefreshWindowTest, AutoCheckRunsAgainAfterAFailedRefresh) {
    service.set("login", Answer("", "", true));
    QTimer* timer = window.autoCheckTimer();
    ASSERT_TRUE(timer->isActive());
    timer->setInterval(30);
    timer->start();

    ASSERT_TRUE(spinUntil([&] { return !prompts.recorded.empty(); }));
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(prompts.recorded[0].text, test::noConnectionText(service.alternate()));
    EXPECT_EQ(settings.connection.host, service.alternate());  // the settings follow the switch

    // The restarted timer checks again, on the other host.
    ASSERT_TRUE(spinUntil([&] { return service.requests().size() >= 2; }));
    timer->stop();
    EXPECT_EQ(service.requests().at(1), "login:");
    EXPECT_EQ(prompts.recorded.at(1).text, test::noConnectionText(service.primary()));
}

TEST_F(RefreshWindowTest, ButtonDuringARefreshIsRefusedAndTheListShowsTheNewProgramme) {
    window.autoCheckTimer()->stop();
    service.set("login", Answer(programmeRow(1, "07.12.2026", cp("Первый"), "TXT")));
    service.set("getprogram:1", Answer("text"));
    auto* button = window.findChild<QToolButton*>(QStringLiteral("SpeedButton1"));
    ASSERT_NE(button, nullptr);
    // Delivered by the refresh's own first pump.
    QTimer::singleShot(0, button, [button] { button->click(); });

    button->click();

    EXPECT_EQ(service.requests(), (std::vector<std::string>{"login:", "getprogram:1"}));
    const std::vector<std::string> lines = statusLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Обновление уже выполняется."), lines.end());
    EXPECT_EQ(lines.back(), "Всего загружено: 1 новых программ.");
    ProgrammeList& list = window.programmeList();
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_TRUE(statusHighlight(list.displayText(0, "STATUS")).highlighted);
    EXPECT_EQ(window.windowTitle().toStdString(),
              "Телепрограммы v. 17.0 | Используется сервер: " + service.alternate() + " порт 80.");
    EXPECT_TRUE(prompts.recorded.empty());

    // The reset from the settings menu empties the list.
    auto* reset = window.findChild<QAction*>(QStringLiteral("Reset1"));
    ASSERT_NE(reset, nullptr);
    reset->trigger();
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(db->query("select count(*) from PROGRAM").rows[0][0].asInteger(), 0);
}

// Closing the window while a refresh waits for the service: the store is
// closed only once the refresh has ended.
TEST_F(RefreshWindowTest, ClosingDuringARefreshClosesAfterIt) {
    window.autoCheckTimer()->stop();
    service.set("login", Answer(programmeRow(1, "07.12.2026", "A", "TXT"), "", false, 1s));
    service.set("getprogram:1", Answer("text"));
    int closed = 0;
    bool runningWhenClosed = true;
    window.setCloseHandler([&] {
        ++closed;
        runningWhenClosed = controller.flow().running();
    });
    window.show();
    QTimer::singleShot(200ms, &window, [&] { window.close(); });

    controller.refresh();
    EXPECT_EQ(closed, 0);
    ASSERT_TRUE(spinUntil([&] { return closed > 0; }));

    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(runningWhenClosed);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{"login:", "getprogram:1"}));
    EXPECT_EQ(db->query("select STATUS from PROGRAM").rows.at(0).at(0).asText(),
              cp("Новая загрузка!"));
}

}  // namespace
}  // namespace mirvaly
