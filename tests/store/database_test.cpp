#include "store/database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/codec.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

using test::TempDatabase;

std::string allBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

// A table with one column of every type the store meets.
class TypedTable : public ::testing::Test {
protected:
    void SetUp() override {
        db->executeDefinition(
            "CREATE TABLE T (K INTEGER, S SMALLINT, B BIGINT, V VARCHAR(300), C CHAR(5), D DATE, "
            "TS TIMESTAMP, BL BLOB SUB_TYPE 0 SEGMENT SIZE 80, N NUMERIC(9,2), F DOUBLE "
            "PRECISION)");
    }

    Row one(const std::string& sql, const std::vector<Value>& params = {}) {
        QueryResult r = db->query(sql, params);
        EXPECT_EQ(r.rows.size(), 1u) << sql;
        return r.rows.empty() ? Row{} : r.rows[0];
    }

    TempDatabase db;
};

TEST_F(TypedTable, ParametersOfEveryKindReadBackAsGiven) {
    const std::string cyr = cp("Новая загрузка!");
    const std::string withZero("a\0b\xFF", 4);
    db->execute("INSERT INTO T (K, S, B, V, C, D, TS, BL) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                {Value::integer(-7), Value::integer(32767), Value::integer(9007199254740993LL),
                 Value::text(cyr + withZero), Value::text("ab"), Value::date({2024, 2, 29}),
                 Value::timestamp({1999, 12, 31}, 86399999), Value::blob(allBytes())});
    QueryResult r = db->query("SELECT K, S, B, V, C, D, TS, BL FROM T");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.columns, (std::vector<std::string>{"K", "S", "B", "V", "C", "D", "TS", "BL"}));
    const Row& row = r.rows[0];
    EXPECT_EQ(row[0], Value::integer(-7));
    EXPECT_EQ(row[1], Value::integer(32767));
    EXPECT_EQ(row[2], Value::integer(9007199254740993LL));
    EXPECT_EQ(row[3], Value::text(cyr + withZero));
    EXPECT_EQ(row[4], Value::text("ab   "));  // CHAR keeps its padding
    EXPECT_EQ(row[5], Value::date({2024, 2, 29}));
    EXPECT_EQ(row[5].asText(), "29.02.2024");
    EXPECT_EQ(row[6], Value::timestamp({1999, 12, 31}, 86399999));
    EXPECT_EQ(row[6].asText(), "31.12.1999 23:59:59");
    EXPECT_EQ(row[7], Value::blob(allBytes()));
}

TEST_F(TypedTable, NullIsNotTheEmptyString) {
    db->execute("INSERT INTO T (K, V, BL) VALUES (1, ?, ?)", {Value::text(""), Value::blob("")});
    db->execute("INSERT INTO T (K, V, BL) VALUES (2, ?, ?)", {Value::null(), Value::null()});
    QueryResult r = db->query("SELECT V, BL, V IS NULL, BL IS NULL FROM T ORDER BY K");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.rows[0][0], Value::text(""));
    EXPECT_EQ(r.rows[0][1], Value::blob(""));
    EXPECT_EQ(r.rows[0][2].asText(), "FALSE");
    EXPECT_EQ(r.rows[0][3].asText(), "FALSE");
    EXPECT_TRUE(r.rows[1][0].isNull());
    EXPECT_TRUE(r.rows[1][1].isNull());
    EXPECT_EQ(r.rows[1][2].asText(), "TRUE");
    // Every column of a row inserted with nothing but a key reads as NULL.
    for (const Value& v : one("SELECT S, B, C, D, TS, N, F FROM T WHERE K = 2"))
        EXPECT_TRUE(v.isNull());
}

TEST_F(TypedTable, BlobsOfManySegmentsAndTextBoundToBlobs) {
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += static_cast<char>((i * 7) % 256);
    db->execute("INSERT INTO T (K, BL) VALUES (1, ?)", {Value::blob(big)});
    db->execute("INSERT INTO T (K, BL) VALUES (2, ?)", {Value::text(cp("Тест") + '\0')});
    db->execute("INSERT INTO T (K, BL) VALUES (3, ?)", {Value::integer(42)});
    EXPECT_EQ(one("SELECT BL FROM T WHERE K = 1")[0].asText(), big);
    EXPECT_EQ(one("SELECT BL FROM T WHERE K = 2")[0].asText(), cp("Тест") + '\0');
    EXPECT_EQ(one("SELECT BL FROM T WHERE K = 3")[0].asText(), "42");
    // A blob value bound to a VARCHAR parameter travels as text.
    EXPECT_EQ(one("SELECT K FROM T WHERE K = ?", {Value::blob("2")})[0], Value::integer(2));
}

TEST_F(TypedTable, TheEngineConvertsBetweenParameterAndColumnTypes) {
    db->execute(
        "INSERT INTO T (K, V, D, N) VALUES (?, ?, ?, ?)",
        {Value::text("12"), Value::integer(34), Value::text("01.02.2024"), Value::integer(5)});
    Row row = one("SELECT K, V, D, N, CAST(1.5 AS DOUBLE PRECISION) FROM T");
    EXPECT_EQ(row[0], Value::integer(12));
    EXPECT_EQ(row[1], Value::text("34"));
    EXPECT_EQ(row[2], Value::date({2024, 2, 1}));
    EXPECT_EQ(row[3], Value::text("5.00"));  // scaled numbers read as the engine writes them
    EXPECT_EQ(row[4].kind(), Value::Kind::Text);
    EXPECT_EQ(std::stod(row[4].asText()), 1.5);
}

TEST_F(TypedTable, RefusedParametersSayWhy) {
    EXPECT_THROW(db->execute("INSERT INTO T (K) VALUES (?)"), DatabaseError);
    EXPECT_THROW(
        db->execute("INSERT INTO T (K) VALUES (?)", {Value::integer(1), Value::integer(2)}),
        DatabaseError);
    try {
        db->execute("INSERT INTO T (K) VALUES (?)", {Value::text("abc")});
        FAIL() << "a text that is no number went into an INTEGER";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("conversion error"), std::string::npos) << e.what();
    }
    try {
        db->execute("INSERT INTO T (K, V) VALUES (1, ?)", {Value::text(std::string(301, 'x'))});
        FAIL() << "a text longer than the column was taken";
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("truncation"), std::string::npos) << e.what();
    }
}

TEST_F(TypedTable, ExecuteCountsChangedRowsAndFetchesSelects) {
    EXPECT_EQ(db->execute("INSERT INTO T (K) VALUES (1)"), 1);
    EXPECT_EQ(db->execute("INSERT INTO T (K) VALUES (2)"), 1);
    EXPECT_EQ(db->execute("UPDATE T SET S = 1"), 2);
    EXPECT_EQ(db->execute("DELETE FROM T WHERE K = 5"), 0);
    // A SELECT run as a statement is fetched: its GEN_ID calls happen.
    db->execute("SELECT GEN_ID(GEN_SOKR_ID, 1) FROM T");
    EXPECT_EQ(one("SELECT GEN_ID(GEN_SOKR_ID, 0) FROM RDB$DATABASE")[0], Value::integer(2));
    // EXECUTE BLOCK with output rows, as a query.
    QueryResult r =
        db->query("EXECUTE BLOCK RETURNS (X INTEGER) AS BEGIN X = 1; SUSPEND; X = 2; SUSPEND; END");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(r.column("X"), 0);
    EXPECT_EQ(r.column("Y"), -1);
    EXPECT_EQ(r.rows[1][0], Value::integer(2));
}

TEST(Database, ErrorsCarryTheEnginesText) {
    TempDatabase db;
    try {
        db->execute(
            "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) "
            "VALUES (1, '01.01.2024', '', '', '', '', '')");
        FAIL() << "an item without its programme was stored";
    } catch (const DatabaseError& e) {
        std::string text = e.what();
        EXPECT_NE(text.find("FOREIGN KEY"), std::string::npos) << text;
        EXPECT_NE(text.find("FK_P_2"), std::string::npos) << text;
        EXPECT_LT(e.sqlCode(), 0);
    }
    try {
        db->query("SELEC 1 FROM RDB$DATABASE");
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("Token unknown"), std::string::npos) << e.what();
    }
    EXPECT_THROW(db->executeDefinition("CREATE TABLE PROGRAM (A INTEGER)"), DatabaseError);
}

TEST(Database, OpenAndCreateRefuseWithTheEnginesText) {
    TempDatabase db;
    try {
        Database::open(db.folder() + "/missing.gdb");
        FAIL();
    } catch (const DatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.gdb"), std::string::npos) << e.what();
    }
    db.close();
    try {
        Database::create(db.path());
        FAIL() << "an existing store was overwritten";
    } catch (const DatabaseError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_NO_THROW(Database::open(db.path())->close());
}

TEST(Database, CommitRollbackAndCommitRetaining) {
    TempDatabase db;
    auto count = [&] {
        return db->query("SELECT COUNT(*) FROM REPL").rows.at(0).at(0).asInteger(-1);
    };
    EXPECT_FALSE(db->inTransaction());
    db->execute("INSERT INTO REPL (NAME) VALUES ('a')");
    EXPECT_TRUE(db->inTransaction());
    db->rollback();
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(count(), 0);

    db->execute("INSERT INTO REPL (NAME) VALUES ('b')");
    db->commitRetaining();
    EXPECT_TRUE(db->inTransaction());
    db->execute("INSERT INTO REPL (NAME) VALUES ('c')");
    db->rollback();  // takes 'c' only
    EXPECT_EQ(count(), 1);

    db->execute("INSERT INTO REPL (NAME) VALUES ('d')");
    db->commit();
    EXPECT_FALSE(db->inTransaction());
    db->commit();  // nothing active: nothing to do
    db->rollback();
    db.reopen();
    EXPECT_EQ(count(), 2);
}

TEST(Database, CloseCommitsThePendingWork) {
    TempDatabase db;
    db->execute("INSERT INTO REPL (NAME, TEXT) VALUES (?, ?)",
                {Value::text("x"), Value::text(cp("ёЁ"))});
    db->close();
    EXPECT_FALSE(db->isOpen());
    EXPECT_THROW(db->execute("SELECT 1 FROM RDB$DATABASE"), DatabaseError);
    db.reopen();
    QueryResult r = db->query("SELECT TEXT FROM REPL WHERE NAME = 'x'");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][0].asText(), "\xB8\xA8");
}

TEST(Database, DefinitionsAreCommittedOnTheirOwn) {
    TempDatabase db;
    db->execute("INSERT INTO REPL (NAME) VALUES ('pending')");
    db->executeDefinition("CREATE TABLE EXTRA (A INTEGER)");
    db->rollback();  // the data goes, the table stays
    db.reopen();
    EXPECT_EQ(db->query("SELECT COUNT(*) FROM REPL").rows[0][0], Value::integer(0));
    EXPECT_EQ(db->query("SELECT COUNT(*) FROM EXTRA").rows[0][0], Value::integer(0));
}

TEST(Database, StatementsOfTransactionControlActOnTheApplicationTransaction) {
    TempDatabase db;
    db->execute("INSERT INTO REPL (NAME) VALUES ('a')");
    db->execute("ROLLBACK");
    EXPECT_FALSE(db->inTransaction());
    db->execute("INSERT INTO REPL (NAME) VALUES ('b')");
    db->execute("COMMIT");
    EXPECT_FALSE(db->inTransaction());
    db->execute("INSERT INTO REPL (NAME) VALUES ('c')");
    db->rollback();
    EXPECT_EQ(db->query("SELECT NAME FROM REPL").rows, (std::vector<Row>{{Value::text("b")}}));
}

TEST(Value, TextForms) {
    EXPECT_EQ(Value().asText(), "");
    EXPECT_EQ(Value::integer(-12).asText(), "-12");
    EXPECT_EQ(Value::date({2024, 3, 5}).asText(), "05.03.2024");
    EXPECT_EQ(Value::text("x").asInteger(9), 9);
    EXPECT_EQ(Value().asInteger(), 0);
    EXPECT_EQ(Value::text("x").asDate(), Date{});
    EXPECT_NE(Value::text(""), Value());
    EXPECT_NE(Value::text("a"), Value::blob("a"));
}

}  // namespace
}  // namespace mirvaly
