#pragma once

// A slow, literal rendering of the rule rewrite: the subject is rebuilt after
// every match and the replacement after every escape, exactly as the rules
// read. The engine keeps the observable behaviour of this while working in
// one pass; tests and the fuzzer compare the two.

#include <cstring>
#include <string>

namespace mirvaly::test {

inline std::string naiveExpand(const std::string& replacement, const std::string (&slots)[10]) {
    std::string t = replacement;
    int insertions = 0;
    // q counts from 1, as the text's characters do.
    for (size_t q = 1; q < t.size(); ++q) {
        if (t[q - 1] != '^')
            continue;
        const char e = t[q];
        std::string inserted;
        if (e == 'p') {
            inserted = "\n";
        } else if (e == 't') {
            inserted = "\t";
        } else if (e == '0') {
        } else if (e >= '1' && e <= '9') {
            if (insertions == 256)
                continue;
            ++insertions;
            inserted = slots[e - '0'];
        } else {
            continue;
        }
        t = t.substr(0, q - 1) + inserted + t.substr(q + 1, 255);
    }
    return t;
}

inline bool naiveAccepts(char escape, unsigned char c, bool& captures) {
    captures = true;
    switch (escape) {
        case '*':
            return c > 32;
        case 'S':
            return c >= 0xC0 && c <= 0xDF;
        case 's':
            return c >= 0xE0;
        case '#':
            return c >= '0' && c <= '9';
        case 'p':
            captures = false;
            return c == '\r' || c == '\n';
        case 't':
            captures = false;
            return c == '\t';
    }
    return false;
}

inline void naiveReplaceByPattern(std::string& s, const std::string& pattern,
                                  const std::string& replacement) {
    if (pattern.empty())
        return;
    for (size_t j = 0; j < pattern.size(); ++j) {
        if (pattern[j] != '^')
            continue;
        if (j + 1 == pattern.size() || pattern[j + 1] == '\0' ||
            !std::strchr("*Ss#pt~", pattern[j + 1]))
            return;
        ++j;
    }
    size_t p = 0;
    while (p < s.size()) {
        std::string slots[10];
        int captured = 0;
        size_t k = p;
        bool ok = true;
        for (size_t j = 0; j < pattern.size();) {
            const bool escape = pattern[j] == '^';
            const size_t next = j + (escape ? 2 : 1);
            if (escape && pattern[j + 1] == '~') {
                const size_t from = k;
                while (k + 1 < s.size() && s[k] != '\r' && s[k] != '\n')
                    ++k;
                if (++captured <= 9)
                    slots[captured] = s.substr(from, k - from);
                j = next;
                continue;
            }
            const auto c = static_cast<unsigned char>(s[k]);
            bool captures = false;
            const bool accepted =
                escape ? naiveAccepts(pattern[j + 1], c, captures) : c == (unsigned char)pattern[j];
            if (!accepted) {
                ok = false;
                break;
            }
            if (captures && ++captured <= 9)
                slots[captured] = std::string(1, static_cast<char>(c));
            ++k;
            j = next;
            if (k == s.size()) {
                ok = j >= pattern.size();
                break;
            }
        }
        if (!ok) {
            ++p;
            continue;
        }
        const std::string x = naiveExpand(replacement, slots);
        if (x == "Del") {
            s.clear();
            return;
        }
        if (x == "No") {
            p += 2;
            continue;
        }
        const bool empty = k == p;
        s = s.substr(0, p) + x + s.substr(k);
        p += x.size() + (empty ? 1 : 0);
    }
}

}  // namespace mirvaly::test
