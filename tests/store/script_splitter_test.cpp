#include "store/script_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirvaly {
namespace {

struct Piece {
    std::string text;
    int line;
    StatementKind kind;
};

struct SplitCase {
    const char* name;
    std::string script;
    std::vector<Piece> expected;
};

using K = StatementKind;

// A string literal with every byte, zero bytes included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, GivesStatementsWithTheirLines) {
    const SplitCase& c = GetParam();
    std::vector<ScriptStatement> got = splitScript(c.script);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::string(got[i].text), c.expected[i].text);
        EXPECT_EQ(got[i].line, c.expected[i].line);
        EXPECT_EQ(got[i].kind, c.expected[i].kind);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitTest,
    ::testing::Values(
        SplitCase{"Plain",
                  "INSERT INTO A VALUES (1);\nDELETE FROM A;",
                  {{"INSERT INTO A VALUES (1)", 1, K::Data}, {"DELETE FROM A", 2, K::Data}}},
        SplitCase{"TerminatorInSingleQuotes",
                  "INSERT INTO A VALUES ('a;b');",
                  {{"INSERT INTO A VALUES ('a;b')", 1, K::Data}}},
        SplitCase{"DoubledQuoteStaysInString",
                  "INSERT INTO A VALUES ('it''s; fine');COMMIT;",
                  {{"INSERT INTO A VALUES ('it''s; fine')", 1, K::Data}, {"COMMIT", 1, K::Commit}}},
        SplitCase{"TerminatorInDoubleQuotes",
                  "SELECT 1 AS \"x;y\" FROM RDB$DATABASE;",
                  {{"SELECT 1 AS \"x;y\" FROM RDB$DATABASE", 1, K::Data}}},
        SplitCase{"OtherQuoteInsideString",
                  "INSERT INTO A VALUES ('say \"hi;\"');\nINSERT INTO A VALUES (\"it's;\");",
                  {{"INSERT INTO A VALUES ('say \"hi;\"')", 1, K::Data},
                   {"INSERT INTO A VALUES (\"it's;\")", 2, K::Data}}},
        SplitCase{"StringOverLines",
                  "INSERT INTO A VALUES ('one\ntwo;');\nCOMMIT;",
                  {{"INSERT INTO A VALUES ('one\ntwo;')", 1, K::Data}, {"COMMIT", 3, K::Commit}}},
        SplitCase{"CommentInFrontIsSkipped",
                  "/* header; with terminator */\n\n  /* second */ INSERT INTO A VALUES (1);",
                  {{"INSERT INTO A VALUES (1)", 3, K::Data}}},
        SplitCase{"CommentInsideStatementKeepsIt",
                  "INSERT /* ; */ INTO A VALUES (1);",
                  {{"INSERT /* ; */ INTO A VALUES (1)", 1, K::Data}}},
        SplitCase{"LineCommentIsNotAComment",
                  "-- note; here\nINSERT INTO A VALUES (1);",
                  {{"-- note", 1, K::Unrecognised},
                   {"here\nINSERT INTO A VALUES (1)", 1, K::Unrecognised}}},
        SplitCase{"SetTermSwitchesAndBack",
                  "SET TERM ^ ;\nCREATE TRIGGER T FOR A AS BEGIN X = 1; END^\nSET TERM ; ^\n"
                  "COMMIT WORK;",
                  {{"SET TERM ^", 1, K::SetTerm},
                   {"CREATE TRIGGER T FOR A AS BEGIN X = 1; END", 2, K::Definition},
                   {"SET TERM ;", 3, K::SetTerm},
                   {"COMMIT WORK", 4, K::Commit}}},
        SplitCase{"LongTerminator",
                  "set term !! ;\nEXECUTE BLOCK AS BEGIN END!!\nSELECT 1 FROM RDB$DATABASE!!",
                  {{"set term !!", 1, K::SetTerm},
                   {"EXECUTE BLOCK AS BEGIN END", 2, K::Data},
                   {"SELECT 1 FROM RDB$DATABASE", 3, K::Data}}},
        SplitCase{"EmptyStatementsSkipped",
                  " ;; \n ; INSERT INTO A VALUES (1);;",
                  {{"INSERT INTO A VALUES (1)", 2, K::Data}}},
        SplitCase{"LastStatementWithoutTerminator",
                  "COMMIT;\nINSERT INTO A VALUES (1)\n\n",
                  {{"COMMIT", 1, K::Commit}, {"INSERT INTO A VALUES (1)", 2, K::Data}}},
        SplitCase{"TrailingCommentOnly", "COMMIT; /* end */ \n", {{"COMMIT", 1, K::Commit}}},
        SplitCase{"UnclosedCommentSwallowsRest",
                  "COMMIT; /* INSERT INTO A VALUES (1);",
                  {{"COMMIT", 1, K::Commit}}},
        SplitCase{"UnclosedStringRunsToEnd",
                  "INSERT INTO A VALUES ('x);\nCOMMIT;",
                  {{"INSERT INTO A VALUES ('x);\nCOMMIT;", 1, K::Data}}},
        SplitCase{"ZeroAndHighBytesInStrings",
                  bytes("INSERT INTO A VALUES ('\xC0\0;\xFF');"),
                  {{bytes("INSERT INTO A VALUES ('\xC0\0;\xFF')"), 1, K::Data}}},
        SplitCase{"CrLfLines",
                  "COMMIT;\r\nROLLBACK;\r\n",
                  {{"COMMIT", 1, K::Commit}, {"ROLLBACK", 2, K::Rollback}}},
        SplitCase{"Empty", "", {}}, SplitCase{"BlanksOnly", " \n\t ", {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return info.param.name; });

TEST(ScriptSplitter, TerminatorChangeAppliesOnlyAfterSetTerm) {
    // The old terminator no longer ends statements once SET TERM ran.
    std::vector<ScriptStatement> got = splitScript("SET TERM ^ ;\nA; B^C;");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].text, "A; B");
    EXPECT_EQ(got[1].terminator, "^");
    EXPECT_EQ(got[2].text, "C;");
    EXPECT_EQ(got[2].terminator, "");
}

struct ClassifyCase {
    const char* text;
    StatementKind kind;
};

void PrintTo(const ClassifyCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, ByFirstWords) {
    EXPECT_EQ(classifyStatement(GetParam().text), GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Words, ClassifyTest,
    ::testing::Values(
        ClassifyCase{"CREATE DATABASE 'x.gdb'", K::CreateDatabase},
        ClassifyCase{"create\n  database 'x.gdb'", K::CreateDatabase},
        ClassifyCase{"CREATE SCHEMA 'x.gdb'", K::CreateDatabase},
        ClassifyCase{"CREATE TABLE T (A INTEGER)", K::Definition},
        ClassifyCase{"CREATE GENERATOR G", K::Definition},
        ClassifyCase{"ALTER TABLE T ADD B INTEGER", K::Definition},
        ClassifyCase{"DROP TABLE T", K::Definition},
        ClassifyCase{"DECLARE EXTERNAL FUNCTION F", K::Definition},
        ClassifyCase{"GRANT ALL ON T TO PUBLIC", K::Definition},
        ClassifyCase{"REVOKE ALL ON T FROM PUBLIC", K::Definition},
        ClassifyCase{"SET GENERATOR GEN_P_ID TO 0", K::Definition},
        ClassifyCase{"insert into P values (1)", K::Data},
        ClassifyCase{"UPDATE P SET A = 1", K::Data}, ClassifyCase{"DELETE FROM PROGRAM", K::Data},
        ClassifyCase{"SELECT*FROM P", K::Data}, ClassifyCase{"EXECUTE PROCEDURE X", K::Data},
        ClassifyCase{"EXECUTE BLOCK AS BEGIN END", K::Data}, ClassifyCase{"COMMIT", K::Commit},
        ClassifyCase{"COMMIT WORK", K::Commit}, ClassifyCase{"ROLLBACK WORK", K::Rollback},
        ClassifyCase{"SET SQL DIALECT 3", K::SetDialect}, ClassifyCase{"SET AUTODDL ON", K::Option},
        ClassifyCase{"SET NAMES WIN1251", K::Option},
        ClassifyCase{"SET STATISTICS INDEX P_IDX1", K::Option},
        ClassifyCase{"SET TERM ^", K::SetTerm}, ClassifyCase{"SET TERM", K::Unrecognised},
        ClassifyCase{"SET TRANSACTION", K::Unrecognised}, ClassifyCase{"SET SQL", K::Unrecognised},
        ClassifyCase{"-- comment", K::Unrecognised},
        ClassifyCase{"--INSERT INTO P VALUES (1)", K::Unrecognised},
        ClassifyCase{"INSERTS INTO P", K::Unrecognised},
        ClassifyCase{"MERGE INTO P", K::Unrecognised},
        ClassifyCase{"RECREATE TABLE T (A INTEGER)", K::Unrecognised},
        ClassifyCase{"(SELECT 1 FROM RDB$DATABASE)", K::Unrecognised},
        ClassifyCase{"", K::Unrecognised}));

TEST(SetTermArgument, IsTheRestWithoutBlanks) {
    EXPECT_EQ(setTermArgument("SET TERM ^ "), "^");
    EXPECT_EQ(setTermArgument("set term\n!!"), "!!");
    EXPECT_EQ(setTermArgument("SET TERM^"), "^");
    EXPECT_EQ(setTermArgument("SET TERM  "), "");
}

TEST(FirstWords, UpperCasedAndStopAtSymbols) {
    EXPECT_EQ(firstWords("set sql dialect 3", 4),
              (std::vector<std::string>{"SET", "SQL", "DIALECT", "3"}));
    EXPECT_EQ(firstWords("select*from x", 3), (std::vector<std::string>{"SELECT"}));
    EXPECT_TRUE(firstWords("-- x", 2).empty());
}

}  // namespace
}  // namespace mirvaly

namespace mirvaly {
namespace {

TEST(ScriptLines, EndAtCrLfOrCrLf) {
    using L = std::vector<std::string>;
    EXPECT_EQ(scriptLines("a;\r\nb 'x\r\ny';\nc\rd\r\n"), (L{"a;", "b 'x", "y';", "c", "d"}));
    EXPECT_EQ(scriptLines("\n\r\n\r"), (L{"", "", ""}));
    EXPECT_EQ(scriptLines("last"), (L{"last"}));
    EXPECT_TRUE(scriptLines("").empty());
}

}  // namespace
}  // namespace mirvaly
