#include "store/schema.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/script_runner.h"
#include "tests/support/temp_database.h"

namespace mirvaly {
namespace {

using Lines = std::vector<std::string>;
using test::TempDatabase;

// Each row of a query as its values joined by "|" (NULL as "<null>").
Lines rowsOf(Database& db, const std::string& sql, const std::vector<Value>& params = {}) {
    Lines lines;
    for (const Row& row : db.query(sql, params).rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i)
            line += (i ? "|" : "") + (row[i].isNull() ? std::string("<null>") : row[i].asText());
        lines.push_back(line);
    }
    return lines;
}

std::string typeName(const Row& f) {
    switch (f[1].asInteger()) {
        case 7:
            return "SMALLINT";
        case 8:
            return "INTEGER";
        case 12:
            return "DATE";
        case 37:
            return "VARCHAR(" + f[3].asText() + ")";
        case 261:
            return "BLOB SUB_TYPE " + f[2].asText() + " SEGMENT SIZE " + f[4].asText();
    }
    return "type " + f[1].asText();
}

// The columns of a table as they would be declared, in their order.
Lines columnsOf(Database& db, const std::string& table) {
    QueryResult r = db.query(
        "SELECT TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE, F.RDB$FIELD_SUB_TYPE, "
        "F.RDB$FIELD_LENGTH, F.RDB$SEGMENT_LENGTH, RF.RDB$NULL_FLAG, RF.RDB$DEFAULT_SOURCE, "
        "F.RDB$CHARACTER_SET_ID "
        "FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
        "WHERE RF.RDB$RELATION_NAME = ? ORDER BY RF.RDB$FIELD_POSITION",
        {Value::text(table)});
    Lines columns;
    for (const Row& f : r.rows) {
        std::string c = f[0].asText() + " " + typeName(f);
        if (f[5].asInteger() == 1)
            c += " NOT NULL";
        if (!f[6].isNull())
            c += " " + f[6].asText();
        if (!f[7].isNull() && f[7].asInteger() != 0)
            c += " CHARACTER SET " + f[7].asText();
        columns.push_back(c);
    }
    return columns;
}

class CreatedSchema : public ::testing::Test {
protected:
    TempDatabase db;
};

TEST_F(CreatedSchema, TablesAndColumnsInOrder) {
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT TRIM(RDB$RELATION_NAME), RDB$VIEW_BLR IS NULL FROM RDB$RELATIONS "
                     "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1"),
              (Lines{"P|TRUE", "PROGRAM|TRUE", "REPL|TRUE", "SOKR|TRUE"}));
    EXPECT_EQ(
        columnsOf(db.db(), "PROGRAM"),
        (Lines{"DATEKEY INTEGER NOT NULL", "DATEPROG DATE NOT NULL",
               "CHENELID VARCHAR(100) NOT NULL", "VARIANT VARCHAR(1) NOT NULL",
               "TEXT BLOB SUB_TYPE 0 SEGMENT SIZE 80", "FILENAME VARCHAR(255)",
               "SUBVARIANT VARCHAR(10)", "KATEGORY VARCHAR(30)", "NUM SMALLINT",
               "SHIFTTIME SMALLINT", "STATUS VARCHAR(20)", "COUNTS SMALLINT", "TYPES VARCHAR(5)"}));
    EXPECT_EQ(columnsOf(db.db(), "P"),
              (Lines{"ID INTEGER NOT NULL", "DATEKEY INTEGER NOT NULL", "DATEPROG DATE NOT NULL",
                     "EFIRTIME BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL",
                     "TEXT BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL", "TYPES VARCHAR(50) NOT NULL",
                     "NAME BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL",
                     "ANONS BLOB SUB_TYPE 0 SEGMENT SIZE 80 NOT NULL"}));
    EXPECT_EQ(columnsOf(db.db(), "REPL"),
              (Lines{"NAME VARCHAR(20) NOT NULL", "TEXT VARCHAR(250) DEFAULT NULL",
                     "REPL VARCHAR(250) DEFAULT NULL", "NUM INTEGER DEFAULT NULL"}));
    EXPECT_EQ(columnsOf(db.db(), "SOKR"),
              (Lines{"ID INTEGER NOT NULL", "FIND_TYPE VARCHAR(100) NOT NULL",
                     "SP_TYPE VARCHAR(255) DEFAULT NULL", "PRIOR INTEGER NOT NULL",
                     "DEYSTVIE VARCHAR(1) DEFAULT '0'", "ZONE_FIND VARCHAR(1)"}));
}

TEST_F(CreatedSchema, KeysIndexAndCascade) {
    // Constraint name, type, table, index, key columns.
    Lines keys = rowsOf(db.db(),
                        "SELECT TRIM(C.RDB$CONSTRAINT_NAME), TRIM(C.RDB$CONSTRAINT_TYPE), "
                        "TRIM(C.RDB$RELATION_NAME), TRIM(C.RDB$INDEX_NAME), TRIM(S.RDB$FIELD_NAME) "
                        "FROM RDB$RELATION_CONSTRAINTS C "
                        "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = C.RDB$INDEX_NAME "
                        "WHERE C.RDB$CONSTRAINT_TYPE IN ('PRIMARY KEY', 'FOREIGN KEY') "
                        "ORDER BY C.RDB$RELATION_NAME, C.RDB$CONSTRAINT_TYPE DESC");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0], "PK_P|PRIMARY KEY|P|PK_P|ID");
    EXPECT_EQ(keys[1], "FK_P_2|FOREIGN KEY|P|FK_P_2|DATEKEY");
    // The programme key has no name of its own: the engine names it.
    EXPECT_EQ(keys[2].substr(0, 6), "INTEG_");
    EXPECT_NE(keys[2].find("|PRIMARY KEY|PROGRAM|RDB$PRIMARY"), std::string::npos) << keys[2];
    EXPECT_EQ(keys[2].substr(keys[2].size() - 8), "|DATEKEY");
    EXPECT_EQ(keys[3], "PK_SOKR|PRIMARY KEY|SOKR|PK_SOKR|ID");

    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT R.RDB$DELETE_RULE, R.RDB$UPDATE_RULE, TRIM(U.RDB$RELATION_NAME) "
                     "FROM RDB$REF_CONSTRAINTS R JOIN RDB$RELATION_CONSTRAINTS U "
                     "ON U.RDB$CONSTRAINT_NAME = R.RDB$CONST_NAME_UQ "
                     "WHERE R.RDB$CONSTRAINT_NAME = 'FK_P_2'"),
              (Lines{"CASCADE    |RESTRICT   |PROGRAM"}));
    // The one index of its own, besides those of the keys.
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT TRIM(I.RDB$INDEX_NAME), TRIM(I.RDB$RELATION_NAME), "
                     "COALESCE(I.RDB$UNIQUE_FLAG, 0), TRIM(S.RDB$FIELD_NAME) FROM RDB$INDICES I "
                     "JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
                     "WHERE I.RDB$SYSTEM_FLAG = 0 AND NOT EXISTS (SELECT 1 FROM "
                     "RDB$RELATION_CONSTRAINTS C WHERE C.RDB$INDEX_NAME = I.RDB$INDEX_NAME)"),
              (Lines{"P_IDX1|P|0|DATEKEY"}));
}

TEST_F(CreatedSchema, GeneratorsTriggersAndNothingElse) {
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT TRIM(RDB$GENERATOR_NAME) FROM RDB$GENERATORS "
                     "WHERE RDB$SYSTEM_FLAG = 0 ORDER BY 1"),
              (Lines{"GEN_P_ID", "GEN_SOKR_ID"}));
    EXPECT_EQ(
        rowsOf(db.db(), "SELECT GEN_ID(GEN_P_ID, 0), GEN_ID(GEN_SOKR_ID, 0) FROM RDB$DATABASE"),
        (Lines{"0|0"}));
    // Name, table, type (1: before insert), position, inactive flag, source.
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT TRIM(RDB$TRIGGER_NAME), TRIM(RDB$RELATION_NAME), RDB$TRIGGER_TYPE, "
                     "RDB$TRIGGER_SEQUENCE, RDB$TRIGGER_INACTIVE, RDB$TRIGGER_SOURCE "
                     "FROM RDB$TRIGGERS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY 1"),
              (Lines{"P_BI|P|1|0|0|AS BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = "
                     "GEN_ID(GEN_P_ID,1); END",
                     "SOKR_BI|SOKR|1|0|0|AS BEGIN IF (NEW.ID IS NULL) THEN NEW.ID = "
                     "GEN_ID(GEN_SOKR_ID,1); END"}));
    EXPECT_EQ(rowsOf(db.db(), "SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$SYSTEM_FLAG = 0"),
              (Lines{"0"}));
    // Dialect 3, no default character set, every table empty.
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT MON$SQL_DIALECT, COALESCE(TRIM(D.RDB$CHARACTER_SET_NAME), 'NONE') "
                     "FROM MON$DATABASE CROSS JOIN RDB$DATABASE D"),
              (Lines{"3|NONE"}));
    EXPECT_EQ(rowsOf(db.db(),
                     "SELECT (SELECT COUNT(*) FROM PROGRAM) + (SELECT COUNT(*) FROM P) + "
                     "(SELECT COUNT(*) FROM REPL) + (SELECT COUNT(*) FROM SOKR) FROM RDB$DATABASE"),
              (Lines{"0"}));
}

// Behaviour the schema gives the program.
class StoreBehaviour : public ::testing::Test {
protected:
    void addProgramme(int key, const char* status = nullptr) {
        db->execute(
            "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, STATUS) "
            "VALUES (?, '01.01.2024', 'ch', 'R', ?)",
            {Value::integer(key), status ? Value::text(status) : Value::null()});
    }
    void addItem(int key, std::optional<int> id = std::nullopt) {
        db->execute(
            "INSERT INTO P (ID, DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) "
            "VALUES (?, ?, '01.01.2024', '', '', '', '', '')",
            {id ? Value::integer(*id) : Value::null(), Value::integer(key)});
    }
    Lines itemIds() { return rowsOf(db.db(), "SELECT ID FROM P ORDER BY ID"); }

    TempDatabase db;
};

TEST_F(StoreBehaviour, TriggersNumberNullIdsAndKeepExplicitOnes) {
    addProgramme(10);
    addItem(10);
    addItem(10);
    addItem(10, 100);  // kept, and the generator does not move
    addItem(10);
    EXPECT_EQ(itemIds(), (Lines{"1", "2", "3", "100"}));
    EXPECT_EQ(rowsOf(db.db(), "SELECT GEN_ID(GEN_P_ID, 0) FROM RDB$DATABASE"), (Lines{"3"}));

    db->execute("INSERT INTO SOKR (FIND_TYPE, PRIOR) VALUES ('a', 1)");
    db->execute("INSERT INTO SOKR (ID, FIND_TYPE, PRIOR) VALUES (50, 'b', 2)");
    db->execute("INSERT INTO SOKR (ID, FIND_TYPE, PRIOR) VALUES (NULL, 'c', 3)");
    EXPECT_EQ(rowsOf(db.db(), "SELECT ID, FIND_TYPE, DEYSTVIE, ZONE_FIND FROM SOKR ORDER BY ID"),
              (Lines{"1|a|0|<null>", "2|c|0|<null>", "50|b|0|<null>"}));
}

TEST_F(StoreBehaviour, DeletingProgrammesTakesTheirItems) {
    addProgramme(1);
    addProgramme(2);
    addItem(1);
    addItem(2);
    addItem(2);
    db->execute("DELETE FROM PROGRAM WHERE DATEKEY = 2");
    EXPECT_EQ(rowsOf(db.db(), "SELECT DATEKEY FROM P"), (Lines{"1"}));
    db->execute("delete from program");
    EXPECT_TRUE(itemIds().empty());
}

TEST_F(StoreBehaviour, ResetOfTheItemGeneratorStartsAgainAtOne) {
    addProgramme(1);
    addItem(1);
    addItem(1);
    db->commit();
    ScriptRunner runner(db.holder());
    ScriptOutcome o = runner.run("delete from program;\nSET GENERATOR GEN_P_ID TO 0;\nCOMMIT;");
    ASSERT_EQ(o.end, ScriptOutcome::End::Completed) << o.error;
    addProgramme(2);
    addItem(2);
    EXPECT_EQ(itemIds(), (Lines{"1"}));
}

TEST_F(StoreBehaviour, EmptyStatusIsNotNull) {
    addProgramme(1);
    addProgramme(2, "");
    EXPECT_EQ(rowsOf(db.db(), "SELECT DATEKEY FROM PROGRAM WHERE STATUS IS NULL"), (Lines{"1"}));
    EXPECT_EQ(rowsOf(db.db(), "SELECT DATEKEY FROM PROGRAM WHERE STATUS = ''"), (Lines{"2"}));
    db.reopen();
    QueryResult r = db->query("SELECT STATUS FROM PROGRAM ORDER BY DATEKEY");
    EXPECT_TRUE(r.rows.at(0).at(0).isNull());
    EXPECT_EQ(r.rows.at(1).at(0), Value::text(""));
}

TEST_F(StoreBehaviour, AnItemNeedsItsProgramme) {
    EXPECT_THROW(addItem(7), DatabaseError);
}

TEST(CreateStore, TakesAnyPathAndRefusesAnExistingFile) {
    std::string folder = test::makeTempFolder();
    std::string path = folder + "/it's here.gdb";
    createStore(path)->close();
    auto db = Database::open(path);
    EXPECT_EQ(db->query("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'SOKR'")
                  .rows.at(0)
                  .at(0),
              Value::integer(1));
    db->close();
    EXPECT_THROW(createStore(path), DatabaseError);
    std::filesystem::remove_all(folder);
}

TEST(CreateStore, ScriptStartsWithTheFileAndEndsWithCommit) {
    std::vector<std::string> lines = creationScript("/x/OSL.gdb");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "CREATE DATABASE '/x/OSL.gdb' USER 'SYSDBA' PASSWORD 'wintercap';");
    EXPECT_EQ(lines.back(), "COMMIT WORK;");
}

}  // namespace
}  // namespace mirvaly
