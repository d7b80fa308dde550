#include "store/script_runner.h"

#include <charconv>

#include "store/create_database_statement.h"
#include "store/script_splitter.h"

namespace mirvaly {

namespace {

std::string joinLines(const std::vector<std::string>& lines) {
    size_t size = 0;
    for (const std::string& l : lines)
        size += l.size() + 1;
    std::string script;
    script.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            script += '\n';
        script += lines[i];
    }
    return script;
}

Database& attached(std::unique_ptr<Database>& db) {
    if (!db || !db->isOpen())
        throw DatabaseError("No database is attached: the script must begin with CREATE DATABASE.");
    return *db;
}

void createDatabase(std::unique_ptr<Database>& db, std::string_view text, int dialect) {
    CreateDatabaseStatement st;
    std::string error;
    if (!parseCreateDatabase(text, st, error))
        throw DatabaseError(error);
    st.options.sqlDialect = dialect;
    // The new file replaces the attachment the runner worked with once it
    // exists; closing the old one commits what it had pending, as closing the
    // connection does.
    std::unique_ptr<Database> created = Database::create(st.path, st.user, st.password, st.options);
    if (db)
        db->close();
    db = std::move(created);
    if (!st.collation.empty())
        db->executeDefinition("ALTER CHARACTER SET " + st.options.defaultCharset +
                              " SET DEFAULT COLLATION " + st.collation);
}

int dialectOf(std::string_view text) {
    std::vector<std::string> w = firstWords(text, 4);
    int dialect = 0;
    if (w.size() == 4)
        std::from_chars(w[3].data(), w[3].data() + w[3].size(), dialect);
    if (dialect < 1 || dialect > 3)
        throw DatabaseError("SET SQL DIALECT takes 1, 2 or 3.");
    return dialect;
}

}  // namespace

ScriptRunner::ScriptRunner(std::unique_ptr<Database>& database) : m_database(database) {}

ScriptOutcome ScriptRunner::run(const std::vector<std::string>& lines) {
    return run(joinLines(lines));
}

ScriptOutcome ScriptRunner::run(const std::string& script) {
    ScriptOutcome outcome;
    ScriptSplitter splitter(script);
    ScriptStatement st;
    int dialect = m_database ? m_database->sqlDialect() : 3;
    while (splitter.next(st)) {
        if (st.kind == StatementKind::Unrecognised ||
            (st.kind == StatementKind::CreateDatabase && !m_allowCreateDatabase)) {
            outcome.end = ScriptOutcome::End::Unrecognised;
            outcome.stopStatement = std::string(st.text);
            outcome.stopLine = st.line;
            return outcome;
        }
        try {
            switch (st.kind) {
                case StatementKind::Data:
                    if (m_bindLiterals)
                        attached(m_database).executeScriptData(st.text);
                    else
                        attached(m_database).execute(st.text);
                    break;
                case StatementKind::Definition:
                    attached(m_database).executeDefinition(st.text);
                    break;
                case StatementKind::CreateDatabase:
                    createDatabase(m_database, st.text, dialect);
                    break;
                case StatementKind::Commit:
                    // Definitions are committed as they run; only the
                    // application transaction can have anything pending.
                    attached(m_database).commit();
                    break;
                case StatementKind::Rollback:
                    attached(m_database).rollback();
                    break;
                case StatementKind::SetDialect:
                    dialect = dialectOf(st.text);
                    if (m_database)
                        m_database->setSqlDialect(dialect);
                    break;
                case StatementKind::SetTerm:  // applied by the splitter
                case StatementKind::Option:   // AUTODDL, NAMES, STATISTICS: nothing to do here
                case StatementKind::Unrecognised:
                    break;
            }
        } catch (const DatabaseError& e) {
            outcome.end = ScriptOutcome::End::Rejected;
            outcome.stopStatement = std::string(st.text);
            outcome.stopLine = st.line;
            outcome.error = e.what();
            return outcome;
        }
        ++outcome.executed;
    }
    return outcome;
}

}  // namespace mirvaly
