#include "viewer/case_change.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codec.h"
#include "common/text.h"

using namespace std::string_literals;

namespace mirvaly {
namespace {

struct Case {
    const char* name;
    std::string text;  // UTF-8 here, Windows-1251 when run
    int mode;
    std::string expected;
};

TEST(ChangeCaseOfSelection, SentenceAndWordCase) {
    const std::vector<Case> cases = {
        {"capitals lowered", "НОВОСТИ. ПОГОДА", 0, "Новости. Погода"},
        {"first letters raised", "новости москвы. погода", 0, "Новости москвы. Погода"},
        {"proper noun keeps its capital", "Москва - столица", 0, "Москва - столица"},
        {"selection starts mid-sentence", "москва", 0, "Москва"},
        {"digit after a full stop", "1.5 млн зрителей", 0, "1.5 Млн зрителей"},
        {"yo is not a letter here", "ёлка", 0, "ёЛка"},
        {"only the full stop starts", "да! нет? так. вот", 0, "Да! нет? так. Вот"},
        {"yo leaves the start pending", "ЁЖ ЕЁ", 0, "ЁЖ еЁ"},
        {"Latin as well", "HELLO. world", 0, "Hello. World"},
        {"alphabets do not mix", "Aб Бa", 0, "Aб бa"},
        {"word case", "чемпионат МИРА по футболу", 1, "Чемпионат Мира По Футболу"},
        {"quote after a space", "фильм «война и мир»", 1, "Фильм «Война И Мир»"},
        {"hyphen and line break start no word", "a-b c\r\nd", 1, "A-b C\r\nd"},
        {"spaces do not start sentences", "a b", 0, "A b"},
        {"any other mode is sentence case", "a b", 7, "A b"},
        {"empty selection", "", 1, ""},
        {"lone capital at the end is lowered", "аБ", 0, "Аб"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChangeCaseOfSelection(cp(c.text), c.mode), cp(c.expected)) << c.name;
}

TEST(ChangeCaseOfSelection, EveryByteValueIsAccepted) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string out = ChangeCaseOfSelection(all, 0);
    ASSERT_EQ(out.size(), all.size());
    // "A", the first letter, keeps its capital; every later capital is
    // lowered, except "Я" (0xDF), which the small "а" (0xE0) follows.
    for (int i = 0; i < 256; ++i) {
        const bool lowered = (i > 'A' && i <= 'Z') || (i >= 0xC0 && i < 0xDF);
        EXPECT_EQ(static_cast<unsigned char>(out[i]), lowered ? i + 0x20 : i) << i;
    }
    EXPECT_EQ(ChangeCaseOfSelection("a\0b"s, 0), "A\0b"s);
}

TEST(CaseMapping, LowerAndUpperCaseOfWindows1251) {
    EXPECT_EQ(toUpper1251(cp("ёлка, Ёж и щука: abc")), cp("ЁЛКА, ЁЖ И ЩУКА: ABC"));
    EXPECT_EQ(toLower1251(cp("ЁЛКА, ЁЖ И ЩУКА: ABC")), cp("ёлка, ёж и щука: abc"));
    EXPECT_EQ(toUpper1251(cp("їжак ґава єдність і ў ђ ѓ љ њ ќ ћ џ ј ѕ")),
              cp("ЇЖАК ҐАВА ЄДНІСТЬ І Ў Ђ Ѓ Љ Њ Ќ Ћ Џ Ј Ѕ"));
    EXPECT_EQ(toLower1251(cp("ЇЖАК ҐАВА ЄДНІСТЬ І Ў Ђ Ѓ Љ Њ Ќ Ћ Џ Ј Ѕ")),
              cp("їжак ґава єдність і ў ђ ѓ љ њ ќ ћ џ ј ѕ"));
    // Every byte maps to a byte whose other case maps back, and the signs
    // without case stay as they are.
    for (int i = 0; i < 256; ++i) {
        const char c = static_cast<char>(i);
        const char lo = toLower1251(c), up = toUpper1251(c);
        EXPECT_TRUE(lo == c || up == c) << i;
        if (lo != c) {
            EXPECT_EQ(toUpper1251(lo), c) << i;
        }
        if (up != c) {
            EXPECT_EQ(toLower1251(up), c) << i;
        }
    }
    for (const char sign : cp("0123456789 .,;:!?«»№µ§©®°±¶·€‰—–")) {
        EXPECT_EQ(toLower1251(sign), sign);
        EXPECT_EQ(toUpper1251(sign), sign);
    }
}

}  // namespace
}  // namespace mirvaly
