#pragma once

// Sentence case and word case of a selection of Windows-1251 text.
//
// Mode 0 capitalises the first letter of the selection and the first letter
// after each "."; mode 1 also the first letter after each space. A capital
// elsewhere is lowered unless a small letter of its own alphabet (Russian
// 0xE0..0xFF, Latin a-z) follows it, so words in capitals are lowered and
// capitalised words keep their capital. Only Latin and the Russian letters
// 0xC0..0xFF take part; "Ё", "ё" and every other byte stay as they are and
// leave a pending capital for the next letter. Any other mode counts as 0.
//
// The result has the selection's length; any byte value is accepted.

#include <string>
#include <string_view>

namespace mirvaly {

std::string ChangeCaseOfSelection(std::string_view selection, int mode);

}  // namespace mirvaly
