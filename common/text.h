#pragma once

// Small helpers over Windows-1251 text used everywhere instead of local copies.
// Cyrillic capitals are 0xC0..0xDF, small letters 0xE0..0xFF; "Ё" and "ё"
// (0xA8, 0xB8) stand outside both ranges. All functions are total: any byte
// value, zero included, is accepted.

#include <string>
#include <string_view>

namespace mirvaly {

// Case mapping as the Russian Windows locale does it: Latin A-Z, the Russian
// letters 0xC0..0xFF, "Ё"/"ё" and the other Cyrillic letters of the code page
// (Ukrainian, Belarusian, Serbian, Macedonian) change case; every other byte
// stays as it is.
char toLower1251(char c);
char toUpper1251(char c);
std::string toLower1251(std::string_view text);
std::string toUpper1251(std::string_view text);

bool isUpperLetter1251(char c);  // Latin A-Z, Cyrillic capitals, "Ё"
bool isLowerLetter1251(char c);  // Latin a-z, Cyrillic small letters, "ё"
inline bool isLetter1251(char c) {
    return isUpperLetter1251(c) || isLowerLetter1251(c);
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// True for the characters of codes 0 to 32 that trimming removes.
inline bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// The text without leading and trailing characters of codes 0 to 32.
std::string_view trimmed(std::string_view text);

}  // namespace mirvaly
