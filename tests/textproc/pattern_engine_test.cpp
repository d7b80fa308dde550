#include "textproc/pattern_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/codec.h"
#include "tests/textproc/naive_pattern.h"

using namespace std::string_literals;

namespace mirvaly {
namespace {

struct Case {
    const char* name;
    std::string subject;
    std::string pattern;
    std::string replacement;
    std::string expected;
};

std::string applied(const Case& c) {
    std::string s = c.subject;
    ReplaceByPattern(s, c.pattern, c.replacement);
    return s;
}

void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(applied(c), c.expected) << c.name;
        // The slow literal rendering agrees on every case as well.
        std::string slow = c.subject;
        test::naiveReplaceByPattern(slow, c.pattern, c.replacement);
        EXPECT_EQ(slow, c.expected) << c.name << " (literal rendering)";
    }
}

TEST(PatternEngine, LiteralsAndWhereTheNextAttemptStarts) {
    expectAll({
        {"empty subject", "", "a", "b", ""},
        {"pair replaced twice", "abab", "ab", "X", "XX"},
        {"inserted text not searched again", "aaa", "a", "aa", "aaaaaa"},
        {"search goes on after the insert", "ab", "b", "bb", "abb"},
        {"match at the last byte", "xa", "a", "Y", "xY"},
        {"pattern longer than the rest", "ab", "abc", "X", "ab"},
        {"case-sensitive", cp("х/ф"), cp("Х/ф"), "X", cp("х/ф")},
        {"zero bytes are ordinary", "a\0b\0"s, "\0"s, "Z", "aZbZ"},
        {"no match leaves the subject", "abc", "x", "Y", "abc"},
        {"a failed start moves on by one", "aab", "ab", "a", "aa"},
    });
}

TEST(PatternEngine, EscapesAndTheirClasses) {
    expectAll({
        {"times", cp("с 10:30 до 12:00"), "^#^#:^#^#", "^1^2.^3^4", cp("с 10.30 до 12.00")},
        {"capital then small swapped", cp("Война и Мир"), "^S^s", "^2^1", cp("оВйна и иМр")},
        {"^* never a space", "a b", "^*^*", "X", "a b"},
        {"^* one by one", "a b", "^*", "X", "X X"},
        {"^* above 32 only", "\x00\x20\x21\x7f\xff"s, "^*", "X", "\x00\x20XXX"s},
        {"Yo is in neither letter class", cp("ЁжёЖ"), "^S", "X", cp("ЁжёX")},
        {"small Yo is not small", cp("ёж"), "^s", "X", cp("ёX")},
        {"^p matches CR and LF apart", "a\r\nb", "^p", "X", "aXXb"},
        {"^p^p matches the pair", "a\r\nb", "^p^p", "X", "aXb"},
        {"^p and ^t capture nothing", "\n\tx", "^p^t^*", "[^1]", "[x]"},
        {"tenth capture must match", "abcdefghi ", "^*^*^*^*^*^*^*^*^*^*", "X", "abcdefghi "},
        {"tenth capture is not recorded", "abcdefghij", "^*^*^*^*^*^*^*^*^*^*", "[^9^1]", "[ia]"},
        {"slot beyond the captures is empty", "ab12", "^#^#", "[^5]", "ab[]"},
    });
}

TEST(PatternEngine, SpanToTheLineEnd) {
    expectAll({
        {"cell: stops before the last byte", cp("Х/ф Война"), cp("Х/ф ^~"), "[^1]", cp("[Войн]а")},
        {"text: stops before CR", cp("Х/ф Война\r\nМир"), cp("Х/ф ^~"), "[^1]",
         cp("[Война]\r\nМир")},
        {"stops before a lone LF", "x ab\ncd", "x ^~", "[^1]", "[ab]\ncd"},
        {"period at the end of a cell", cp("Конец фильма."), "^~.", "[^1]", cp("[Конец фильма]")},
        {"spans the rest but the last byte", "x1 x2", "x^~", "y", "y2"},
        {"element after the end fails", "ab", "b^~", "X", "ab"},
        {"span may be empty before CR", "a\r\n", "a^~^p", "[^1]", "[]\n"},
        {"empty match steps past its byte", "a", "^~", "X", "Xa"},
        {"empty matches at each line end", "ab\r\ncd", "^~", "X", "XX\rX\nXXd"},
        {"empty expansion of an empty match", "abc", "^~", "", "c"},
    });
}

TEST(PatternEngine, PatternsThatNeverMatch) {
    expectAll({
        {"empty pattern", "abc", "", "X", "abc"},
        {"unknown escape letter", "a^xb", "^x", "Y", "a^xb"},
        {"double caret", "a^^b", "^^", "Y", "a^^b"},
        {"double caret after a literal", "ab", "a^^", "Y", "ab"},
        {"bad pair anywhere", "ab", "a^qb", "Y", "ab"},
        {"lone caret at the end", "a^", "a^", "X", "a^"},
        {"lone caret alone", "^", "^", "X", "^"},
    });
}

TEST(PatternEngine, SpecialValues) {
    expectAll({
        {"Del empties on any match", "abc", "b", "Del", ""},
        {"Del without a match", "abc", "x", "Del", "abc"},
        {"Del built by the expansion", "Dx", "^*x", "^1el", ""},
        {"Del after an empty escape", "abc", "b", "D^0el", ""},
        {"almost Del", "Ax", "^*x", "^1el", "Ael"},
        {"Del is case-sensitive", "abc", "b", "del", "adelc"},
        {"No leaves the match", "abcabc", "b", "No", "abcabc"},
        // After "No" the next attempt is two bytes on, so the "a" is never tried.
        {"No skips the next byte", "NaN", "^*", "^1o", "NaN"},
        {"No only for some matches", "Mab", "^*", "^1o", "Moaobo"},
    });
}

TEST(PatternEngine, ReplacementExpansion) {
    const std::string a300(300, 'a');
    expectAll({
        {"^p is a lone LF", "a;b", ";", "^p", "a\nb"},
        {"^t is a TAB", "a;b", ";", "^t", "a\tb"},
        {"^0 is nothing", "a;b", ";", "[^0]", "a[]b"},
        {"trailing caret stays", "x", "x", "a^", "a^"},
        {"unknown escape stays", "x", "x", "^q", "^q"},
        {"double caret stays, next escape expands", "x", "x", "^^p", "^\n"},
        {"after an empty expansion one byte is skipped", "x", "^*", "^0^1", "^1"},
        {"skipped byte is not an escape start", "x", "x", "^0^t", "^t"},
        {"plain bytes after an empty expansion", "x", "x", "a^0bc", "abc"},
        {"capture scanned from its second byte", "[a^t]", "[^~]", "<^1>", "<a\t>"},
        {"capture's first byte is not examined", "[^tx]", "[^~]", "^1", "^tx"},
        {"capture naming another slot", "Z[a^1]", "^*[^~]", "^2", "aZ"},
        {"single-byte capture of a caret", "^t", "^*", "^1", "^t"},
        {"tail after an escape cut to 255", "x", "^*", "^1" + a300, "x" + a300.substr(45)},
        {"no escape, nothing cut", "x", "x", a300, a300},
        {"short tail after a late escape", "x", "^*", a300 + "^1bb", a300 + "xbb"},
    });
}

// A capture that names its own slot would expand without end; the expansion
// stops inserting slots after 256 insertions and keeps the rest as written.
TEST(PatternEngine, SelfReferringCaptureTerminates) {
    expectAll({{"x^1 in its own slot", "[x^1]", "[^~]", "^1", std::string(256, 'x') + "^1"}});
}

// The one-pass rewrite against the rebuild-per-match rendering over random
// rules and subjects from a small alphabet that makes matches frequent.
TEST(PatternEngine, OnePassAgreesWithRebuildingPerMatch) {
    std::mt19937 rng(20261211);
    const std::string subjectBytes = "ab^1\r\n \t.:09\xC0\xE0\xA8\xB8";
    const std::vector<std::string> elements = {"a",  "b",  ".",  "^*", "^S", "^s", "^#",
                                               "^p", "^t", "^~", "^~", "\r", " "};
    const std::vector<std::string> pieces = {"a",  "^1", "^2", "^3",  "^0", "^p",
                                             "^t", "^",  "No", "Del", "^9", "x"};
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 20000; ++round) {
        std::string subject, pattern, replacement;
        for (size_t i = pick(40); i > 0; --i)
            subject += subjectBytes[pick(subjectBytes.size())];
        for (size_t i = 1 + pick(4); i > 0; --i)
            pattern += elements[pick(elements.size())];
        for (size_t i = pick(4); i > 0; --i)
            replacement += pieces[pick(pieces.size())];
        std::string fast = subject, slow = subject;
        ReplaceByPattern(fast, pattern, replacement);
        test::naiveReplaceByPattern(slow, pattern, replacement);
        ASSERT_EQ(fast, slow) << "subject '" << subject << "' pattern '" << pattern
                              << "' replacement '" << replacement << "'";
    }
}

TEST(PatternEngine, CompiledRuleAppliesToManySubjects) {
    const PatternRule rule("^#^#:^#^#", "^1^2.^3^4");
    EXPECT_TRUE(rule.canMatch());
    std::string a = "07:15", b = "x 23:59 y", c = "none";
    rule.apply(a);
    rule.apply(b);
    rule.apply(c);
    EXPECT_EQ(a, "07.15");
    EXPECT_EQ(b, "x 23.59 y");
    EXPECT_EQ(c, "none");
    EXPECT_FALSE(PatternRule("a^", "x").canMatch());
    EXPECT_FALSE(PatternRule("", "x").canMatch());
}

}  // namespace
}  // namespace mirvaly
