#pragma once

// The local store: one attachment to a Firebird database file through the
// embedded engine (no server process), and the one application transaction
// that every window works in.
//
// Contract:
// - Every failure of the database layer throws DatabaseError carrying the
//   engine's own message text (status vector formatted by the engine).
// - Text travels as bytes: no character set is declared, so Windows-1251
//   bytes are stored and read back exactly; blobs likewise, zero bytes included.
// - NULL is kept distinct from the empty string in parameters and columns.
// - Statements run in the application transaction, which is started on demand
//   when none is active. Definition statements (CREATE, ALTER ...) may instead
//   run in a transaction of their own that is committed at once.
// - close() (and the destructor) commits an active application transaction.
// - Both transactions are read committed and wait for a lock up to 3 seconds:
//   long enough for the engine to hand over a lock it holds for itself (after
//   a DELETE), short enough that a conflict between the program's own two
//   transactions, which cannot resolve on the one thread, fails instead of
//   hanging.
// - The engine holds the file for this process alone; another process that
//   tries to attach gets the engine's "already opened" error.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mirvaly {

class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const std::string& message, int sqlCode = 0)
        : std::runtime_error(message), m_sqlCode(sqlCode) {}
    int sqlCode() const { return m_sqlCode; }

private:
    int m_sqlCode;
};

// A calendar date (SQL dialect 3 DATE: no time of day).
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const Date&, const Date&) = default;
    friend auto operator<=>(const Date&, const Date&) = default;
};

// One parameter or column value.
class Value {
public:
    enum class Kind { Null, Integer, Text, Date, Blob };

    Value() = default;  // NULL
    static Value null() { return Value(); }
    static Value integer(int64_t v);
    static Value text(std::string bytes);
    static Value date(Date d);
    // A TIMESTAMP: kind Date, with the time of day in milliseconds after
    // midnight. TIMESTAMP columns read this way; a DATE has time 0.
    static Value timestamp(Date d, int timeOfDayMs);
    static Value blob(std::string bytes);

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    // Integer columns (SMALLINT, INTEGER, BIGINT); a NULL reads as `orElse`.
    int64_t asInteger(int64_t orElse = 0) const;
    // Text and blob bytes; a NULL reads as "". Integers and dates as decimal
    // text ("dd.mm.yyyy" for dates).
    std::string asText() const;
    Date asDate() const;                          // a NULL or non-date reads as {0, 0, 0}
    int timeOfDayMs() const { return m_timeMs; }  // 0 unless a TIMESTAMP with a time

    friend bool operator==(const Value&, const Value&) = default;

private:
    Kind m_kind = Kind::Null;
    int64_t m_integer = 0;
    std::string m_bytes;
    Date m_date;
    int m_timeMs = 0;
};

using Row = std::vector<Value>;

struct QueryResult {
    std::vector<std::string> columns;  // column aliases in upper case as the engine names them
    std::vector<Row> rows;

    // Index of a column by name (case-sensitive, as in `columns`); -1 when absent.
    int column(std::string_view name) const;
};

// Physical settings of a new file; the defaults are those of the store.
struct CreateOptions {
    int sqlDialect = 3;
    int pageSize = 0;            // 0: the engine's default
    std::string defaultCharset;  // empty: none declared (the store's way)
};

class Database {
public:
    // Attaches to an existing file. Throws DatabaseError when it does not exist,
    // is damaged, or is held by another process.
    static std::unique_ptr<Database> open(const std::string& path,
                                          const std::string& user = "SYSDBA",
                                          const std::string& password = "wintercap");
    // Creates a new file (SQL dialect 3, no default character set) and stays
    // attached to it. Throws DatabaseError when the file exists or cannot be made.
    static std::unique_ptr<Database> create(const std::string& path,
                                            const std::string& user = "SYSDBA",
                                            const std::string& password = "wintercap");
    // The same with explicit physical settings (CREATE DATABASE in a script).
    // An empty user or password is not sent (the engine then takes the
    // operating system's user).
    static std::unique_ptr<Database> create(const std::string& path, const std::string& user,
                                            const std::string& password,
                                            const CreateOptions& options);

    virtual ~Database() = default;

    virtual const std::string& path() const = 0;

    // The application transaction.
    virtual bool inTransaction() const = 0;
    virtual void startTransaction() = 0;  // no-op when one is active
    virtual void commit() = 0;            // full commit; no-op when none is active
    // Commit, keep the transaction (and its open queries) going. The engine
    // keeps the oldest transaction pinned meanwhile, so a long run of
    // commit-retaining lets the file grow; a full commit releases it.
    virtual void commitRetaining() = 0;
    virtual void rollback() = 0;  // no-op when none is active

    // Runs one statement in the application transaction (started when none is
    // active); returns the number of rows it changed. Parameters bind to "?"
    // in order; text and blob values bind to VARCHAR and BLOB parameters alike
    // (a BLOB parameter gets a new blob of the value's bytes), integers and
    // dates to parameters of any type the engine converts them to. A SELECT
    // is fetched to its end and its rows dropped (so GEN_ID in it advances as
    // the rows come); "COMMIT" and "ROLLBACK" act on the application
    // transaction.
    virtual int64_t execute(std::string_view sql, const std::vector<Value>& params = {}) = 0;
    // Runs a SELECT (or an EXECUTE returning rows) and reads every row.
    // Columns read as: SMALLINT, INTEGER, BIGINT -> Integer; CHAR (padded, as
    // stored), VARCHAR -> Text; BLOB (any sub-type) -> Blob; DATE, TIMESTAMP
    // -> Date; anything else (scaled numbers, floats, times, booleans) -> Text
    // as the engine writes it. Other statements give no rows.
    virtual QueryResult query(std::string_view sql, const std::vector<Value>& params = {}) = 0;

    // Runs a data statement of a script with the effect of execute(sql). A
    // plain INSERT (see store/literal_binding.h) runs from one prepared
    // statement per form with its literals bound, which spares the engine
    // compiling each of a reply's thousands of INSERTs. Prepared forms are
    // let go before any definition runs and before every commit (which carries
    // out definitions made by dynamic SQL), so they never hold a table.
    virtual void executeScriptData(std::string_view sql) { execute(sql); }

    // Runs one statement in a definition transaction of its own, committed
    // right after it (rolled back when the statement fails).
    virtual void executeDefinition(std::string_view sql) = 0;

    // The SQL dialect statements are prepared in (3 unless a script says
    // otherwise with SET SQL DIALECT).
    virtual void setSqlDialect(int dialect) { (void)dialect; }
    virtual int sqlDialect() const { return 3; }

    // Ends the attachment; an active application transaction is committed.
    // When that commit fails the transaction is rolled back, the attachment
    // still ends, and the commit's DatabaseError is thrown.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

// Releases the engine's threads and files; call once before the process exits.
void shutdownDatabaseEngine();

}  // namespace mirvaly
