#include "common/text.h"

#include <array>

namespace mirvaly {
namespace {

constexpr unsigned char kUpperYo = 0xA8;
constexpr unsigned char kLowerYo = 0xB8;

// Capital/small pairs of the code page outside A-Z and 0xC0..0xFF: Ё and the
// Cyrillic letters of the neighbouring languages (Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Є Ї І Ѕ),
// mapped as the Windows locale maps them.
constexpr unsigned char kExtraPairs[][2] = {
    {0x80, 0x90},         {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
    {0x8E, 0x9E},         {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
    {kUpperYo, kLowerYo}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

struct CaseTables {
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    constexpr CaseTables() {
        for (int i = 0; i < 256; ++i)
            lower[i] = upper[i] = static_cast<unsigned char>(i);
        for (int i = 'A'; i <= 'Z'; ++i) {
            lower[i] = static_cast<unsigned char>(i + 32);
            upper[i + 32] = static_cast<unsigned char>(i);
        }
        for (int i = 0xC0; i <= 0xDF; ++i) {
            lower[i] = static_cast<unsigned char>(i + 32);
            upper[i + 32] = static_cast<unsigned char>(i);
        }
        for (const auto& pair : kExtraPairs) {
            lower[pair[0]] = pair[1];
            upper[pair[1]] = pair[0];
        }
    }
};

constexpr CaseTables kCase;

}  // namespace

char toLower1251(char c) {
    return static_cast<char>(kCase.lower[static_cast<unsigned char>(c)]);
}

char toUpper1251(char c) {
    return static_cast<char>(kCase.upper[static_cast<unsigned char>(c)]);
}

std::string toLower1251(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = toLower1251(c);
    return out;
}

std::string toUpper1251(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = toUpper1251(c);
    return out;
}

bool isUpperLetter1251(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF) || u == kUpperYo;
}

bool isLowerLetter1251(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || u >= 0xE0 || u == kLowerYo;
}

std::string_view trimmed(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace mirvaly
