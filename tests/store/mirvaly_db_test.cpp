// The mirvaly-db tool as a separate process, and the state its runner leaves
// beside the state isql-fb leaves for the same script.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/codec.h"
#include "store/database.h"
#include "store/schema.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

struct Result {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

Result runCommand(const std::string& command) {
    Result r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

Result tool(const std::string& args) {
    return runCommand(std::string(MIRVALY_DB_TOOL) + " " + args);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every row of every table of the store (blobs as bytes), and the generators.
std::vector<std::string> stateOf(const std::string& path) {
    auto db = Database::open(path);
    std::vector<std::string> state;
    for (const char* sql :
         {"SELECT * FROM PROGRAM ORDER BY DATEKEY", "SELECT * FROM P ORDER BY ID",
          "SELECT * FROM REPL ORDER BY NAME, NUM", "SELECT * FROM SOKR ORDER BY ID",
          "SELECT GEN_ID(GEN_P_ID, 0), GEN_ID(GEN_SOKR_ID, 0) FROM RDB$DATABASE"}) {
        state.push_back(sql);
        for (const Row& row : db->query(sql).rows) {
            std::string line;
            for (const Value& v : row)
                line += (v.isNull() ? std::string("<null>") : "[" + v.asText() + "]") + " ";
            state.push_back(line);
        }
    }
    db->close();
    return state;
}

class Tool : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(folder); }
    std::string file(const std::string& name) const { return folder + "/" + name; }

    std::string folder = test::makeTempFolder();
};

TEST_F(Tool, BadArgumentsGiveUsage) {
    for (const char* args : {"", "create", "run x", "create a b", "drop x", "run a b c"}) {
        Result r = tool(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.output.find("usage: mirvaly-db create PATH"), std::string::npos) << r.output;
    }
}

TEST_F(Tool, CreateBuildsTheProgramsSchema) {
    Result r = tool("create " + quoted(file("tool.gdb")));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    createStore(file("lib.gdb"))->close();
    const char* schema =
        "SELECT TRIM(RF.RDB$RELATION_NAME), TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, "
        "F.RDB$FIELD_LENGTH, RF.RDB$NULL_FLAG, RF.RDB$DEFAULT_SOURCE FROM RDB$RELATION_FIELDS RF "
        "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
        "WHERE COALESCE(RF.RDB$SYSTEM_FLAG, 0) = 0 "
        "ORDER BY RF.RDB$RELATION_NAME, RF.RDB$FIELD_POSITION";
    auto a = Database::open(file("tool.gdb"));
    auto b = Database::open(file("lib.gdb"));
    QueryResult ra = a->query(schema);
    EXPECT_EQ(ra.rows.size(), 31u);
    EXPECT_EQ(ra.rows, b->query(schema).rows);

    r = tool("create " + quoted(file("tool.gdb")));  // exists: refused with the engine's text
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("tool.gdb"), std::string::npos) << r.output;
}

TEST_F(Tool, RunReportsTheOutcomeAndCommits) {
    createStore(file("s.gdb"))->close();
    struct Case {
        std::string script;
        int exitCode;
        std::vector<std::string> shown;
        int rowsAfter;
    } cases[] = {
        {"INSERT INTO REPL (NAME) VALUES ('a');\nINSERT INTO REPL (NAME) VALUES ('b');\n",
         0,
         {"statements executed: 2", "outcome: completed"},
         2},
        {"INSERT INTO REPL (NAME) VALUES ('c');\n-- stop here\nINSERT INTO REPL (NAME) VALUES "
         "('d');",
         0,
         {"statements executed: 1", "stopped at line 2, statement not recognised",
          "statement: -- stop here"},
         3},
        {"INSERT INTO REPL (NAME) VALUES ('e');\n\nINSERT INTO NOWHERE VALUES (1);\n",
         1,
         {"statements executed: 1", "stopped at line 3, statement rejected",
          "error: Dynamic SQL Error", "NOWHERE"},
         4},
    };
    for (const Case& c : cases) {
        writeFile(file("script.sql"), c.script);
        Result r = tool("run " + quoted(file("s.gdb")) + " " + quoted(file("script.sql")));
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        for (const std::string& s : c.shown)
            EXPECT_NE(r.output.find(s), std::string::npos) << s << "\n" << r.output;
        auto db = Database::open(file("s.gdb"));
        EXPECT_EQ(db->query("SELECT COUNT(*) FROM REPL").rows.at(0).at(0),
                  Value::integer(c.rowsAfter))
            << c.script;
    }
    Result r = tool("run " + quoted(file("s.gdb")) + " " + quoted(file("missing.sql")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("cannot read"), std::string::npos) << r.output;
}

TEST_F(Tool, RunRefusesAFileAnotherProcessHolds) {
    test::TempDatabase held;
    writeFile(file("script.sql"), "INSERT INTO REPL (NAME) VALUES ('a');");
    Result r = tool("run " + quoted(held.path()) + " " + quoted(file("script.sql")));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("mirvaly-db: "), std::string::npos) << r.output;
}

TEST_F(Tool, RunCreatesTheFileItsScriptNames) {
    writeFile(file("script.sql"), "CREATE DATABASE '" + file("new.gdb") +
                                      "' USER 'SYSDBA' PASSWORD 'wintercap';\n"
                                      "CREATE TABLE T (A INTEGER);\nINSERT INTO T VALUES (5);\n");
    Result r = tool("run " + quoted(file("new.gdb")) + " " + quoted(file("script.sql")));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto db = Database::open(file("new.gdb"));
    EXPECT_EQ(db->query("SELECT A FROM T").rows, (std::vector<Row>{{Value::integer(5)}}));
}

// A reply-like script that isql-fb accepts as well: both must leave the same
// rows, byte for byte, with either kind of line end (a CR LF inside a string
// arrives as a line break of the runner's, as isql-fb stores it too).
TEST_F(Tool, LeavesTheStateIsqlLeaves) {
    if (!std::filesystem::exists("/usr/bin/isql-fb"))
        GTEST_SKIP() << "isql-fb is not installed";
    const std::string script =
        "/* reply */\n"
        "SET SQL DIALECT 3;\n"
        "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, TEXT, STATUS, SHIFTTIME) "
        "VALUES (1700000000, '05.03.2024', '" +
        cp("Первый канал") +
        "', 'R', 'a;b''c', NULL, 2);\n"
        "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, STATUS) VALUES "
        "(1700000001, '06.03.2024', 'x\"y;', 'S', '');\n"
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "(1700000000, '05.03.2024', '06:00', '" +
        cp("Новости «сегодня» ёЁ") + "\x01\xFF" + "', 'News', '" + cp("Новости") +
        "', '');\n"
        "INSERT INTO P (ID, DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "(40, 1700000000, '05.03.2024', '', 'two\nlines', 'T', 'n', 'a');\n"
        "COMMIT WORK;\n"
        "INSERT INTO REPL (NAME, TEXT, REPL, NUM) VALUES ('SOKR', 'x', 'Del', 1);\n"
        "ROLLBACK;\n"
        "SET TERM ^ ;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 3) DO BEGIN "
        "INSERT INTO SOKR (FIND_TYPE, PRIOR, DEYSTVIE) VALUES ('f' || :I, :I, 'D'); I = I + 1; "
        "END END^\n"
        "SET TERM ; ^\n"
        "UPDATE PROGRAM SET STATUS = '" +
        cp("Новая загрузка!") +
        "' WHERE DATEKEY = 1700000000;\n"
        "DELETE FROM SOKR WHERE PRIOR = 1;\n"
        "SELECT GEN_ID(GEN_P_ID, 5) FROM RDB$DATABASE;\n"
        "SET GENERATOR GEN_SOKR_ID TO 10;\n"
        "INSERT INTO SOKR (FIND_TYPE, PRIOR) VALUES ('last', 9);\n"
        "COMMIT;\n";
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        SCOPED_TRACE(lineEnd == "\n" ? "LF" : "CR LF");
        std::string text;
        for (char c : script)
            text += c == '\n' ? lineEnd : std::string(1, c);
        writeFile(file("reply.sql"), text);
        std::filesystem::remove(file("ours.gdb"));
        std::filesystem::remove(file("isql.gdb"));
        createStore(file("ours.gdb"))->close();
        createStore(file("isql.gdb"))->close();
        Result ours = tool("run " + quoted(file("ours.gdb")) + " " + quoted(file("reply.sql")));
        ASSERT_EQ(ours.exitCode, 0) << ours.output;
        EXPECT_NE(ours.output.find("statements executed: 17"), std::string::npos) << ours.output;
        Result isql = runCommand("/usr/bin/isql-fb -q -bail -i " + quoted(file("reply.sql")) + " " +
                                 quoted(file("isql.gdb")));
        ASSERT_EQ(isql.exitCode, 0) << isql.output;
        std::vector<std::string> a = stateOf(file("ours.gdb"));
        std::vector<std::string> b = stateOf(file("isql.gdb"));
        EXPECT_EQ(a, b);
        EXPECT_GT(a.size(), 10u);
    }
}

}  // namespace
}  // namespace mirvaly
