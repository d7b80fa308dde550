#include "store/script_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/codec.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

using End = ScriptOutcome::End;
using Names = std::vector<std::string>;
using test::TempDatabase;

Names replNames(Database& db) {
    Names names;
    for (const Row& r : db.query("SELECT NAME FROM REPL ORDER BY NAME").rows)
        names.push_back(r[0].asText());
    return names;
}

std::string insert(const std::string& name) {
    return "INSERT INTO REPL (NAME) VALUES ('" + name + "');";
}

struct RunCase {
    const char* name;
    std::string script;
    End end;
    int executed;
    int stopLine;     // 0 when it did not stop
    Names pending;    // what the application transaction sees after the run
    Names committed;  // what is left after rolling the pending work back
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class RunnerRules : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunnerRules, OutcomeAndState) {
    const RunCase& c = GetParam();
    TempDatabase db;
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run(c.script);
    EXPECT_EQ(o.end, c.end) << o.error;
    EXPECT_EQ(o.executed, c.executed);
    EXPECT_EQ(o.stopLine, c.stopLine);
    EXPECT_EQ(replNames(db.db()), c.pending);
    db->rollback();
    EXPECT_EQ(replNames(db.db()), c.committed);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RunnerRules,
    ::testing::Values(
        RunCase{"DataStaysUncommitted",
                insert("a") + "\n" + insert("b"),
                End::Completed,
                2,
                0,
                {"a", "b"},
                {}},
        RunCase{"CommitCommitsWhatRanBefore",
                insert("a") + "\nCOMMIT;\n" + insert("b"),
                End::Completed,
                3,
                0,
                {"a", "b"},
                {"a"}},
        RunCase{"CommitWork", insert("a") + "\ncommit work;", End::Completed, 2, 0, {"a"}, {"a"}},
        RunCase{"RollbackUndoes",
                insert("a") + "\nROLLBACK;\n" + insert("b"),
                End::Completed,
                3,
                0,
                {"b"},
                {}},
        RunCase{"TerminatorsInStrings",
                "INSERT INTO REPL (NAME, TEXT) VALUES ('a;1', 'x'';y');\n"
                "SELECT 1 AS \"c;d\" FROM RDB$DATABASE;\n" +
                    insert("b\"; "),
                End::Completed,
                3,
                0,
                {"a;1", "b\"; "},
                {}},
        RunCase{"SetTermAroundABlock",
                "SET TERM ^ ;\nEXECUTE BLOCK AS BEGIN\n  " + insert("a") + "\n  " + insert("b") +
                    "\nEND^\nSET TERM ; ^\n" + insert("c"),
                End::Completed,
                4,
                0,
                {"a", "b", "c"},
                {}},
        RunCase{"CommentsInFrontAreSkipped",
                "/* header; */\n" + insert("a") + " /* note */\n/* one */ /* two */ " + insert("b"),
                End::Completed,
                2,
                0,
                {"a", "b"},
                {}},
        RunCase{"OptionsAreTaken",
                "SET SQL DIALECT 3;\nSET AUTODDL ON;\nSET NAMES WIN1251;\n"
                "SET STATISTICS INDEX P_IDX1;\n" +
                    insert("a"),
                End::Completed,
                5,
                0,
                {"a"},
                {}},
        RunCase{"LastStatementWithoutTerminator",
                insert("a") + "\nINSERT INTO REPL (NAME) VALUES ('b')",
                End::Completed,
                2,
                0,
                {"a", "b"},
                {}},
        RunCase{"EmptyScript", "  \n", End::Completed, 0, 0, {}, {}},
        RunCase{"UnrecognisedStopsSilently",
                insert("a") + "\nCOMMIT;\n" + insert("b") + "\nMERGE INTO REPL USING X;\n" +
                    insert("c"),
                End::Unrecognised,
                3,
                4,
                {"a", "b"},
                {"a"}},
        RunCase{"LineCommentIsUnrecognised",
                insert("a") + "\n-- a note\n" + insert("b"),
                End::Unrecognised,
                1,
                2,
                {"a"},
                {}},
        RunCase{"RejectedKeepsEarlierDataPending",
                insert("a") + "\nINSERT INTO REPL (NOPE) VALUES (1);\n" + insert("b"),
                End::Rejected,
                1,
                2,
                {"a"},
                {}}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST(ScriptRunner, RejectionGivesTheEnginesMessageAndThePendingWorkCanBeCommitted) {
    for (bool commit : {true, false}) {
        TempDatabase db;
        ScriptRunner runner(db.holder());
        ScriptOutcome o = runner.run(std::vector<std::string>{
            insert("a"),
            "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS)",
            "  VALUES (99, '01.01.2024', '', '', '', '', '');",
            insert("b"),
        });
        ASSERT_EQ(o.end, End::Rejected);
        EXPECT_EQ(o.stopLine, 2);
        EXPECT_EQ(o.executed, 1);
        EXPECT_NE(o.error.find("FK_P_2"), std::string::npos) << o.error;
        EXPECT_EQ(o.stopStatement,
                  "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS)\n"
                  "  VALUES (99, '01.01.2024', '', '', '', '', '')");
        if (commit)
            db->commit();
        else
            db->rollback();
        db.reopen();
        EXPECT_EQ(replNames(db.db()), commit ? Names{"a"} : Names{});
    }
}

TEST(ScriptRunner, DefinitionsAreCommittedOneByOne) {
    TempDatabase db;
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run(insert("a") +
                                 "\nCREATE TABLE EXTRA (A INTEGER);\n"
                                 "INSERT INTO EXTRA VALUES (1);\n"
                                 "ALTER TABLE EXTRA ADD B VARCHAR(5);\n"
                                 "CREATE TABLE EXTRA (A INTEGER);\n");
    EXPECT_EQ(o.end, End::Rejected);
    EXPECT_EQ(o.executed, 4);
    EXPECT_EQ(o.stopLine, 5);
    EXPECT_FALSE(o.error.empty());
    db->rollback();
    db.reopen();
    // The table and its new column stay; the data was never committed.
    QueryResult r = db->query("SELECT A, B FROM EXTRA");
    EXPECT_TRUE(r.rows.empty());
    EXPECT_EQ(r.columns, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(replNames(db.db()).empty());
}

TEST(ScriptRunner, Windows1251AndZeroBytesTravelThroughAScript) {
    TempDatabase db;
    const std::string text = cp("Телепрограммы на неделю: ёЁ №") + "\x01\x7F\x98\xFF";
    const std::string withZero = std::string("a\0b", 3);
    db->execute(
        "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT) "
        "VALUES (1, '01.01.2024', 'x', 'R')");
    ScriptRunner runner(db.holder());
    ScriptOutcome o =
        runner.run("INSERT INTO REPL (NAME, TEXT) VALUES ('t', '" + text + "');\n" +
                   "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
                   "(1, '01.01.2024', '07:00', '" +
                   text + "', 'x', '" + withZero + "', '');");
    ASSERT_EQ(o.end, End::Completed) << o.error;
    db.reopen();
    EXPECT_EQ(db->query("SELECT TEXT FROM REPL").rows.at(0).at(0).asText(), text);
    Row item = db->query("SELECT EFIRTIME, TEXT, NAME, ANONS FROM P").rows.at(0);
    EXPECT_EQ(item[0], Value::blob("07:00"));
    EXPECT_EQ(item[1], Value::blob(text));
    EXPECT_EQ(item[2], Value::blob(withZero));
    EXPECT_EQ(item[3], Value::blob(""));
}

TEST(ScriptRunner, CreateDatabaseFillsAnEmptyHolder) {
    std::string folder = test::makeTempFolder();
    {
        std::unique_ptr<Database> db;
        ScriptRunner runner(db);
        ScriptOutcome o =
            runner.run("/* new store */\nCREATE DATABASE '" + folder +
                       "/new.gdb' USER 'SYSDBA' PASSWORD 'wintercap' PAGE_SIZE 4096;\n"
                       "CREATE TABLE T (A INTEGER);\nINSERT INTO T VALUES (1);\n");
        ASSERT_EQ(o.end, End::Completed) << o.error;
        ASSERT_TRUE(db);
        EXPECT_EQ(db->path(), folder + "/new.gdb");
        EXPECT_EQ(db->query("SELECT MON$PAGE_SIZE, MON$SQL_DIALECT FROM MON$DATABASE").rows.at(0),
                  (Row{Value::integer(4096), Value::integer(3)}));
        db->close();  // commits the INSERT
        db = Database::open(folder + "/new.gdb");
        EXPECT_EQ(db->query("SELECT A FROM T").rows.size(), 1u);
    }
    std::filesystem::remove_all(folder);
}

TEST(ScriptRunner, CreateDatabaseReplacesTheAttachmentAfterCommittingIt) {
    TempDatabase db;
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run(insert("a") + "\nCREATE DATABASE '" + db.folder() +
                                 "/other.gdb' USER 'SYSDBA' PASSWORD 'wintercap';");
    ASSERT_EQ(o.end, End::Completed) << o.error;
    EXPECT_EQ(db->path(), db.folder() + "/other.gdb");
    db->close();
    db.holder() = Database::open(db.path());
    EXPECT_EQ(replNames(db.db()), Names{"a"});
}

TEST(ScriptRunner, CreateDatabaseTurnedOffEndsTheRunWhereItStands) {
    TempDatabase db;
    const std::string own = db->path();
    ScriptRunner runner(db.holder());
    runner.setAllowCreateDatabase(false);
    ScriptOutcome o = runner.run(insert("a") + "\nCREATE DATABASE '" + db.folder() +
                                 "/other.gdb' USER 'SYSDBA' PASSWORD 'wintercap';\n" + insert("b"));
    EXPECT_EQ(o.end, End::Unrecognised);
    EXPECT_EQ(o.executed, 1);
    EXPECT_EQ(o.stopLine, 2);
    EXPECT_EQ(db->path(), own);
    EXPECT_FALSE(std::filesystem::exists(db.folder() + "/other.gdb"));
    EXPECT_EQ(replNames(db.db()), Names{"a"});
}

TEST(ScriptRunner, RefusesWhatItCannotRun) {
    std::unique_ptr<Database> none;
    ScriptRunner runner(none);
    ScriptOutcome o = runner.run(insert("a"));
    EXPECT_EQ(o.end, End::Rejected);
    EXPECT_EQ(o.executed, 0);
    EXPECT_FALSE(o.error.empty());

    TempDatabase db;
    ScriptRunner attached(db.holder());
    for (const char* script : {"SET SQL DIALECT 7;", "CREATE DATABASE nowhere;",
                               "CREATE DATABASE '/nonexistent-dir/x.gdb';"}) {
        o = attached.run(script);
        EXPECT_EQ(o.end, End::Rejected) << script;
        EXPECT_FALSE(o.error.empty()) << script;
    }
    // The attachment survives a CREATE DATABASE that could not be parsed.
    EXPECT_TRUE(db->isOpen());
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

std::vector<Row> rowsOfTable(Database& db, const std::string& table) {
    return db.query("SELECT * FROM " + table + " ORDER BY 1").rows;
}

// Bound literals must store what the literals store, and fail where they fail.
TEST(ScriptRunner, BoundLiteralsStoreWhatLiteralsStore) {
    TempDatabase bound, plain;
    const std::string setup =
        "CREATE TABLE T (ID INTEGER, K INTEGER, S SMALLINT, BI BIGINT, V VARCHAR(4), C CHAR(3), "
        "D DATE, TS TIMESTAMP, TM TIME, BL BLOB SUB_TYPE 0, BT BLOB SUB_TYPE 1, N NUMERIC(9,2), "
        "F DOUBLE PRECISION, B BOOLEAN);\n"
        "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT) VALUES (1, '01.01.2024', 'c', "
        "'R');\n";
    const std::vector<std::string> columnValues = {"K",  "'12'",
                                                   "K",  "'abc'",
                                                   "K",  "''",
                                                   "K",  "' 12 '",
                                                   "K",  "2147483648",
                                                   "K",  "007",
                                                   "S",  "70000",
                                                   "S",  "'70000'",
                                                   "S",  "'-3'",
                                                   "BI", "123456789012345678",
                                                   "BI", "'123456789012345678'",
                                                   "V",  "'abcd'",
                                                   "V",  "'abcde'",
                                                   "V",  "'ab    '",
                                                   "V",  "12345",
                                                   "V",  "1234",
                                                   "V",  "''",
                                                   "C",  "'a'",
                                                   "C",  "'abcd'",
                                                   "C",  "12",
                                                   "D",  "'05.03.2024'",
                                                   "D",  "'2024-03-05'",
                                                   "D",  "'31.02.2024'",
                                                   "D",  "5",
                                                   "TS", "'05.03.2024 10:11:12.5'",
                                                   "TS", "'05.03.2024'",
                                                   "TM", "'10:11:12'",
                                                   "BL", "'x'",
                                                   "BL", "5",
                                                   "BL", "''",
                                                   "BT", "'text'",
                                                   "BT", "5",
                                                   "N",  "'1.235'",
                                                   "N",  "5",
                                                   "N",  "'abc'",
                                                   "F",  "'1.5'",
                                                   "F",  "7",
                                                   "B",  "'TRUE'",
                                                   "B",  "'x'",
                                                   "B",  "1"};
    ScriptRunner a(bound.holder()), b(plain.holder());
    b.setBindLiterals(false);
    ASSERT_EQ(a.run(setup).end, ScriptOutcome::End::Completed);
    ASSERT_EQ(b.run(setup).end, ScriptOutcome::End::Completed);
    std::vector<std::string> statements;
    for (size_t i = 0; i + 1 < columnValues.size(); i += 2)
        statements.push_back("INSERT INTO T (ID, " + columnValues[i] + ") VALUES (" +
                             std::to_string(i / 2) + ", " + columnValues[i + 1] + ");");
    statements.push_back(
        "INSERT INTO P (ID, DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "('5', 1, '01.01.2024', '', 'a''b', 'c', 'd', 'e');");
    statements.push_back(  // refused before the trigger: the generator stays
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "('x', '01.01.2024', '', '', '', '', '');");
    statements.push_back(  // the trigger's generator moves even though the key is missing
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "(2, '01.01.2024', '', '', '', '', '');");
    statements.push_back(
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES "
        "(1, '01.01.2024', '', '', 'x', '', '');");
    int refused = 0;
    for (const std::string& st : statements) {
        ScriptOutcome oa = a.run(st), ob = b.run(st);
        EXPECT_EQ(oa.end, ob.end) << st;
        EXPECT_EQ(oa.error, ob.error) << st;
        refused += oa.end == ScriptOutcome::End::Rejected;
    }
    EXPECT_GT(refused, 5);  // the table holds refusals as well as conversions
    for (const char* table : {"T", "P"})
        EXPECT_EQ(rowsOfTable(bound.db(), table), rowsOfTable(plain.db(), table)) << table;
    EXPECT_EQ(bound->query("SELECT GEN_ID(GEN_P_ID, 0) FROM RDB$DATABASE").rows,
              plain->query("SELECT GEN_ID(GEN_P_ID, 0) FROM RDB$DATABASE").rows);
}

// A form prepared before a definition must not hold its table.
TEST(ScriptRunner, DefinitionsAfterBoundInsertsAreNotBlocked) {
    TempDatabase db;
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run(insert("a") + "\n" + insert("b") +
                                 "\nCOMMIT;\nALTER TABLE REPL ADD EXTRA INTEGER;\n"
                                 "INSERT INTO REPL (NAME, EXTRA) VALUES ('c', 3);\n"
                                 "DROP TABLE REPL;\n");
    EXPECT_EQ(o.end, End::Rejected);  // REPL still has pending rows in the other transaction
    EXPECT_EQ(o.stopLine, 6);
    db->rollback();
    o = runner.run("CREATE INDEX REPL_NAME ON REPL (NAME);\n" + insert("d") +
                   "\nCOMMIT;\nDROP INDEX REPL_NAME;\nDROP TABLE REPL;\n");
    EXPECT_EQ(o.end, End::Completed) << o.error;
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

TEST(ScriptRunner, SqlDialectAppliesToTheStatementsAfterIt) {
    TempDatabase db;
    ScriptRunner runner(db.holder());
    // 3/2 is an integer division in dialect 3 and 1.5 (stored rounded) in 1.
    ScriptOutcome o = runner.run(
        "INSERT INTO REPL (NAME, NUM) VALUES ('a', 3/2);\nSET SQL DIALECT 1;\n"
        "INSERT INTO REPL (NAME, NUM) VALUES ('b', 3/2);\nSET SQL DIALECT 3;\n"
        "INSERT INTO REPL (NAME, NUM) VALUES ('c', 3/2);\n");
    ASSERT_EQ(o.end, ScriptOutcome::End::Completed) << o.error;
    EXPECT_EQ(db->query("SELECT NAME, NUM FROM REPL ORDER BY NAME").rows,
              (std::vector<Row>{{Value::text("a"), Value::integer(1)},
                                {Value::text("b"), Value::integer(2)},
                                {Value::text("c"), Value::integer(1)}}));
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

// A trigger that has moved a generator and then fails in dynamic SQL of its
// own: the statement ran once, so the generator moves once, bound or not.
TEST(ScriptRunner, ATriggerFailingInItsOwnDynamicSqlRunsOnce) {
    const std::string setup =
        "SET TERM ^ ;\n"
        "CREATE TRIGGER REPL_BI FOR REPL ACTIVE BEFORE INSERT POSITION 0 AS\n"
        "BEGIN\n"
        "  NEW.NUM = GEN_ID(GEN_SOKR_ID, 1);\n"
        "  EXECUTE STATEMENT 'bad';\n"
        "END^\n"
        "SET TERM ; ^\n";
    TempDatabase bound, plain;
    ScriptRunner a(bound.holder()), b(plain.holder());
    b.setBindLiterals(false);
    ASSERT_EQ(a.run(setup).end, End::Completed);
    ASSERT_EQ(b.run(setup).end, End::Completed);
    ScriptOutcome oa = a.run(insert("a")), ob = b.run(insert("a"));
    EXPECT_EQ(oa.end, End::Rejected);
    EXPECT_NE(oa.error.find("REPL_BI"), std::string::npos) << oa.error;
    EXPECT_EQ(oa.error, ob.error);
    const char* gen = "SELECT GEN_ID(GEN_SOKR_ID, 0) FROM RDB$DATABASE";
    EXPECT_EQ(bound->query(gen).rows, (std::vector<Row>{{Value::integer(1)}}));
    EXPECT_EQ(plain->query(gen).rows, (std::vector<Row>{{Value::integer(1)}}));
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

// Definitions that a data statement makes through dynamic SQL take effect at
// the commit; a form prepared for an earlier INSERT must not hold its table then.
TEST(ScriptRunner, DefinitionsInDynamicSqlCommitPastBoundInserts) {
    const std::string dropX =
        "SET TERM ^ ;\nEXECUTE BLOCK AS BEGIN EXECUTE STATEMENT 'DROP TABLE X'; END^\n"
        "SET TERM ; ^\n";
    for (bool byScript : {true, false}) {
        TempDatabase db;
        ScriptRunner runner(db.holder());
        ScriptOutcome o = runner.run(
            "CREATE TABLE X (A INTEGER);\nINSERT INTO X VALUES (1);\n"
            "COMMIT;\nDELETE FROM X;\nCOMMIT;\n" +
            dropX + (byScript ? "COMMIT;\n" : ""));
        ASSERT_EQ(o.end, End::Completed) << o.error;
        if (!byScript) {
            EXPECT_NO_THROW(db->commitRetaining());
        }
        db.reopen();
        EXPECT_TRUE(
            db->query("SELECT 1 FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'X'").rows.empty())
            << byScript;
    }
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

// After a committed DELETE the engine holds the table for its garbage
// collection until someone asks for it: a definition must ask, not give up.
TEST(ScriptRunner, ATableCanBeDroppedAfterItsRowsAreDeleted) {
    TempDatabase db;
    db.reopen();  // as the program opens its store
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run(
        "CREATE TABLE X (A INTEGER);\nINSERT INTO X VALUES (1);\nCOMMIT;\n"
        "DELETE FROM X;\nCOMMIT;\nDROP TABLE X;\n"
        "DELETE FROM REPL;\nCOMMIT;\nALTER TABLE REPL DROP NUM;\nDROP TABLE REPL;\n");
    EXPECT_EQ(o.end, End::Completed) << o.error;
    EXPECT_EQ(o.executed, 10);
}

}  // namespace
}  // namespace mirvaly
