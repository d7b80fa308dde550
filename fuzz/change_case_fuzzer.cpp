// Sentence case and word case of any bytes: the length never changes, a byte
// changes only into the other case of the same letter, and the two modes agree
// on text without spaces. Layout: [mode] selection.

#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/case_change.h"

namespace {

bool sameLetterOtherCase(unsigned char a, unsigned char b) {
    const bool russian = a >= 0xC0 && b >= 0xC0;
    const bool latin = ((a | 0x20) >= 'a' && (a | 0x20) <= 'z') && (a ^ b) == 0x20;
    return (russian || latin) && (a ^ b) == 0x20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int mode = data[0] % 3;
    const std::string selection(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string out = mirvaly::ChangeCaseOfSelection(selection, mode);
    if (out.size() != selection.size())
        __builtin_trap();
    for (size_t i = 0; i < out.size(); ++i) {
        const auto a = static_cast<unsigned char>(selection[i]);
        const auto b = static_cast<unsigned char>(out[i]);
        if (a != b && !sameLetterOtherCase(a, b))
            __builtin_trap();
    }
    if (selection.find(' ') == std::string::npos &&
        out != mirvaly::ChangeCaseOfSelection(selection, 1 - (mode == 1)))
        __builtin_trap();
    return 0;
}
