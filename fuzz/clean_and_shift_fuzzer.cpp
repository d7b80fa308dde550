// Runs the clean-up and time shift on any text with any shift, flag and
// separator, and compares it with the byte-at-a-time rendering.
// Layout: [shift][clean-up flag][separator] text.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "output/clean_and_shift.h"
#include "tests/output/naive_clean_shift.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int shift = static_cast<int8_t>(data[0]) * 1000003;  // large shifts too
    const unsigned char cleanUp = data[1] % 3;                 // 0, 1 and "not 1"
    const char separator = static_cast<char>(data[2]);
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::string out = mirvaly::CleanAndShiftText(text, shift, cleanUp, separator);
    // Only a one-digit hour becoming two digits lengthens the text.
    if (out.size() > text.size() + text.size() / 4)
        __builtin_trap();
    if (std::memchr(out.data(), '\0', out.size()))
        __builtin_trap();
    if (cleanUp != 1 && separator != '\0' && text.find('\0') == std::string::npos &&
        (shift % 24 == 0) && out.size() > text.size())
        __builtin_trap();
    if (out != mirvaly::test::naiveCleanAndShiftText(text, shift, cleanUp, separator))
        __builtin_trap();
    return 0;
}
