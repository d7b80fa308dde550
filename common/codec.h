#pragma once

// Conversions between the code pages the program meets. Programme text is held
// as Windows-1251 bytes everywhere below the windows; source literals are UTF-8;
// the DOS format writes code page 866. Characters without a counterpart in the
// target become '?'. None of these functions throws.

#include <string>
#include <string_view>

namespace mirvaly {

std::string utf8ToCp1251(std::string_view utf8);
std::string cp1251ToUtf8(std::string_view cp1251);
std::string cp1251ToCp866(std::string_view cp1251);

// Shorthand for texts written in the source as UTF-8 literals:
// cp("Обновить") gives the Windows-1251 bytes of the word.
inline std::string cp(std::string_view utf8) { return utf8ToCp1251(utf8); }

}  // namespace mirvaly
