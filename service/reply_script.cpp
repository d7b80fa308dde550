#include "service/reply_script.h"

#include <memory>

#include "store/script_splitter.h"

namespace mirvaly {
namespace {

// The program's attachment lent to the script runner, which wants an owner it
// could replace; this one forwards every call and never ends the attachment.
class BorrowedDatabase : public Database {
public:
    explicit BorrowedDatabase(Database& target) : m_target(target) {}

    const std::string& path() const override { return m_target.path(); }
    bool inTransaction() const override { return m_target.inTransaction(); }
    void startTransaction() override { m_target.startTransaction(); }
    void commit() override { m_target.commit(); }
    void commitRetaining() override { m_target.commitRetaining(); }
    void rollback() override { m_target.rollback(); }
    int64_t execute(std::string_view sql, const std::vector<Value>& params) override {
        return m_target.execute(sql, params);
    }
    QueryResult query(std::string_view sql, const std::vector<Value>& params) override {
        return m_target.query(sql, params);
    }
    void executeScriptData(std::string_view sql) override { m_target.executeScriptData(sql); }
    void executeDefinition(std::string_view sql) override { m_target.executeDefinition(sql); }
    void setSqlDialect(int dialect) override { m_target.setSqlDialect(dialect); }
    int sqlDialect() const override { return m_target.sqlDialect(); }
    void close() override {
        throw DatabaseError("A reply script cannot close the program's database.");
    }
    bool isOpen() const override { return m_target.isOpen(); }

private:
    Database& m_target;
};

}  // namespace

bool replyEndsTransaction(std::string_view reply) {
    ScriptSplitter splitter(replyText(reply));
    ScriptStatement st;
    while (splitter.next(st)) {
        if (st.kind == StatementKind::Unrecognised || st.kind == StatementKind::CreateDatabase)
            return false;  // the run ends here
        if (st.kind == StatementKind::Commit || st.kind == StatementKind::Rollback)
            return true;
    }
    return false;
}

std::string_view replyText(std::string_view reply) {
    return reply.substr(0, reply.find('\0'));
}

ScriptOutcome executeReplyScript(Database& database, std::string_view reply) {
    std::unique_ptr<Database> lent = std::make_unique<BorrowedDatabase>(database);
    ScriptRunner runner(lent);
    runner.setAllowCreateDatabase(false);
    return runner.run(scriptLines(replyText(reply)));
}

}  // namespace mirvaly
