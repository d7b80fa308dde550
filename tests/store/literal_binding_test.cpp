#include "store/literal_binding.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace mirvaly {
namespace {

struct BindCase {
    const char* name;
    std::string statement;
    std::optional<std::string> shape;  // nothing: the statement runs as written
    std::vector<Value> values;
};

void PrintTo(const BindCase& c, std::ostream* os) {
    *os << c.name;
}

class BindTest : public ::testing::TestWithParam<BindCase> {};

TEST_P(BindTest, BindsOnlyWholeLiteralElements) {
    const BindCase& c = GetParam();
    std::optional<BoundStatement> b = bindInsertLiterals(c.statement);
    ASSERT_EQ(b.has_value(), c.shape.has_value()) << (b ? b->shape : "");
    if (!b)
        return;
    EXPECT_EQ(b->shape, *c.shape);
    EXPECT_EQ(b->values, c.values);
}

const std::string kLong(32766, 'x');

INSTANTIATE_TEST_SUITE_P(
    Statements, BindTest,
    ::testing::Values(
        BindCase{"StringsAndDigits",
                 "INSERT INTO P (DATEKEY, DATEPROG, TEXT) VALUES (1700000000, '05.03.2024', 'a')",
                 "INSERT INTO P (DATEKEY, DATEPROG, TEXT) VALUES (?, ?, ?)",
                 {Value::integer(1700000000), Value::text("05.03.2024"), Value::text("a")}},
        BindCase{"DoubledQuotesUndone",
                 "insert into R values ('it''s', '''', '')",
                 "insert into R values (?, ?, ?)",
                 {Value::text("it's"), Value::text("'"), Value::text("")}},
        BindCase{
            "TerminatorsCommasAndParensInStrings",
            "INSERT INTO R VALUES ('a, b', '(c)', 'd;e', 'x\ny')",
            "INSERT INTO R VALUES (?, ?, ?, ?)",
            {Value::text("a, b"), Value::text("(c)"), Value::text("d;e"), Value::text("x\ny")}},
        BindCase{"ZeroAndHighBytes",
                 "INSERT INTO R VALUES ('" + std::string("\0\xFF", 2) + "', 7)",
                 "INSERT INTO R VALUES (?, ?)",
                 {Value::text(std::string("\0\xFF", 2)), Value::integer(7)}},
        BindCase{"OtherElementsStayAsWritten",
                 "INSERT INTO R VALUES (NULL, -5, 1.5, 'a' || 'b', GEN_ID(G, 1), X'00', "
                 "_WIN1251 'c', DATE '2024-01-01', \"q\", 1e3, ('p'), 'k')",
                 "INSERT INTO R VALUES (NULL, -5, 1.5, 'a' || 'b', GEN_ID(G, 1), X'00', "
                 "_WIN1251 'c', DATE '2024-01-01', \"q\", 1e3, ('p'), ?)",
                 {Value::text("k")}},
        BindCase{"BlanksAroundElementsKept",
                 "INSERT INTO R VALUES(  'a'\n , 2 )",
                 "INSERT INTO R VALUES(  ?\n , ? )",
                 {Value::text("a"), Value::integer(2)}},
        BindCase{"TooManyDigitsStay",
                 "INSERT INTO R VALUES (1234567890123456789, 1)",
                 "INSERT INTO R VALUES (1234567890123456789, ?)",
                 {Value::integer(1)}},
        BindCase{"TooLongStringStays",
                 "INSERT INTO R VALUES ('" + kLong + "', 1)",
                 "INSERT INTO R VALUES ('" + kLong + "', ?)",
                 {Value::integer(1)}},
        BindCase{"NothingToBind", "INSERT INTO R VALUES (NULL, -1)", std::nullopt, {}},
        BindCase{"NoValuesList", "INSERT INTO R SELECT * FROM S", std::nullopt, {}},
        BindCase{"DefaultValues", "INSERT INTO R DEFAULT VALUES", std::nullopt, {}},
        BindCase{"Returning", "INSERT INTO R VALUES (1) RETURNING ID", std::nullopt, {}},
        BindCase{"BlockComment", "INSERT INTO R /* c */ VALUES (1)", std::nullopt, {}},
        BindCase{"LineComment", "INSERT INTO R VALUES (1) -- c", std::nullopt, {}},
        BindCase{"MarkerOfItsOwn", "INSERT INTO R VALUES (?, 1)", std::nullopt, {}},
        BindCase{"UnclosedString", "INSERT INTO R VALUES ('a)", std::nullopt, {}},
        BindCase{"UnclosedList", "INSERT INTO R VALUES (1", std::nullopt, {}},
        BindCase{"NotAnInsert", "UPDATE R SET A = 1", std::nullopt, {}},
        BindCase{"CommentsInStringsAreText",
                 "INSERT INTO R VALUES ('/* -- ?')",
                 "INSERT INTO R VALUES (?)",
                 {Value::text("/* -- ?")}},
        BindCase{"ColumnListWithQuotedNames",
                 "INSERT INTO R (\"A,)\", B) VALUES (1, '2')",
                 "INSERT INTO R (\"A,)\", B) VALUES (?, ?)",
                 {Value::integer(1), Value::text("2")}}),
    [](const ::testing::TestParamInfo<BindCase>& info) { return info.param.name; });

}  // namespace
}  // namespace mirvaly
