#include "common/text.h"

namespace mirvaly {
namespace {

constexpr unsigned char kUpperYo = 0xA8;
constexpr unsigned char kLowerYo = 0xB8;

}  // namespace

char toLower1251(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF)) return static_cast<char>(u + 32);
    if (u == kUpperYo) return static_cast<char>(kLowerYo);
    return c;
}

char toUpper1251(char c) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u >= 0xE0) return static_cast<char>(u - 32);
    if (u == kLowerYo) return static_cast<char>(kUpperYo);
    return c;
}

std::string toLower1251(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toLower1251(c);
    return out;
}

std::string toUpper1251(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toUpper1251(c);
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
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

}  // namespace mirvaly
