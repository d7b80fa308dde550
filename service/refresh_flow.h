#pragma once

// Synchronisation with the service, without windows: the refresh (the button
// "Обновить", the start-up prompt and the auto-check all run it), the re-fetch
// of the list's current programme and the reset of the programme store.
//
//   RefreshFlow flow({database, connection, exchange, prompts, status, list, hosts});
//   flow.refresh();
//
// Contract:
// - One operation at a time. While one runs (its exchanges pump, so a click or
//   a timer can ask for another) every further request is refused: it returns
//   Outcome::Refused at once and adds a status line, nothing else happens.
// - Messages go through UserPrompts; a reply script the database rejects shows
//   the database's text through UserPrompts::showError and ends the operation
//   there. So does a script that ends the application transaction itself
//   (COMMIT or ROLLBACK with no data statement after it): the commit of its
//   step has nothing left to commit. Other database failures (of the flow's
//   own statements) propagate as DatabaseError after the current programme's
//   work is undone and the programmes fetched before it are committed.
// - The re-fetch replaces a programme's items all or nothing as well.
// - Each fetched programme is stored all or nothing: its status, the removal
//   of its old items and its new items or content are undone together when
//   its script is rejected, so it stays unfetched for the next refresh.
// - The fetch loop commits (retaining) at most once per commit interval and
//   at its end, however it ends: every commit rewrites the store's hot pages
//   synchronously, and a commit per programme would cost more than the
//   items themselves. What was fetched before a lost line or a rejected
//   script is committed before the message shows.
// - The collaborators must outlive the flow. The texts are Windows-1251.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/status_log.h"
#include "common/user_prompts.h"
#include "service/connect_http.h"
#include "store/database.h"

namespace mirvaly {

// The list's current programme, as the re-fetch needs it.
struct ListedProgramme {
    int64_t key = 0;
    std::string channel;  // CHENELID
    std::string variant;  // VARIANT
    std::string types;    // TYPES
};

// What the flows do with the main window's programme list.
class RefreshListView {
public:
    virtual ~RefreshListView() = default;
    // Keeps the current row number minus one, for restorePosition().
    virtual void savePosition() = 0;
    // A full commit has closed the list query: drop the rows.
    virtual void closeList() = 0;
    // Refills the date list and reopens the list (the filter).
    virtual void refilter() = 0;
    // From the first row forward by the saved position.
    virtual void restorePosition() = 0;
    virtual void setWindowTitle(const std::string& title) = 0;
    // Nothing when the list has no current row.
    virtual std::optional<ListedProgramme> currentProgramme() const = 0;
    // Sets the current row's STATUS in the list and posts the row (the list's
    // update statement does not store the status).
    virtual void showCurrentStatus(const std::string& status) = 0;
    // Sets the current row's TEXT to these bytes and posts the row.
    virtual void storeCurrentText(const std::string& bytes) = 0;
};

// The two service hosts the refresh alternates between.
struct ServiceHosts {
    std::string primary;
    std::string alternate;
};

// Time spent in a refresh's parts, for the benchmark.
struct RefreshTimings {
    double exchangeSeconds = 0;
    double scriptSeconds = 0;
    double commitSeconds = 0;
    int exchanges = 0;
    int commits = 0;
};

struct RefreshContext {
    Database& database;
    TConnectHTTP& connection;
    // Runs one exchange on the record: -1 failed, 1 a reply arrived.
    std::function<int(TConnectHTTP&)> exchange;
    UserPrompts& prompts;
    StatusLog& status;
    RefreshListView& list;
    ServiceHosts hosts;
    // Dispatches the window's pending messages; may be empty.
    std::function<void()> pump = {};
    // The short date of the user's locale; empty: "dd.mm.yyyy".
    std::function<std::string(const Date&)> shortDate = {};
    // The self-update, started when the service announces a new version;
    // empty: the refresh just ends there.
    std::function<void()> selfUpdate = {};
    // How long fetched programmes may wait for their commit; 0: a commit
    // after every programme.
    std::chrono::milliseconds commitInterval{1000};
};

class RefreshFlow {
public:
    enum class Outcome {
        Completed,       // ran to its end (the fetch loop may have lost the line)
        Refused,         // another operation is running
        NoConnection,    // the login or sokr exchange failed; the message was shown
        NewVersion,      // handed over to the self-update
        ScriptRejected,  // the database refused a reply script; the error was shown
        NothingToDo,     // re-fetch without a current row
    };

    explicit RefreshFlow(RefreshContext context);

    Outcome refresh();
    // Timer1Timer: asks whether to refresh, unless the running program is the
    // downloaded update (its path contains "new.exe") or a refresh runs.
    Outcome startupPrompt(std::string_view executablePath);
    // N6Click: the list's current programme fetched again.
    Outcome refetchCurrent();
    // Reset1Click: all programmes and their items removed, the item
    // generator back to 0, the list re-read.
    Outcome reset();

    bool running() const { return m_running; }
    const RefreshTimings& timings() const { return m_timings; }

private:
    class Busy;

    Outcome refuse();
    bool ask(const std::string& requestName, const std::string& dkey);
    void tellNoConnection();
    bool runScript(const std::string& reply, std::string& error);
    bool execute(const std::string& reply);
    void commitAndRestart();
    void commitRetaining();
    std::string loginKeys();
    enum class Fetch { Stored, Empty, Lost, Rejected };
    bool restoreStandardRules(Outcome& outcome);
    Outcome fetchLoop();
    Fetch fetchOne(const QueryResult& rows, const Row& row, int number);
    bool storeFetched(const QueryResult& rows, const Row& row);
    bool replaceItems(int64_t key);
    void undoToSavepoint();
    std::string shortDate(const Date& date) const;
    void pump();

    RefreshContext m_ctx;
    bool m_running = false;
    std::chrono::steady_clock::time_point m_lastCommit;
    RefreshTimings m_timings;
    std::string m_scriptError;
};

}  // namespace mirvaly
