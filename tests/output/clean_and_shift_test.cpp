#include "output/clean_and_shift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/codec.h"
#include "tests/output/naive_clean_shift.h"

using namespace std::string_literals;

namespace mirvaly {
namespace {

struct Case {
    const char* name;
    std::string text;
    int shift;
    unsigned char cleanUp;
    std::string expected;
    char separator = '.';
};

void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases)
        EXPECT_EQ(CleanAndShiftText(c.text, c.shift, c.cleanUp, c.separator), c.expected) << c.name;
}

TEST(CleanAndShiftText, BlanksPlusSignsAndQuotes) {
    expectAll({
        {"blanks and plus at the ends", cp("  +Новости  "), 0, 1, cp("Новости")},
        {"all leading plus signs", cp("++Кино"), 0, 1, cp("Кино")},
        {"plus then a blank", "+ a", 0, 1, "a"},
        {"plus inside stays", "a+b", 0, 1, "a+b"},
        {"guillemets", cp("«Время»"), 0, 1, "\"" + cp("Время") + "\""},
        {"curly double quotes stay", cp("“Время”"), 0, 1, cp("“Время”")},
        {"the other quote bytes", "`\x8B\x9B\x91\x92", 0, 1, "\"\"\"\"\""},
        {"low quote and apostrophe stay", "\x84'", 0, 1, "\x84'"},
        {"CR LF becomes LF", "A\r\nB", 0, 1, "A\nB"},
        {"tab between words", "a\tb", 0, 1, "a b"},
        {"run ending in LF", "a \t \nb", 0, 1, "a\nb"},
        {"control bytes count as blanks",
         "a\x01\x02"
         "b",
         0, 1,
         "a\x02"
         "b"},
        {"empty text", "", 0, 1, ""},
        {"only blanks", " \t\r\n ", 0, 1, ""},
        {"flag other than 1 cleans nothing", cp("  «a»\tC  "), 0, 2, cp("  «a»\tC  ")},
        {"flag 0 cleans nothing", "++a  b", 0, 0, "++a  b"},
    });
}

TEST(CleanAndShiftText, LatinC) {
    expectAll({
        {"capital before a blank", "C 9.00", 0, 1, cp("С 9.00")},
        {"capital inside a word stays", "CNN", 0, 1, "CNN"},
        {"at the end", "NBC", 0, 1, cp("NBС")},
        {"before a blank", "NBC news", 0, 1, cp("NBС news")},
        {"small before a Cyrillic letter", cp("cок"), 0, 1, cp("сок")},
        {"before a digit stays", "c1", 0, 1, "c1"},
        {"before 0x3A..0x40 stays", "c:c@", 0, 1, "c:c@"},
        {"before 0x5B..0x60 stays", "c[c`", 0, 1, "c[c\""},
        {"before a brace it changes", "c{", 0, 1, cp("с{")},
        {"before a slash it changes", "c/", 0, 1, cp("с/")},
    });
}

TEST(CleanAndShiftText, SlashPairs) {
    expectAll({
        {"pair before a full stop", cp("Фильм /Остров/."), 0, 1, cp("Фильм (Остров).")},
        {"pair at the start", cp("/Остров/ 9.00"), 0, 1, cp("(Остров) 9.00")},
        {"lone slash opens and closes", cp("Кино / Фильм"), 0, 1, cp("Кино ) Фильм")},
        {"lone slash alone", "/", 0, 1, ")"},
        {"after dropped blanks", "  /a/", 0, 1, "(a)"},
        {"no opener, no pair", "a/ b", 0, 1, "a/ b"},
        {"a later opener wins", "/a /b/", 0, 1, "/a (b)"},
        {"no pair without clean-up", "/a/", 0, 0, "/a/"},
    });
}

TEST(CleanAndShiftText, TimesAndTheHourArithmetic) {
    expectAll({
        {"wraps past midnight", "23.30", 2, 0, "1.30"},
        {"colon becomes the separator", "9:05", 2, 0, "11.05"},
        {"leading zero goes", "08.00", 2, 0, "10.00"},
        {"negative shift wraps", "00.15", -1, 0, "23.15"},
        {"seconds dropped", "09:30:00", 0, 0, "9.30"},
        {"one-digit hour with seconds", "9:05:30", 0, 0, "9.05"},
        {"hour 24 is 0", "24.00", 0, 0, "0.00"},
        {"hour grows to two digits", "5.30", 10, 0, "15.30"},
        {"shift beyond a day", "5.30", 49, 0, "6.30"},
        {"negative shift beyond a day", "5.30", -25, 0, "4.30"},
        {"seconds and wrap", cp("Новости 21:00:00"), 3, 0, cp("Новости 0.00")},
        {"other separator", "9.00 21:15", 1, 0, "10:00 22:15", ':'},
        {"clean-up with shift 0 still rewrites", "  09:30:00  ", 0, 1, "9.30"},
        {"full stop ending a sentence", "12.30.", 1, 0, "13.30."},
        {"full stop before a blank", "12.30. x", 1, 0, "13.30. x"},
        {"dot before a blank is no part", "9. 30", 1, 0, "9. 30"},
        {"hour and minutes only", "12:3", 1, 0, "12:3"},
    });
}

TEST(CleanAndShiftText, DatesAndLongerNumbers) {
    expectAll({
        {"date kept", "12.05.08 9.30", 2, 0, "12.05.08 11.30"},
        {"short date keeps the byte after it", "1.05.08+9.30", 2, 0, "1.05.08+11.30"},
        {"short date with clean-up copies blanks", "1.05.08  x", 0, 1, "1.05.08  x"},
        {"copied tab stays a tab", "1.05.08\tx", 0, 1, "1.05.08\tx"},
        {"date at the end", "1.05.08", 5, 0, "1.05.08"},
        {"price", cp("Цена 1.500"), 1, 0, cp("Цена 1.500")},
        {"time inside a longer number", "100.50", 1, 0, "11.50"},
        {"no time in 12.30.5", "12.30.5", 1, 0, "12.30.5"},
        // The whole group matches no shape at its first digit; its tail
        // 30.45 is a time of hour 30.
        {"mixed group", "12:30.45", 0, 0, "12:6.45"},
    });
}

// Each one-digit hour that becomes two digits adds a byte, so the result may
// outgrow the input by far more than a fixed margin.
TEST(CleanAndShiftText, ResultGrowsPastTheInputLength) {
    std::string text, expected;
    for (int i = 0; i < 20000; ++i)
        text += "1.00 ", expected += "11.00 ";
    EXPECT_EQ(CleanAndShiftText(text, 10, 0, '.'), expected);
}

// The zero byte ends the output once it is written; the clean-up treats it
// as a blank, so where the blank rule drops it the text goes on.
TEST(CleanAndShiftText, ZeroByteEndsTheOutput) {
    expectAll({
        {"without clean-up", "a\0b"s, 0, 0, "a"},
        {"with clean-up", "a\0b"s, 0, 1, "a"},
        {"at the start without clean-up", "\0a"s, 0, 0, ""},
        {"at the start, dropped by the clean-up", "\0a"s, 0, 1, "a"},
        {"inside a run of blanks, dropped", "x \0 y"s, 0, 1, "x y"},
        {"last of a run, written", "x \0y"s, 0, 1, "x"},
        {"a later closing slash still opens the pair", "/a\0b/"s, 0, 1, "(a"},
        {"copied with a short date", "1.05.08\0x"s, 0, 1, "1.05.08"},
        {"after a time", "12:30\0 9.00"s, 1, 0, "13.30"},
        {"zero separator", "9.30 x", 0, 0, "9"s, '\0'},
    });
}

// The routine copies runs of bytes at once and compares shapes as packed
// numbers; over random texts from a small alphabet that makes times, dates,
// slashes and blanks frequent, it must agree with the byte-at-a-time rendering.
TEST(CleanAndShiftText, AgreesWithTheStepByStepRendering) {
    std::mt19937 rng(611);
    const std::string alphabet = "0129.:.: /+\t\r\nCcxX\xAB\x93\xC0\xF1\0"s;
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (size_t i = pick(48); i > 0; --i)
            text += alphabet[pick(alphabet.size())];
        if (pick(4) != 0)
            text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        const int shift = static_cast<int>(pick(61)) - 30;
        const unsigned char cleanUp = static_cast<unsigned char>(pick(3));
        const char separator = pick(2) ? '.' : ':';
        ASSERT_EQ(CleanAndShiftText(text, shift, cleanUp, separator),
                  test::naiveCleanAndShiftText(text, shift, cleanUp, separator))
            << "text '" << text << "' shift " << shift << " clean-up " << int(cleanUp);
    }
}

}  // namespace
}  // namespace mirvaly
