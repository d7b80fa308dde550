#pragma once

// The pure half of the script runner: cutting a script into statements and
// telling what each one is by its first words. No database, no I/O.
//
// Rules (those of the store's script runner):
// - A statement ends at the current terminator (";" at the start) when it
//   stands outside a string in single or double quotes (a doubled quote inside
//   a string is just two quotes: the string goes on) and outside a block
//   comment. The terminator itself is not part of the statement.
// - Blanks (codes 0 to 32) and block comments "/* ... */" in front of a
//   statement are skipped; its text starts at its first word and its line is
//   the 1-based line of that word. Trailing blanks are cut off.
// - "SET TERM x", itself ended by the current terminator, makes x (the rest
//   of the statement, blanks cut) the terminator of the statements after it.
// - There are no line comments: "--" is just a first word nobody knows.
// - An empty statement (nothing but blanks and comments before a terminator)
//   is skipped. Text after the last terminator is one more statement when it
//   holds more than blanks and comments.

#include <string>
#include <string_view>
#include <vector>

namespace mirvaly {

enum class StatementKind {
    CreateDatabase,  // CREATE DATABASE / CREATE SCHEMA
    Data,            // INSERT, UPDATE, DELETE, SELECT, EXECUTE
    Definition,      // CREATE, ALTER, DROP, DECLARE, GRANT, REVOKE, SET GENERATOR
    Commit,          // COMMIT [WORK]
    Rollback,        // ROLLBACK [WORK]
    SetTerm,         // SET TERM x (already applied by the splitter)
    SetDialect,      // SET SQL DIALECT n
    Option,          // SET AUTODDL, SET NAMES, SET STATISTICS
    Unrecognised,    // anything else, "--" included
};

// The kind of a statement by its first words (case-insensitive; words are runs
// of letters, digits, "_" and "$" separated by blanks). `text` starts at the
// first word, as the splitter gives it.
StatementKind classifyStatement(std::string_view text);

// The first `count` words in upper case, for messages and option values;
// fewer when the statement has fewer.
std::vector<std::string> firstWords(std::string_view text, size_t count);

struct ScriptStatement {
    std::string_view text;  // points into the script given to the splitter
    int line = 0;           // 1-based line of its first word
    StatementKind kind = StatementKind::Unrecognised;
    std::string terminator;  // the terminator it was ended by ("" at the script's end)
};

class ScriptSplitter {
public:
    // `script` must outlive the splitter and the statements it gives.
    explicit ScriptSplitter(std::string_view script);

    // The next statement; false when the script holds no more.
    bool next(ScriptStatement& out);

    const std::string& terminator() const { return m_terminator; }

private:
    void skipBlanksAndComments();
    void advance(size_t to);

    std::string_view m_script;
    size_t m_pos = 0;
    int m_line = 1;
    std::string m_terminator = ";";
};

// The lines of a script's text, as the runner is handed them: a line ends at
// CR, LF or CR LF, and the break is not part of it (so a CR LF inside a string
// literal reaches the database as the runner's LF).
std::vector<std::string> scriptLines(std::string_view text);

// Every statement of a script, SET TERM applied.
std::vector<ScriptStatement> splitScript(std::string_view script);

// The new terminator of a "SET TERM x" statement (blanks cut); empty when
// there is none.
std::string_view setTermArgument(std::string_view text);

}  // namespace mirvaly
