// The refresh, the re-fetch and the reset against a real store in a temporary
// folder, over real loopback sockets: a scripted service for the replies a
// case needs, the reference service for a whole catalogue.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "app/refresh_controller.h"
#include "common/codec.h"
#include "server/generator.h"
#include "server/reference_service.h"
#include "service/exchange.h"
#include "service/exchange_protocol.h"
#include "service/posix_transport.h"
#include "service/refresh_flow.h"
#include "tests/service/refresh_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

using namespace std::chrono_literals;
using test::LoopbackConnection;
using test::LoopbackServer;
using test::RecordedPrompt;
using Outcome = RefreshFlow::Outcome;
using test::itemRow;
using test::ListHost;
using test::noConnectionText;
using test::programmeRow;
using test::RecordingStatus;
using test::ScriptedService;

// Prompts that first run `beforeShowing`: a test rolls the transaction back
// there, as if the program ended while the box is up, to see what a box
// finds committed.
class PromptsWithHook : public test::ScriptedPrompts {
public:
    std::function<void()> beforeShowing;

    void inform(const std::string& text, const std::string& caption, PromptIcon icon,
                bool topmost) override {
        if (beforeShowing)
            beforeShowing();
        ScriptedPrompts::inform(text, caption, icon, topmost);
    }
    void showError(const std::string& text) override {
        if (beforeShowing)
            beforeShowing();
        ScriptedPrompts::showError(text);
    }
};

// Three abbreviation rules, so that the refresh does not ask for "sokr".
void fillThreeRules(Database& db) {
    for (int i = 1; i <= 3; ++i)
        db.execute("INSERT INTO SOKR (FIND_TYPE, PRIOR) VALUES ('r" + std::to_string(i) + "', " +
                   std::to_string(i) + ")");
    db.commit();
}

// A whole refresh over a store and a scripted service of its own, for table
// tests that start each case afresh.
struct FreshRefresh {
    FreshRefresh() {
        transport.setConnectTimeout(2s);
        transport.setReceiveTimeout(5s);
        connection.ProgVersion = "17";
    }

    test::TempDatabase store;
    ScriptedService server;
    PromptsWithHook shown;
    RecordingStatus log;
    ListHost listHost{store.db(), log};
    ProgrammeListRefreshView listView{listHost};
    PosixTransport transport;
    TConnectHTTP connection;
    Exchange ex{transport, shown};
    RefreshFlow sync{RefreshContext{store.db(),
                                    connection,
                                    [this](TConnectHTTP& r) { return ex(r); },
                                    shown,
                                    log,
                                    listView,
                                    {server.primary(), server.alternate()}}};
};

class RefreshFlowTest : public ::testing::Test {
protected:
    RefreshFlowTest()
        : host(db.db(), status),
          view(host),
          exchange(transport, prompts, [this] { pump(); }),
          flow(RefreshContext{db.db(),
                              record,
                              [this](TConnectHTTP& c) { return exchange(c); },
                              prompts,
                              status,
                              view,
                              {service.primary(), service.alternate()},
                              [this] { pump(); },
                              {},
                              [this] { ++selfUpdates; }}) {
        transport.setConnectTimeout(2s);
        transport.setReceiveTimeout(5s);
        record.ProgVersion = "17";
        record.SubscriberId = "demo";
        record.Host = service.primary();
    }

    void pump() {
        ++pumps;
        if (onPump)
            onPump();
    }

    void fillRules() { fillThreeRules(db.db()); }

    int64_t count(const std::string& sql) { return db->query(sql).rows.at(0).at(0).asInteger(); }
    Value status_of(int64_t key) {
        return db->query("select STATUS from PROGRAM where DATEKEY = " + std::to_string(key))
            .rows.at(0)
            .at(0);
    }
    std::vector<std::string> items(int64_t key) {
        std::vector<std::string> titles;
        for (const Row& r :
             db->query("select TEXT from P where DATEKEY = " + std::to_string(key) + " order by ID")
                 .rows)
            titles.push_back(r.at(0).asText());
        return titles;
    }
    std::vector<RecordedPrompt> errors() const {
        std::vector<RecordedPrompt> out;
        for (const RecordedPrompt& p : prompts.recorded)
            if (p.kind == RecordedPrompt::Kind::Error)
                out.push_back(p);
        return out;
    }

    test::TempDatabase db;
    ScriptedService service;
    PromptsWithHook prompts;
    RecordingStatus status;
    ListHost host;
    ProgrammeListRefreshView view;
    PosixTransport transport;
    TConnectHTTP record;
    Exchange exchange;
    int pumps = 0;
    int selfUpdates = 0;
    std::function<void()> onPump;
    RefreshFlow flow;
};

TEST_F(RefreshFlowTest, EmptyStoreSendsEmptyKeysAsksForRulesAndFetchesEverything) {
    service.set("login", {programmeRow(100, "07.12.2026", cp("Первый"), "TAB") +
                          programmeRow(300, "08.12.2026", "TV3", "TXT")});
    service.set("sokr", {"\r\nINSERT INTO SOKR (FIND_TYPE, PRIOR) VALUES ('a', 1);\r\n"});
    service.set("getprogram:100", {itemRow(100, "A") + itemRow(100, "B")});
    service.set("getprogram:300", {cp("Текст")});

    EXPECT_EQ(flow.refresh(), Outcome::Completed);

    const std::vector<std::string> expectedRequests = {"login:", "sokr:", "getprogram:100",
                                                       "getprogram:300"};
    auto requests = service.requests();
    std::sort(requests.begin() + 2, requests.end());  // the fetch order is the engine's
    EXPECT_EQ(requests, expectedRequests);
    EXPECT_EQ(record.Host, service.alternate());
    EXPECT_EQ(host.title, cp("Телепрограммы v. 17.0 | Используется сервер: ") +
                              service.alternate() + cp(" порт 80."));
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].text, cp("Созданы макросы в редакторе сокращенного варианта."));
    EXPECT_EQ(prompts.recorded[0].caption, cp("Восстановлена пустая таблица данных!"));
    EXPECT_EQ(items(100), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(status_of(100).asText(), cp("Новая загрузка!"));
    EXPECT_EQ(status_of(300).asText(), cp("Новая загрузка!"));
    EXPECT_EQ(status.lines.front(), cp("Запрос списка новых поступлений."));
    EXPECT_EQ(status.lines.back(), cp("Всего загружено: 2 новых программ."));
    EXPECT_EQ(status.progress.front(), std::make_pair(0, 2));
    EXPECT_EQ(status.progress.back(), std::make_pair(0, 0));
    // The list was re-read after the full commits closed it.
    EXPECT_TRUE(host.list.isOpen());
    EXPECT_EQ(host.list.selectedDate(), "08.12.2026");

    // The next login names what the store holds, ascending, and SOKR (one
    // rule) is still short of three: the rules are asked for again.
    prompts.recorded.clear();
    service.set("login", {""});
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    requests = service.requests();
    EXPECT_EQ(requests.at(4), "login:100,300");
    EXPECT_EQ(requests.at(5), "sokr:");
    EXPECT_EQ(requests.size(), 6u);
    EXPECT_EQ(record.Host, service.primary());
    EXPECT_EQ(prompts.recorded.size(), 1u);
}

TEST_F(RefreshFlowTest, EmptyRuleReplyStillShowsTheMessage) {
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    EXPECT_EQ(service.requests(), (std::vector<std::string>{"login:", "sokr:"}));
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].caption, cp("Восстановлена пустая таблица данных!"));
    EXPECT_EQ(status.lines.back(), cp("Всего загружено: 0 новых программ."));
}

TEST_F(RefreshFlowTest, EmptyReplyLeavesTheProgrammeForTheNextRefresh) {
    fillRules();
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TAB") +
                          programmeRow(2, "07.12.2026", "B", "TAB") +
                          programmeRow(3, "09.12.2026", "C", "TAB", "P")});
    // Fetched in the order the engine delivers: the answers follow that order.
    const auto order = [&] {
        std::vector<int64_t> keys;
        db->execute(programmeRow(1, "07.12.2026", "A", "TAB"));
        db->execute(programmeRow(2, "07.12.2026", "B", "TAB"));
        db->execute(programmeRow(3, "09.12.2026", "C", "TAB", "P"));
        for (const Row& r : db->query("select DATEKEY from PROGRAM where STATUS is NULL").rows)
            keys.push_back(r.at(0).asInteger());
        db->rollback();
        return keys;
    }();
    ASSERT_EQ(order.size(), 3u);
    const std::string k[] = {std::to_string(order[0]), std::to_string(order[1]),
                             std::to_string(order[2])};
    service.set("getprogram:" + k[0], {itemRow(order[0], "one")});
    service.set("getprogram:" + k[1], {""});
    service.set("getprogram:" + k[2], {itemRow(order[2], "three") + itemRow(order[2], "four")});

    EXPECT_EQ(flow.refresh(), Outcome::Completed);

    auto line = [&](int n, int64_t key) {
        const std::string channel = key == 1 ? "A" : key == 2 ? "B" : "C";
        const std::string date = key == 3 ? "09.12.2026" : "07.12.2026";
        const std::string variant = key == 3 ? "P" : "R";
        const size_t size = (key == 1 ? itemRow(1, "one").size()
                                      : (itemRow(3, "three") + itemRow(3, "four")).size());
        return std::to_string(n) + cp(") Загружено - эфир с: ") + date + cp(" Программа: ") +
               channel + cp(" вариант - ") + variant + cp(" Размер: ") + std::to_string(size);
    };
    const std::vector<std::string> expected = {cp("Запрос списка новых поступлений."),
                                               line(1, order[0]), line(2, order[2]),
                                               cp("Всего загружено: 2 новых программ.")};
    EXPECT_EQ(status.lines, expected);
    EXPECT_TRUE(status_of(order[1]).isNull());
    EXPECT_EQ(status_of(order[0]).asText(), cp("Новая загрузка!"));
    EXPECT_EQ(status_of(order[2]).asText(), cp("Новая загрузка!"));

    // The next refresh asks for that programme alone.
    service.set("login", {""});
    service.set("getprogram:" + k[1], {itemRow(order[1], "late")});
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    EXPECT_EQ(service.requests().back(), "getprogram:" + k[1]);
    EXPECT_EQ(items(order[1]), std::vector<std::string>{"late"});
}

TEST_F(RefreshFlowTest, TextAndFileContentIsStoredWholeWithZeroBytes) {
    fillRules();
    const std::string text = cp("Первая строка\r\n") + std::string("\0\0tail\xff", 7);
    const std::string file = std::string("{\\rtf1\0\x01\x02\0", 10) + "}";
    service.set("login", {programmeRow(10, "07.12.2026", "T", "TXT") +
                          programmeRow(20, "07.12.2026", "F", "FIL")});
    service.set("getprogram:10", {text});
    service.set("getprogram:20", {file});

    EXPECT_EQ(flow.refresh(), Outcome::Completed);

    auto stored = [&](int64_t key) {
        return db->query("select TEXT from PROGRAM where DATEKEY = " + std::to_string(key))
            .rows.at(0)
            .at(0)
            .asText();
    };
    EXPECT_EQ(stored(10), text);
    EXPECT_EQ(stored(20), file);
    int sized = 0;
    for (const std::string& l : status.lines) {
        if (l.find(cp("Программа: T ")) != std::string::npos) {
            EXPECT_TRUE(l.ends_with(cp("Размер: ") + std::to_string(text.size())));
            ++sized;
        }
        if (l.find(cp("Программа: F ")) != std::string::npos) {
            EXPECT_TRUE(l.ends_with(cp("Размер: ") + std::to_string(file.size())));
            ++sized;
        }
    }
    EXPECT_EQ(sized, 2);
}

// A script is executed as text, up to its first zero byte, and stops silently
// at a statement it does not know ("--" among them) or at CREATE DATABASE.
TEST_F(RefreshFlowTest, ReplyScriptsStopWhereTheRunnerStops) {
    struct Case {
        const char* name;
        std::string login;
        std::vector<int64_t> stored;
    };
    const std::string creation =
        "CREATE DATABASE '" + db.folder() + "/other.gdb' USER 'SYSDBA' PASSWORD 'wintercap';\r\n";
    const std::vector<Case> cases = {
        {"line comment first",
         "-- the new programmes\r\n" + programmeRow(1, "07.12.2026", "A", "TAB"),
         {}},
        {"comment after a row",
         programmeRow(1, "07.12.2026", "A", "TAB") + "-- more\r\n" +
             programmeRow(2, "07.12.2026", "B", "TAB"),
         {1}},
        {"zero byte",
         programmeRow(1, "07.12.2026", "A", "TAB") + std::string(1, '\0') +
             programmeRow(2, "07.12.2026", "B", "TAB"),
         {1}},
        {"create database",
         programmeRow(1, "07.12.2026", "A", "TAB") + creation +
             programmeRow(2, "07.12.2026", "B", "TAB"),
         {1}},
        {"lone CR line ends",
         "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT)\rVALUES (5, "
         "'07.12.2026', 'A', 'R');\r",
         {5}},
    };
    fillRules();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db->execute("delete from PROGRAM");
        db->commit();
        service.set("login", {c.login});
        EXPECT_EQ(flow.refresh(), Outcome::Completed);
        std::vector<int64_t> keys;
        for (const Row& r : db->query("select DATEKEY from PROGRAM order by DATEKEY").rows)
            keys.push_back(r.at(0).asInteger());
        EXPECT_EQ(keys, c.stored);
        EXPECT_TRUE(errors().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(db.folder() + "/other.gdb"));
    EXPECT_TRUE(db->isOpen());
}

TEST_F(RefreshFlowTest, ListCursorReturnsToItsRowNumber) {
    fillRules();
    for (int key = 1; key <= 7; ++key)
        db->execute(programmeRow(key, "07.12.2026", "C" + std::to_string(key), "TAB"));
    db->execute(cp("update PROGRAM set STATUS = 'Просмотрен.'"));
    db->commit();
    host.list.filter();
    host.list.setCurrentRow(4);  // the fifth row
    service.set("login", {programmeRow(50, "07.12.2026", "New", "TAB") +
                          programmeRow(60, "07.12.2026", "Newer", "TAB")});
    service.set("getprogram", {""});

    EXPECT_EQ(flow.refresh(), Outcome::Completed);

    EXPECT_EQ(host.list.rowCount(), 9);
    EXPECT_EQ(host.list.currentRow(), 4);
    EXPECT_EQ(host.list.key(4), 5);  // newest first: 60, 50, 7, 6, 5 ...
}

// A lost connection at each stage: what is left and what is shown.
TEST_F(RefreshFlowTest, LostConnectionAtEachStage) {
    struct Case {
        const char* name;
        bool rulesPresent;
        std::string dropped;
        Outcome outcome;
        int64_t programmes;
        int64_t fetched;
        bool summary;
    };
    const std::vector<Case> cases = {
        {"login", true, "login", Outcome::NoConnection, 0, 0, false},
        {"sokr", false, "sokr", Outcome::NoConnection, 2, 0, false},
        {"getprogram", true, "getprogram:2", Outcome::Completed, 2, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRefresh rig;
        auto& [store, server, shown, log, listHost, listView, transport, connection, ex, sync] =
            rig;
        shown.beforeShowing = [&] { store->rollback(); };
        if (c.rulesPresent)
            fillThreeRules(store.db());
        // A new table gives its rows in the order they went in: key 1 is
        // fetched, then key 2 loses the line.
        server.set("login", {programmeRow(1, "07.12.2026", "A", "TXT") +
                             programmeRow(2, "07.12.2026", "B", "TXT")});
        server.set("getprogram", {"content"});
        server.set(c.dropped, {"", "", true});

        EXPECT_EQ(sync.refresh(), c.outcome);
        store->rollback();  // what the refresh kept is committed already

        ASSERT_FALSE(shown.recorded.empty());
        EXPECT_EQ(shown.recorded.back().text, noConnectionText(connection.Host));
        EXPECT_EQ(shown.recorded.back().caption, cp("Нет соединения с сервером!"));
        EXPECT_EQ(store->query("select count(*) from PROGRAM").rows[0][0].asInteger(),
                  c.programmes);
        EXPECT_EQ(store->query("select count(*) from PROGRAM where STATUS is not null")
                      .rows[0][0]
                      .asInteger(),
                  c.fetched);
        EXPECT_TRUE(
            store->query("select STATUS from PROGRAM where DATEKEY = 2").rows.empty() ||
            store->query("select STATUS from PROGRAM where DATEKEY = 2").rows[0][0].isNull());
        EXPECT_EQ(!log.lines.empty() && log.lines.back().starts_with(cp("Всего загружено: ")),
                  c.summary);
        EXPECT_EQ(listHost.refilters, c.summary ? 1 : 0);
    }
}

// The mended fault: a rejected item script leaves its programme as it was
// (no status, the old items still there), the earlier ones fetched.
TEST_F(RefreshFlowTest, RejectedItemScriptLeavesThatProgrammeUnfetched) {
    fillRules();
    db->execute(programmeRow(1, "07.12.2026", "A", "TAB"));
    db->execute(programmeRow(2, "07.12.2026", "B", "TAB"));
    db->execute(programmeRow(3, "07.12.2026", "C", "TAB"));
    db->execute(itemRow(2, "old item"));
    db->commit();
    std::vector<int64_t> order;
    for (const Row& r : db->query("select DATEKEY from PROGRAM where STATUS is NULL").rows)
        order.push_back(r.at(0).asInteger());
    const int64_t bad = order.at(1);
    for (int64_t key : order)
        service.set("getprogram:" + std::to_string(key),
                    {itemRow(key, "new " + std::to_string(key))});
    // Its first item goes in, the second names a programme that does not exist.
    service.set("getprogram:" + std::to_string(bad),
                {itemRow(bad, "half") + itemRow(999, "orphan")});

    // What was fetched before is committed by the time the error shows.
    prompts.beforeShowing = [&] { db->rollback(); };
    EXPECT_EQ(flow.refresh(), Outcome::ScriptRejected);
    prompts.beforeShowing = nullptr;
    db->rollback();

    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].text.find("FK_P_2"), std::string::npos) << errors()[0].text;
    EXPECT_EQ(status_of(order[0]).asText(), cp("Новая загрузка!"));
    EXPECT_TRUE(status_of(bad).isNull());
    EXPECT_TRUE(status_of(order[2]).isNull());  // the refresh ended there
    EXPECT_EQ(items(order[0]), std::vector<std::string>{"new " + std::to_string(order[0])});
    EXPECT_EQ(items(bad),
              bad == 2 ? std::vector<std::string>{"old item"} : std::vector<std::string>{});
    EXPECT_FALSE(status.lines.back().starts_with(cp("Всего загружено: ")));
    EXPECT_EQ(host.refilters, 0);

    // The next refresh fetches the programme again.
    service.set("getprogram:" + std::to_string(bad), {itemRow(bad, "fixed")});
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    EXPECT_EQ(items(bad), std::vector<std::string>{"fixed"});
    EXPECT_EQ(status_of(bad).asText(), cp("Новая загрузка!"));
}

// A script that ends the application transaction itself (COMMIT or ROLLBACK
// with nothing after it) leaves its step nothing to commit: the refresh ends
// there with an error, as for a rejected statement. What was fetched before
// stays; a data statement after the COMMIT starts a new transaction and the
// refresh goes on.
TEST(RefreshScriptEndingTheTransaction, EndsTheRefreshUnlessDataFollows) {
    struct Case {
        const char* name;
        std::string loginTail;  // after the two programmes of the login script
        std::string items;      // the reply for the item programme 2
        Outcome outcome;
        std::vector<std::string> requests;
        bool secondFetched;
        std::vector<std::string> secondItems;
    };
    const std::vector<Case> cases = {
        {"login commits",
         "COMMIT;\r\n",
         itemRow(2, "x"),
         Outcome::ScriptRejected,
         {"login:"},
         false,
         {}},
        {"item script rolls back",
         "",
         itemRow(2, "gone") + "ROLLBACK;\r\n",
         Outcome::ScriptRejected,
         {"login:", "getprogram:1", "getprogram:2"},
         false,
         {}},
        {"data after the commit",
         "",
         itemRow(2, "kept") + "COMMIT;\r\n" + itemRow(2, "after"),
         Outcome::Completed,
         {"login:", "getprogram:1", "getprogram:2"},
         true,
         {"kept", "after"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshRefresh rig;
        auto& [store, server, shown, log, listHost, listView, transport, connection, ex, sync] =
            rig;
        fillThreeRules(store.db());
        listHost.list.filter();
        // A new table gives its rows in the order they went in: the text
        // programme 1 is fetched before the item programme 2.
        server.set("login", {programmeRow(1, "07.12.2026", "A", "TXT") +
                             programmeRow(2, "07.12.2026", "B", "TAB") + c.loginTail});
        server.set("getprogram:1", {"text"});
        server.set("getprogram:2", {c.items});

        EXPECT_EQ(sync.refresh(), c.outcome);
        store->rollback();  // what the refresh kept is committed already

        EXPECT_EQ(server.requests(), c.requests);
        const bool rejected = c.outcome == Outcome::ScriptRejected;
        ASSERT_EQ(shown.recorded.size(), rejected ? 1u : 0u);
        if (rejected) {
            EXPECT_EQ(shown.recorded[0].kind, RecordedPrompt::Kind::Error);
            EXPECT_EQ(shown.recorded[0].text,
                      cp("Сценарий ответа сервера сам завершил транзакцию: подтверждать "
                         "нечего. Обновление прервано."));
            EXPECT_FALSE(listHost.list.isOpen());  // the script's own commit closed it
        }
        EXPECT_EQ(listHost.refilters, rejected ? 0 : 1);
        const QueryResult programmes =
            store->query("select DATEKEY, STATUS from PROGRAM order by DATEKEY");
        ASSERT_EQ(programmes.rows.size(), 2u);
        EXPECT_EQ(programmes.rows[0][1].isNull(), c.requests.size() == 1);
        EXPECT_EQ(!programmes.rows[1][1].isNull(), c.secondFetched);
        std::vector<std::string> titles;
        for (const Row& r : store->query("select TEXT from P where DATEKEY = 2 order by ID").rows)
            titles.push_back(r.at(0).asText());
        EXPECT_EQ(titles, c.secondItems);
        EXPECT_FALSE(sync.running());
    }
}

// A failure of one of the refresh's own statements ends it with that error;
// the programmes fetched before it are committed by then.
TEST_F(RefreshFlowTest, FailingStatementKeepsTheProgrammesFetchedBefore) {
    fillRules();
    db->executeDefinition("CREATE EXCEPTION E_REFUSED 'refused'");
    db->executeDefinition(
        "CREATE TRIGGER T_REFUSE FOR PROGRAM BEFORE UPDATE AS BEGIN "
        "IF (NEW.DATEKEY = 2 AND NEW.TEXT IS NOT NULL) THEN EXCEPTION E_REFUSED; END");
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TXT") +
                          programmeRow(2, "07.12.2026", "B", "TXT")});
    service.set("getprogram", {"content"});

    EXPECT_THROW(flow.refresh(), DatabaseError);
    db->rollback();  // as if the program ended while the error shows

    EXPECT_EQ(service.requests(),
              (std::vector<std::string>{"login:", "getprogram:1", "getprogram:2"}));
    EXPECT_EQ(status_of(1).asText(), cp("Новая загрузка!"));
    EXPECT_EQ(db->query("select TEXT from PROGRAM where DATEKEY = 1").rows[0][0].asText(),
              "content");
    EXPECT_TRUE(status_of(2).isNull());
    EXPECT_EQ(status.progress.back(), std::make_pair(0, 0));
    EXPECT_FALSE(flow.running());
}

TEST_F(RefreshFlowTest, RejectedLoginScriptEndsTheRefresh) {
    fillRules();
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TAB") +
                          "INSERT INTO NOWHERE VALUES (1);\r\n"});
    EXPECT_EQ(flow.refresh(), Outcome::ScriptRejected);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].text.find("NOWHERE"), std::string::npos) << errors()[0].text;
    EXPECT_EQ(service.requests(), std::vector<std::string>{"login:"});
    EXPECT_EQ(host.refilters, 0);
}

TEST_F(RefreshFlowTest, NewVersionHandsOverWithoutExecutingTheReply) {
    fillRules();
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TAB"), protocol::newVersionNotice()});
    EXPECT_EQ(flow.refresh(), Outcome::NewVersion);
    EXPECT_EQ(selfUpdates, 1);
    EXPECT_EQ(count("select count(*) from PROGRAM"), 0);
    EXPECT_EQ(service.requests(), std::vector<std::string>{"login:"});
}

TEST_F(RefreshFlowTest, NoOperationStartsWhileOneRuns) {
    fillRules();
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TXT")});
    service.set("getprogram", {"x"});
    std::vector<Outcome> nested;
    onPump = [&] {
        if (!nested.empty())
            return;
        nested.push_back(flow.refresh());
        nested.push_back(flow.refetchCurrent());
        nested.push_back(flow.reset());
        nested.push_back(flow.startupPrompt("/opt/mirvaly/Mirvaly"));
    };
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    EXPECT_EQ(nested, std::vector<Outcome>(4, Outcome::Refused));
    EXPECT_EQ(service.requests(), (std::vector<std::string>{"login:", "getprogram:1"}));
    EXPECT_EQ(count("select count(*) from PROGRAM"), 1);  // the reset did not run
    EXPECT_TRUE(prompts.recorded.empty());                // nor did the prompt
    EXPECT_FALSE(flow.running());
}

TEST_F(RefreshFlowTest, StartupPrompt) {
    fillRules();
    const std::string question = cp(
        "Проверить наличие и загрузить все новые поступления\n(процедура займет больше времени при "
        "низкоскоростном Интернет) ?");
    EXPECT_EQ(flow.startupPrompt("/home/u/new.exe/Mirvaly"), Outcome::NothingToDo);
    EXPECT_TRUE(prompts.recorded.empty());

    prompts.answers = {PromptAnswer::No, PromptAnswer::Yes};
    EXPECT_EQ(flow.startupPrompt("/home/u/Mirvaly"), Outcome::NothingToDo);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_EQ(flow.startupPrompt("/home/u/Mirvaly"), Outcome::Completed);
    EXPECT_EQ(service.requests(), std::vector<std::string>{"login:"});
    ASSERT_EQ(prompts.recorded.size(), 2u);
    EXPECT_EQ(prompts.recorded[1].kind, RecordedPrompt::Kind::YesNo);
    EXPECT_EQ(prompts.recorded[1].text, question);
    EXPECT_EQ(prompts.recorded[1].caption, cp("Обновление данных."));
}

TEST_F(RefreshFlowTest, RefetchShowsItsStatusWithoutStoringIt) {
    fillRules();
    db->execute(programmeRow(1, "07.12.2026", "A", "TAB"));
    db->execute(programmeRow(2, "07.12.2026", "B", "TXT"));
    db->execute(itemRow(1, "old"));
    db->execute(cp("update PROGRAM set STATUS = 'Просмотрен.'"));
    db->commit();
    host.list.filter();
    ASSERT_EQ(host.list.key(1), 1);
    service.set("getprogram:1", {itemRow(1, "new one") + itemRow(1, "new two")});
    service.set("getprogram:2", {std::string("te\0xt", 5)});

    host.list.setCurrentRow(1);
    EXPECT_EQ(flow.refetchCurrent(), Outcome::Completed);
    EXPECT_EQ(host.list.field(1, "STATUS").asText(), cp("Повторно загружено!"));
    EXPECT_EQ(items(1), (std::vector<std::string>{"new one", "new two"}));
    EXPECT_EQ(status.lines.back(),
              cp("Повторно загружено: A вариант - R Размер: ") +
                  std::to_string((itemRow(1, "new one") + itemRow(1, "new two")).size()));

    host.list.setCurrentRow(0);
    EXPECT_EQ(flow.refetchCurrent(), Outcome::Completed);
    EXPECT_EQ(db->query("select TEXT from PROGRAM where DATEKEY = 2").rows[0][0].asText(),
              std::string("te\0xt", 5));

    service.set("getprogram:2", {""});
    EXPECT_EQ(flow.refetchCurrent(), Outcome::Completed);
    EXPECT_EQ(host.list.field(0, "STATUS").asText(), cp("Ошибка загрузки!"));

    // Nothing of the shown statuses was stored.
    db->commit();
    EXPECT_EQ(status_of(1).asText(), cp("Просмотрен."));
    EXPECT_EQ(status_of(2).asText(), cp("Просмотрен."));
    EXPECT_EQ(service.requests(),
              (std::vector<std::string>{"getprogram:1", "getprogram:2", "getprogram:2"}));
    EXPECT_EQ(record.Host, service.primary());  // the re-fetch does not switch hosts

    service.set("getprogram:2", {"", "", true});
    EXPECT_EQ(flow.refetchCurrent(), Outcome::NoConnection);
    EXPECT_EQ(prompts.recorded.back().text, noConnectionText(service.primary()));
}

TEST_F(RefreshFlowTest, RejectedRefetchKeepsTheOldItems) {
    fillRules();
    db->execute(programmeRow(1, "07.12.2026", "A", "TAB"));
    db->execute(itemRow(1, "old one"));
    db->execute(itemRow(1, "old two"));
    db->execute(cp("update PROGRAM set STATUS = 'Просмотрен.'"));
    db->commit();
    host.list.filter();
    service.set("getprogram:1", {itemRow(1, "new") + itemRow(404, "orphan")});

    EXPECT_EQ(flow.refetchCurrent(), Outcome::ScriptRejected);

    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(host.list.field(0, "STATUS").asText(), cp("Ошибка загрузки!"));
    EXPECT_TRUE(status.lines.empty());
    db->commit();
    EXPECT_EQ(items(1), (std::vector<std::string>{"old one", "old two"}));
}

TEST_F(RefreshFlowTest, ResetEmptiesTheProgrammesAndKeepsTheRules) {
    fillRules();
    db->execute("INSERT INTO REPL (NAME, TEXT, REPL, NUM) VALUES ('SOKR', 'a', 'b', 1)");
    service.set("login", {programmeRow(1, "07.12.2026", "A", "TAB") +
                          programmeRow(2, "08.12.2026", "B", "TAB")});
    service.set("getprogram:1", {itemRow(1, "a") + itemRow(1, "b")});
    service.set("getprogram:2", {itemRow(2, "c")});
    ASSERT_EQ(flow.refresh(), Outcome::Completed);
    ASSERT_EQ(count("select count(*) from P"), 3);
    ASSERT_EQ(host.list.rowCount(), 1);

    EXPECT_EQ(flow.reset(), Outcome::Completed);

    EXPECT_EQ(host.list.rowCount(), 0);
    EXPECT_TRUE(host.list.dates().empty());
    EXPECT_EQ(count("select count(*) from PROGRAM"), 0);
    EXPECT_EQ(count("select count(*) from P"), 0);
    EXPECT_EQ(count("select count(*) from SOKR"), 3);
    EXPECT_EQ(count("select count(*) from REPL"), 1);
    db.reopen();  // committed: a new start sees the same
    EXPECT_EQ(count("select count(*) from PROGRAM"), 0);
    db->execute(programmeRow(7, "07.12.2026", "A", "TAB"));
    db->execute(itemRow(7, "first"));
    EXPECT_EQ(count("select ID from P"), 1);
}

TEST_F(RefreshFlowTest, ResetThenLoginSendsEmptyKeys) {
    fillRules();
    db->execute(programmeRow(1, "07.12.2026", "A", "TAB"));
    db->commit();
    EXPECT_EQ(flow.reset(), Outcome::Completed);
    EXPECT_EQ(flow.refresh(), Outcome::Completed);
    EXPECT_EQ(service.requests(), std::vector<std::string>{"login:"});
}

// A whole catalogue from the reference service into an empty store.
TEST(RefreshFromReferenceService, FillsTheStoreFromTheCatalogue) {
    reference::GeneratorOptions options;
    options.channels = 3;
    options.days = 2;
    options.itemsPerDay = 5;
    options.startYear = 2026, options.startMonth = 12, options.startDay = 7;
    const reference::Catalogue catalogue = reference::generateCatalogue(options);
    reference::ReferenceService service(catalogue);
    const int port = service.bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    std::thread serving([&] { service.listen(); });

    test::TempDatabase db;
    test::ScriptedPrompts prompts;
    RecordingStatus status;
    ListHost host(db.db(), status);
    ProgrammeListRefreshView view(host);
    PosixTransport transport;
    transport.setReceiveTimeout(10s);
    Exchange exchange(transport, prompts);
    TConnectHTTP record;
    record.ProgVersion = "17";
    record.SubscriberId = "demo";
    const std::string address = "127.0.0.1:" + std::to_string(port);
    RefreshFlow flow(RefreshContext{db.db(),
                                    record,
                                    [&](TConnectHTTP& c) { return exchange(c); },
                                    prompts,
                                    status,
                                    view,
                                    {address, address}});

    const Outcome outcome = flow.refresh();
    const Outcome second = flow.refresh();
    service.stop();
    serving.join();

    EXPECT_EQ(outcome, Outcome::Completed);
    EXPECT_EQ(second, Outcome::Completed);
    for (const reference::CatalogueProgramme& p : catalogue.programmes) {
        SCOPED_TRACE(p.key);
        const QueryResult r = db->query(
            "select STATUS, TEXT, (select count(*) from P where P.DATEKEY = PROGRAM.DATEKEY) "
            "from PROGRAM where DATEKEY = ?",
            {Value::integer(p.key)});
        ASSERT_EQ(r.rows.size(), 1u);
        EXPECT_EQ(r.rows[0][0].asText(), cp("Новая загрузка!"));
        if (p.types == "TAB")
            EXPECT_EQ(r.rows[0][2].asInteger(), static_cast<int64_t>(p.items.size()));
        else
            EXPECT_EQ(r.rows[0][1].asText(), p.content);
    }
    EXPECT_GE(db->query("select count(*) from SOKR").rows[0][0].asInteger(), 3);
    EXPECT_EQ(status.lines.back(), cp("Всего загружено: 0 новых программ."));
    const std::string firstSummary = cp("Всего загружено: ") +
                                     std::to_string(catalogue.programmes.size()) +
                                     cp(" новых программ.");
    EXPECT_NE(std::find(status.lines.begin(), status.lines.end(), firstSummary),
              status.lines.end());
    EXPECT_GT(host.list.rowCount(), 0);
    EXPECT_EQ(prompts.recorded.size(), 1u);  // the rules message, once
}

}  // namespace
}  // namespace mirvaly
