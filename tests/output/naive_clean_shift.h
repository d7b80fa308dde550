#pragma once

// A slow, step-by-step rendering of the clean-up and time shift: one byte at
// a time, shapes read as strings, the output an ordinary growing string. The
// routine's bulk copies and packed shape codes must give exactly this.

#include <string>
#include <string_view>

namespace mirvaly::test {

inline std::string naiveCleanAndShiftText(std::string_view text, int shift, unsigned char cleanUp,
                                          char separator) {
    std::string in(text);
    std::string out;
    auto at = [&](size_t k) -> unsigned char {
        return k < in.size() ? static_cast<unsigned char>(in[k]) : 0;
    };
    bool open = false;
    size_t openAt = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        const unsigned char next = at(i + 1);
        if (cleanUp == 1) {
            if (in[i] == '/') {
                if (out.empty() || (i > 0 && at(i - 1) <= 0x20))
                    open = true, openAt = out.size();
                if ((next <= 0x20 || next == '.') && open) {
                    out.push_back(')');
                    if (openAt + 1 < out.size())
                        out[openAt] = '(';
                    open = false;
                    continue;
                }
            }
            if (in[i] == '\t')
                in[i] = ' ';
            if (at(i) <= 0x20 && (out.empty() || next <= 0x20))
                continue;
            out.push_back(in[i]);
            if (in[i] == '+' && out.size() == 1) {
                out.clear();
                continue;
            }
            if (std::string_view("\xAB\xBB\x60\x8B\x9B\x91\x92").find(in[i]) !=
                std::string_view::npos) {
                out.back() = '"';
                continue;
            }
            if (in[i] == 'C' || in[i] == 'c') {
                if (next < 0x30 || next > 0x7A)
                    out.back() = in[i] == 'C' ? '\xD1' : '\xF1';
                continue;
            }
        } else {
            out.push_back(in[i]);
        }
        if (in[i] < '0' || in[i] > '9')
            continue;
        std::string shape;
        for (size_t k = i; k < in.size() && shape.size() < 10; ++k) {
            if (in[k] >= '0' && in[k] <= '9')
                shape += 'd';
            else if (in[k] == ':')
                shape += ':';
            else if (in[k] == '.' && at(k + 1) > 0x20)
                shape += '.';
            else
                break;
        }
        if (shape == "dd.dd.dd" || shape == "d.dd.dd") {
            for (size_t k = i + 1; k < i + 8 && k < in.size(); ++k)
                out.push_back(in[k]);
            i += 7;
            continue;
        }
        int hourDigits = 0, minuteAt = 0, length = 0;
        if (shape == "d:dd:dd")
            hourDigits = 1, minuteAt = 2, length = 7;
        else if (shape == "dd:dd:dd")
            hourDigits = 2, minuteAt = 3, length = 8;
        else if (shape == "d.dd" || shape == "d:dd")
            hourDigits = 1, minuteAt = 2, length = 4;
        else if (shape == "dd.dd" || shape == "dd:dd")
            hourDigits = 2, minuteAt = 3, length = 5;
        else
            continue;
        int hour = in[i] - '0';
        if (hourDigits == 2)
            hour = hour * 10 + (in[i + 1] - '0');
        long long shifted = (static_cast<long long>(hour) + shift) % 24;
        if (shifted < 0)
            shifted += 24;
        out.pop_back();
        out += std::to_string(shifted);
        out += separator;
        out += in[i + minuteAt];
        out += in[i + minuteAt + 1];
        i += length - 1;
    }
    const size_t outZero = out.find('\0');
    if (outZero != std::string::npos)
        out.resize(outZero);
    return out;
}

}  // namespace mirvaly::test
