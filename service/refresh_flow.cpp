#include "service/refresh_flow.h"

#include <chrono>
#include <cstdio>

#include "common/codec.h"
#include "service/reply_script.h"

namespace mirvaly {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

const char* const kFetchQuery =
    "select PROGRAM.DATEKEY, PROGRAM.DATEPROG, PROGRAM.CHENELID, PROGRAM.FILENAME, "
    "PROGRAM.VARIANT, PROGRAM.TEXT, PROGRAM.TYPES, PROGRAM.COUNTS from PROGRAM where "
    "PROGRAM.STATUS is NULL";
const char* const kSavepoint = "FETCHED_PROGRAMME";
// Shown in the standard error box like a database error.
const char* const kTransactionEnded =
    "Сценарий ответа сервера сам завершил транзакцию: подтверждать нечего. "
    "Обновление прервано.";

// Hides the progress figure however the loop ends.
class ProgressShown {
public:
    ProgressShown(StatusLog& status, int total) : m_status(status) {
        m_status.setProgress(0, total);
    }
    ~ProgressShown() { m_status.setProgress(0, 0); }

private:
    StatusLog& m_status;
};

}  // namespace

class RefreshFlow::Busy {
public:
    explicit Busy(RefreshFlow& flow) : m_flow(flow) { m_flow.m_running = true; }
    ~Busy() { m_flow.m_running = false; }

private:
    RefreshFlow& m_flow;
};

RefreshFlow::RefreshFlow(RefreshContext context) : m_ctx(std::move(context)) {}

RefreshFlow::Outcome RefreshFlow::refuse() {
    m_ctx.status.addLine(cp("Обновление уже выполняется."));
    return Outcome::Refused;
}

RefreshFlow::Outcome RefreshFlow::refresh() {
    if (m_running)
        return refuse();
    Busy busy(*this);
    m_timings = {};
    TConnectHTTP& c = m_ctx.connection;
    c.Host = c.Host == m_ctx.hosts.primary ? m_ctx.hosts.alternate : m_ctx.hosts.primary;
    m_ctx.list.setWindowTitle(cp("Телепрограммы v. ") + c.ProgVersion +
                              cp(".0 | Используется сервер: ") + c.Host + cp(" порт 80."));
    m_ctx.list.savePosition();
    m_ctx.status.addLine(cp("Запрос списка новых поступлений."));
    pump();

    if (!ask("login", loginKeys())) {
        tellNoConnection();
        return Outcome::NoConnection;
    }
    if (c.RequestName == "newversion") {
        if (m_ctx.selfUpdate)
            m_ctx.selfUpdate();
        return Outcome::NewVersion;
    }
    if (!c.Reply.empty()) {
        if (!execute(c.Reply))
            return Outcome::ScriptRejected;
        commitAndRestart();
    }
    Outcome outcome = Outcome::Completed;
    if (!restoreStandardRules(outcome))
        return outcome;
    return fetchLoop();
}

std::string RefreshFlow::loginKeys() {
    QueryResult keys = m_ctx.database.query("select DATEKEY from PROGRAM order by DATEKEY");
    std::string dkey;
    for (const Row& row : keys.rows) {
        if (!dkey.empty())
            dkey += ',';
        dkey += std::to_string(row.at(0).asInteger());
    }
    return dkey;
}

// The standard abbreviation rules while SOKR is nearly empty. False when the
// refresh is to end, with `outcome` saying why.
bool RefreshFlow::restoreStandardRules(Outcome& outcome) {
    QueryResult count = m_ctx.database.query("select count(ID) COUNT_OF_ID from SOKR");
    if (!count.rows.empty() && count.rows[0].at(0).asInteger() >= 3)
        return true;
    pump();
    if (!ask("sokr", "")) {
        tellNoConnection();
        outcome = Outcome::NoConnection;
        return false;
    }
    if (!m_ctx.connection.Reply.empty()) {
        if (!execute(m_ctx.connection.Reply)) {
            outcome = Outcome::ScriptRejected;
            return false;
        }
        commitAndRestart();
    }
    m_ctx.prompts.inform(cp("Созданы макросы в редакторе сокращенного варианта."),
                         cp("Восстановлена пустая таблица данных!"), PromptIcon::None, true);
    return true;
}

RefreshFlow::Outcome RefreshFlow::fetchLoop() {
    const QueryResult rows = m_ctx.database.query(kFetchQuery);
    const int total = static_cast<int>(rows.rows.size());
    int fetched = 0;
    m_lastCommit = Clock::now();
    try {
        ProgressShown progress(m_ctx.status, total);
        for (int i = 0; i < total; ++i) {
            const Fetch result = fetchOne(rows, rows.rows[i], fetched + 1);
            if (result == Fetch::Lost)
                break;
            if (result == Fetch::Rejected)
                return Outcome::ScriptRejected;
            if (result == Fetch::Stored) {
                ++fetched;
                if (Clock::now() - m_lastCommit >= m_ctx.commitInterval)
                    commitRetaining();
                pump();
            }
            m_ctx.status.setProgress(i + 1, total);
        }
    } catch (...) {
        // The programmes fetched before the failure are kept, as the lost
        // line and the rejected script keep them, before the error shows.
        try {
            commitRetaining();
        } catch (const DatabaseError&) {
        }
        throw;
    }
    commitRetaining();
    m_ctx.status.addLine(cp("Всего загружено: ") + std::to_string(fetched) +
                         cp(" новых программ."));
    m_ctx.list.refilter();
    m_ctx.list.restorePosition();
    return Outcome::Completed;
}

RefreshFlow::Fetch RefreshFlow::fetchOne(const QueryResult& rows, const Row& row, int number) {
    const int64_t key = row.at(rows.column("DATEKEY")).asInteger();
    if (!ask("getprogram", std::to_string(key))) {
        commitRetaining();
        tellNoConnection();
        return Fetch::Lost;
    }
    const std::string& reply = m_ctx.connection.Reply;
    if (reply.empty())
        return Fetch::Empty;
    const size_t size = reply.size();
    if (!storeFetched(rows, row))
        return Fetch::Rejected;
    m_ctx.status.addLine(std::to_string(number) + cp(") Загружено - эфир с: ") +
                         shortDate(row.at(rows.column("DATEPROG")).asDate()) + cp(" Программа: ") +
                         row.at(rows.column("CHENELID")).asText() + cp(" вариант - ") +
                         row.at(rows.column("VARIANT")).asText() + cp(" Размер: ") +
                         std::to_string(size));
    return Fetch::Stored;
}

// The programme's status, the removal of its old items and its new items (or
// its content) as one unit: a rejected script undoes all three, so the
// programme keeps its null status and the next refresh fetches it again.
bool RefreshFlow::storeFetched(const QueryResult& rows, const Row& row) {
    Database& db = m_ctx.database;
    const int64_t key = row.at(rows.column("DATEKEY")).asInteger();
    const std::string keyText = std::to_string(key);
    const std::string& reply = m_ctx.connection.Reply;
    // A script that commits or rolls back itself would take the programmes
    // still waiting for their commit with it.
    const bool isItems = row.at(rows.column("TYPES")).asText() == "TAB";
    if (isItems && replyEndsTransaction(reply))
        commitRetaining();
    db.execute(std::string("SAVEPOINT ") + kSavepoint);
    try {
        db.execute(cp("update PROGRAM set STATUS = 'Новая загрузка!' where DATEKEY = ") + keyText);
        if (isItems) {
            db.execute("delete from P where DATEKEY = " + keyText);
            std::string error;
            if (!runScript(reply, error)) {
                undoToSavepoint();
                // The programmes fetched before this one are kept.
                commitRetaining();
                m_ctx.prompts.showError(error);
                return false;
            }
        } else {
            db.execute("update PROGRAM set TEXT = ? where DATEKEY = ?",
                       {Value::blob(reply), Value::integer(key)});
        }
    } catch (...) {
        undoToSavepoint();
        throw;
    }
    return true;
}

RefreshFlow::Outcome RefreshFlow::startupPrompt(std::string_view executablePath) {
    if (executablePath.find("new.exe") != std::string_view::npos)
        return Outcome::NothingToDo;
    if (m_running)
        return refuse();
    const bool yes = m_ctx.prompts.askYesNo(
        cp("Проверить наличие и загрузить все новые поступления\n(процедура займет больше "
           "времени при низкоскоростном Интернет) ?"),
        cp("Обновление данных."));
    return yes ? refresh() : Outcome::NothingToDo;
}

RefreshFlow::Outcome RefreshFlow::refetchCurrent() {
    if (m_running)
        return refuse();
    Busy busy(*this);
    const std::optional<ListedProgramme> programme = m_ctx.list.currentProgramme();
    if (!programme)
        return Outcome::NothingToDo;
    const std::string keyText = std::to_string(programme->key);
    if (!ask("getprogram", keyText)) {
        tellNoConnection();
        return Outcome::NoConnection;
    }
    const std::string& reply = m_ctx.connection.Reply;
    if (reply.empty()) {
        m_ctx.list.showCurrentStatus(cp("Ошибка загрузки!"));
    } else {
        // The old items go only when the new ones are in: a rejected script
        // leaves the programme as it was and says so in the list.
        if (programme->types == "TAB" && !replaceItems(programme->key)) {
            m_ctx.list.showCurrentStatus(cp("Ошибка загрузки!"));
            m_ctx.prompts.showError(m_scriptError);
            return Outcome::ScriptRejected;
        }
        m_ctx.list.showCurrentStatus(cp("Повторно загружено!"));
        m_ctx.status.addLine(cp("Повторно загружено: ") + programme->channel + cp(" вариант - ") +
                             programme->variant + cp(" Размер: ") + std::to_string(reply.size()));
        if (programme->types != "TAB")
            m_ctx.list.storeCurrentText(reply);
    }
    commitRetaining();
    return Outcome::Completed;
}

// The programme's items replaced by those of the reply, all or nothing; false
// (with m_scriptError) when the script was rejected.
bool RefreshFlow::replaceItems(int64_t key) {
    Database& db = m_ctx.database;
    db.execute(std::string("SAVEPOINT ") + kSavepoint);
    try {
        db.execute("delete from P where DATEKEY = " + std::to_string(key));
        if (runScript(m_ctx.connection.Reply, m_scriptError))
            return true;
    } catch (...) {
        undoToSavepoint();
        throw;
    }
    undoToSavepoint();
    return false;
}

// When a script ended the transaction itself the savepoint is gone with it;
// the script's own error is the one to show then.
void RefreshFlow::undoToSavepoint() {
    try {
        m_ctx.database.execute(std::string("ROLLBACK TO SAVEPOINT ") + kSavepoint);
    } catch (const DatabaseError&) {
    }
}

RefreshFlow::Outcome RefreshFlow::reset() {
    if (m_running)
        return refuse();
    Busy busy(*this);
    m_ctx.database.execute("delete from program");
    m_ctx.database.execute("SET GENERATOR GEN_P_ID TO 0");
    commitAndRestart();
    m_ctx.list.refilter();
    return Outcome::Completed;
}

bool RefreshFlow::ask(const std::string& requestName, const std::string& dkey) {
    TConnectHTTP& c = m_ctx.connection;
    c.RequestName = requestName;
    c.DKey = dkey;
    const auto start = Clock::now();
    const int result = m_ctx.exchange(c);
    m_timings.exchangeSeconds += secondsSince(start);
    ++m_timings.exchanges;
    return result == 1;
}

void RefreshFlow::tellNoConnection() {
    m_ctx.prompts.inform(cp("Сервер: [") + m_ctx.connection.Host +
                             cp("] недоступен, попробуйте нажать ОБНОВИТЬ еще раз."),
                         cp("Нет соединения с сервером!"), PromptIcon::None, true);
}

bool RefreshFlow::runScript(const std::string& reply, std::string& error) {
    const auto start = Clock::now();
    const ScriptOutcome outcome = executeReplyScript(m_ctx.database, reply);
    m_timings.scriptSeconds += secondsSince(start);
    if (outcome.end == ScriptOutcome::End::Rejected) {
        error = outcome.error;
        return false;
    }
    // A COMMIT or ROLLBACK with no data statement after it leaves nothing for
    // the commit that belongs to the step: the script failed as surely as a
    // rejected one, and its full commit closed the list.
    if (!m_ctx.database.inTransaction()) {
        m_ctx.list.closeList();
        error = cp(kTransactionEnded);
        return false;
    }
    return true;
}

bool RefreshFlow::execute(const std::string& reply) {
    std::string error;
    if (runScript(reply, error))
        return true;
    m_ctx.prompts.showError(error);
    return false;
}

// A full commit: it closes every query of the application transaction, the
// list's among them.
void RefreshFlow::commitAndRestart() {
    const auto start = Clock::now();
    m_ctx.database.commit();
    m_ctx.database.startTransaction();
    m_timings.commitSeconds += secondsSince(start);
    ++m_timings.commits;
    m_ctx.list.closeList();
}

void RefreshFlow::commitRetaining() {
    const auto start = Clock::now();
    m_ctx.database.commitRetaining();
    m_lastCommit = Clock::now();
    m_timings.commitSeconds += secondsSince(start);
    ++m_timings.commits;
}

std::string RefreshFlow::shortDate(const Date& date) const {
    if (m_ctx.shortDate)
        return m_ctx.shortDate(date);
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day % 100, date.month % 100,
                  date.year % 10000);
    return text;
}

void RefreshFlow::pump() {
    if (m_ctx.pump)
        m_ctx.pump();
}

}  // namespace mirvaly
