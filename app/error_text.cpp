#include "app/error_text.h"

#include "common/codec.h"

namespace mirvaly {
namespace {

// Strict enough to tell UTF-8 from Windows-1251: Cyrillic Windows-1251 text
// almost never forms valid multi-byte sequences.
bool isUtf8WithNonAscii(std::string_view s) {
    bool nonAscii = false;
    for (size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80             ? 0
                       : (c & 0xE0) == 0xC0 ? 1
                       : (c & 0xF0) == 0xE0 ? 2
                       : (c & 0xF8) == 0xF0 ? 3
                                            : 99;
        if (extra == 99 || (extra == 1 && c < 0xC2) || (extra > 0 && i + extra >= s.size()))
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        nonAscii = nonAscii || extra > 0;
        i += extra + 1;
    }
    return nonAscii;
}

}  // namespace

std::string errorTextForDisplay(std::string_view what) {
    if (isUtf8WithNonAscii(what))
        return utf8ToCp1251(what);
    return std::string(what);
}

}  // namespace mirvaly
