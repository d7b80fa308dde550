#include "viewer/case_change.h"

namespace mirvaly {
namespace {

bool isRussianCapital(unsigned char c) {
    return c >= 0xC0 && c <= 0xDF;
}
bool isRussianSmall(unsigned char c) {
    return c >= 0xE0;
}
bool isLatinCapital(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}
bool isLatinSmall(unsigned char c) {
    return c >= 'a' && c <= 'z';
}

}  // namespace

std::string ChangeCaseOfSelection(std::string_view selection, int mode) {
    std::string out(selection);
    const size_t n = out.size();
    bool start = false;
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        const auto next = i + 1 < n ? static_cast<unsigned char>(selection[i + 1]) : 0;
        if (c == '.' || (mode == 1 && c == ' ')) {
            start = true;
            continue;
        }
        if (i == 0)
            start = true;
        unsigned char result = c;
        if (isRussianCapital(c) || isLatinCapital(c)) {
            const bool smallFollows =
                isRussianCapital(c) ? isRussianSmall(next) : isLatinSmall(next);
            if (start) {
                start = false;
            } else if (!smallFollows) {
                result = c + 0x20;
            }
        } else if (isRussianSmall(c) || isLatinSmall(c)) {
            if (start) {
                start = false;
                result = c - 0x20;
            }
        }
        out[i] = static_cast<char>(result);
    }
    return out;
}

}  // namespace mirvaly
