#include "output/clean_and_shift.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace mirvaly {
namespace {

constexpr bool isQuote(unsigned char c) {
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

constexpr bool isDigitByte(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Bytes that the clean-up copies as they are, whatever surrounds them: not a
// blank, "/", "+", a quote, a Latin C/c or a digit.
struct PlainBytes {
    bool byte[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x21; c < 256; ++c)
            byte[c] = !isQuote(static_cast<unsigned char>(c)) && c != '/' && c != '+' && c != 'C' &&
                      c != 'c' && !isDigitByte(static_cast<unsigned char>(c));
    }
};
constexpr PlainBytes kPlain;

// Position of the first digit at or after `from`, or n.
size_t nextDigit(const unsigned char* b, size_t from, size_t n) {
#ifdef __SSE2__
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    for (; from + 16 <= n; from += 16) {
        const __m128i v =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + from)), zero);
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, nine), v));
        if (mask)
            return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (from < n && !isDigitByte(b[from]))
        ++from;
    return from;
}

// A shape packed two bits a character ("d" 1, "." 2, ":" 3), first
// character highest, so that a shape compares as one number.
constexpr uint32_t packShape(std::string_view shape) {
    uint32_t code = 0;
    for (char c : shape)
        code = code << 2 | (c == 'd' ? 1u : c == '.' ? 2u : 3u);
    return code;
}

constexpr uint32_t kLongDate = packShape("dd.dd.dd");
constexpr uint32_t kShortDate = packShape("d.dd.dd");

struct TimeShape {
    uint32_t code;
    int hourDigits;
    int minuteAt;  // offset of the first minute digit from the first digit
    int length;
};

constexpr TimeShape kTimeShapes[] = {
    {packShape("d:dd:dd"), 1, 2, 7}, {packShape("dd:dd:dd"), 2, 3, 8},
    {packShape("d.dd"), 1, 2, 4},    {packShape("d:dd"), 1, 2, 4},
    {packShape("dd.dd"), 2, 3, 5},   {packShape("dd:dd"), 2, 3, 5},
};

// The packed shape of the characters from `i` on: "d" per digit, ":" and "."
// (a "." only when the byte after it is above 32), at most ten of them.
uint32_t readShape(const unsigned char* in, size_t n, size_t i) {
    uint32_t code = 0;
    const size_t end = i + 10 < n ? i + 10 : n;
    for (size_t k = i; k < end; ++k) {
        const unsigned char d = in[k];
        if (isDigitByte(d)) {
            code = code << 2 | 1;
        } else if (d == ':') {
            code = code << 2 | 3;
        } else if (d == '.' && k + 1 < n && in[k + 1] > 0x20) {
            code = code << 2 | 2;
        } else {
            break;
        }
    }
    return code;
}

}  // namespace

std::string CleanAndShiftText(std::string_view text, int shift, unsigned char cleanUp,
                              char separator) {
    const bool clean = cleanUp == 1;
    // The result ends at the first zero byte written. Without the clean-up
    // every byte is written, so nothing after the text's first zero byte can
    // count; the clean-up drops a zero byte like any other blank and goes on.
    if (!clean)
        text = text.substr(0, std::min(text.size(), text.find('\0')));
    const size_t n = text.size();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    // Only a one-digit hour growing to two digits lengthens the text, by one
    // byte per shape of four bytes at least.
    std::string result(n + n / 4 + 2, '\0');
    auto* out = reinterpret_cast<unsigned char*>(result.data());
    size_t w = 0;
    const int shift24 = shift % 24;
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t openSlash = kNone;  // output position of a "/" that may open a pair

    for (size_t i = 0; i < n; ++i) {
        unsigned char c = in[i];
        const unsigned char next = i + 1 < n ? in[i + 1] : 0;
        if (clean && kPlain.byte[c]) {
            // A byte no clean-up step looks at: copy the whole run of them.
            size_t k = i;
            while (k < n && kPlain.byte[in[k]])
                out[w++] = in[k++];
            i = k - 1;
            continue;
        }
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
        } else if (!isDigitByte(c)) {
            // Without clean-up only digits matter: copy up to the next one.
            const size_t run = nextDigit(in, i, n) - i;
            std::memcpy(out + w, in + i, run);
            w += run;
            i += run - 1;
            continue;
        } else {
            out[w++] = c;
        }
        if (!isDigitByte(c))
            continue;

        const uint32_t shape = readShape(in, n, i);
        if (shape < packShape("dddd"))
            continue;  // fewer than four characters
        if (shape == kLongDate || shape == kShortDate) {
            const size_t end = i + 8 < n ? i + 8 : n;
            for (size_t k = i + 1; k < end; ++k)
                out[w++] = in[k];
            i = end - 1;
            continue;
        }
        for (const TimeShape& t : kTimeShapes) {
            if (shape != t.code)
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
    // A zero separator ends the result too.
    const void* zero = std::memchr(result.data(), '\0', w);
    if (zero)
        result.resize(static_cast<const char*>(zero) - result.data());
    return result;
}

}  // namespace mirvaly
