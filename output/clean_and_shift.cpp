#include "output/clean_and_shift.h"

#include <cstring>

namespace mirvaly {
namespace {

bool isQuote(unsigned char c) {
    switch (c) {
        case 0xAB:
        case 0xBB:
        case 0x60:
        case 0x8B:
        case 0x9B:
        case 0x91:
        case 0x92:
            return true;
        default:
            return false;
    }
}

bool isDigitByte(unsigned char c) {
    return c >= '0' && c <= '9';
}

struct TimeShape {
    const char* shape;
    int hourDigits;
    int minuteAt;  // offset of the first minute digit from the first digit
    int length;
};

constexpr TimeShape kTimeShapes[] = {
    {"d:dd:dd", 1, 2, 7}, {"dd:dd:dd", 2, 3, 8}, {"d.dd", 1, 2, 4},
    {"d:dd", 1, 2, 4},    {"dd.dd", 2, 3, 5},    {"dd:dd", 2, 3, 5},
};

// The shape of the characters from `i` on: "d" per digit, ":" and "." (a "."
// only when the byte after it is above 32), at most ten of them.
std::string_view readShape(const unsigned char* in, size_t n, size_t i, char (&buf)[10]) {
    size_t len = 0;
    for (size_t k = i; k < n && len < sizeof buf; ++k) {
        const unsigned char d = in[k];
        if (isDigitByte(d)) {
            buf[len++] = 'd';
        } else if (d == ':') {
            buf[len++] = ':';
        } else if (d == '.' && k + 1 < n && in[k + 1] > 0x20) {
            buf[len++] = '.';
        } else {
            break;
        }
    }
    return std::string_view(buf, len);
}

}  // namespace

std::string CleanAndShiftText(std::string_view text, int shift, unsigned char cleanUp,
                              char separator) {
    const size_t n = text.size();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    // Only a one-digit hour growing to two digits lengthens the text, by one
    // byte per shape of four bytes at least.
    std::string result(n + n / 4 + 2, '\0');
    auto* out = reinterpret_cast<unsigned char*>(result.data());
    size_t w = 0;
    const bool clean = cleanUp == 1;
    const int shift24 = shift % 24;
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t openSlash = kNone;  // output position of a "/" that may open a pair

    for (size_t i = 0; i < n; ++i) {
        unsigned char c = in[i];
        const unsigned char next = i + 1 < n ? in[i + 1] : 0;
        if (clean) {
            if (c == '/') {
                if (w == 0 || (i > 0 && in[i - 1] <= 0x20))
                    openSlash = w;
                if ((next <= 0x20 || next == '.') && openSlash != kNone) {
                    // A slash that opens and closes at once ends up as ")".
                    out[openSlash] = '(';
                    out[w++] = ')';
                    openSlash = kNone;
                    continue;
                }
            }
            if (c == '\t')
                c = ' ';
            if (c <= 0x20 && (w == 0 || next <= 0x20))
                continue;
            out[w++] = c;
            if (c == '+' && w == 1) {
                w = 0;
                continue;
            }
            if (isQuote(c)) {
                out[w - 1] = '"';
                continue;
            }
            if (c == 'C' || c == 'c') {
                if (next < 0x30 || next > 0x7A)
                    out[w - 1] = c == 'C' ? 0xD1 : 0xF1;
                continue;
            }
        } else {
            out[w++] = c;
        }
        if (!isDigitByte(c))
            continue;

        char buf[10];
        const std::string_view shape = readShape(in, n, i, buf);
        if (shape.size() < 4)
            continue;
        if (shape == "dd.dd.dd" || shape == "d.dd.dd") {
            const size_t end = i + 8 < n ? i + 8 : n;
            for (size_t k = i + 1; k < end; ++k)
                out[w++] = in[k];
            i = end - 1;
            continue;
        }
        for (const TimeShape& t : kTimeShapes) {
            if (shape != t.shape)
                continue;
            int hour = in[i] - '0';
            if (t.hourDigits == 2)
                hour = hour * 10 + (in[i + 1] - '0');
            const int shifted = ((hour + shift24) % 24 + 24) % 24;
            --w;  // the hour's first digit, written above
            if (shifted >= 10)
                out[w++] = static_cast<unsigned char>('0' + shifted / 10);
            out[w++] = static_cast<unsigned char>('0' + shifted % 10);
            out[w++] = static_cast<unsigned char>(separator);
            out[w++] = in[i + t.minuteAt];
            out[w++] = in[i + t.minuteAt + 1];
            i += t.length - 1;
            break;
        }
    }
    result.resize(w);
    const void* zero = std::memchr(result.data(), '\0', w);
    if (zero)
        result.resize(static_cast<const char*>(zero) - result.data());
    return result;
}

}  // namespace mirvaly
