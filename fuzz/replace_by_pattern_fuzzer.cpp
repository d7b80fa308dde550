// Applies a rule taken from the input to a subject taken from the input and
// compares the one-pass engine with the literal rebuild-per-match rendering.
// Layout: [pattern length][replacement length] pattern replacement subject.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/textproc/naive_pattern.h"
#include "textproc/pattern_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t patternLen = data[0] % 24;
    size_t replacementLen = data[1] % 48;
    const char* rest = reinterpret_cast<const char*>(data + 2);
    size_t left = size - 2;
    patternLen = patternLen < left ? patternLen : left;
    const std::string pattern(rest, patternLen);
    rest += patternLen, left -= patternLen;
    replacementLen = replacementLen < left ? replacementLen : left;
    const std::string replacement(rest, replacementLen);
    rest += replacementLen, left -= replacementLen;
    const std::string subject(rest, left);

    std::string fast = subject;
    mirvaly::ReplaceByPattern(fast, pattern, replacement);
    std::string slow = subject;
    mirvaly::test::naiveReplaceByPattern(slow, pattern, replacement);
    if (fast != slow)
        __builtin_trap();
    return 0;
}
