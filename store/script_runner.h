#pragma once

// Runs an SQL script statement by statement, the way the store's creation
// script and the service's reply scripts are executed:
// - statements end at the current terminator (";" at the start) outside single-
//   or double-quoted strings; "SET TERM x" switches it;
// - a block comment in front of a statement is skipped; there are no line
//   comments;
// - statements are recognised by their first words: CREATE DATABASE creates the
//   file and attaches to it; INSERT, UPDATE, DELETE, SELECT and EXECUTE run in
//   the application transaction (started when none is active) and stay
//   uncommitted; CREATE, ALTER, DROP, DECLARE, GRANT, REVOKE and SET GENERATOR
//   run in a definition transaction committed after each; COMMIT and ROLLBACK
//   act on both; SET SQL DIALECT / AUTODDL / NAMES / STATISTICS are options;
// - the first statement not recognised ends the run silently, what ran before
//   it stays done;
// - a statement the database rejects ends the run with the database's error;
//   earlier data statements stay pending.
// The splitting itself (pure) is in store/script_splitter.h, with the
// details: a block comment inside a statement hides terminators too, and
// text after the last terminator is one more statement. CREATE DATABASE
// takes the clauses store/create_database_statement.h lists; the new file
// replaces the attachment once it exists, and the old one is closed
// (committing its pending work). SET SQL DIALECT applies to the statements
// after it (and to a CREATE DATABASE); AUTODDL, NAMES and STATISTICS are
// taken and change nothing: definitions are always committed one by one and
// the connection's character set stays NONE. A data or definition statement
// with no attachment is rejected.

#include <memory>
#include <string>
#include <vector>

#include "store/database.h"

namespace mirvaly {

struct ScriptOutcome {
    enum class End {
        Completed,     // every statement ran
        Unrecognised,  // stopped silently at a statement it does not know
        Rejected,      // the database refused a statement; see `error`
    };
    End end = End::Completed;
    int executed = 0;           // statements run, options and COMMITs included
    std::string stopStatement;  // the statement it stopped at (Unrecognised, Rejected)
    int stopLine = 0;           // 1-based line where that statement starts
    std::string error;          // the database's message (Rejected)
};

class ScriptRunner {
public:
    // `database` may hold nothing: a CREATE DATABASE in the script then fills it
    // with the new attachment. It must outlive the runner.
    explicit ScriptRunner(std::unique_ptr<Database>& database);

    // The script as lines of text (Windows-1251 bytes), joined with line breaks.
    ScriptOutcome run(const std::vector<std::string>& lines);
    ScriptOutcome run(const std::string& script);

    // Whether plain INSERTs run from prepared forms with their literals bound
    // (Database::executeScriptData); on by default. Off, every statement is
    // handed to the engine as written. The stored result is the same.
    void setBindLiterals(bool on) { m_bindLiterals = on; }

    // Whether CREATE DATABASE may create a file and attach to it; on by
    // default. Off, it ends the run like a statement the runner does not know
    // (scripts that come from outside must not move the program elsewhere).
    void setAllowCreateDatabase(bool on) { m_allowCreateDatabase = on; }

private:
    std::unique_ptr<Database>& m_database;
    bool m_bindLiterals = true;
    bool m_allowCreateDatabase = true;
};

}  // namespace mirvaly
