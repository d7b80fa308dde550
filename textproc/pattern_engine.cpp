#include "textproc/pattern_engine.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace mirvaly {
namespace {

constexpr size_t kCarryOver = 255;  // bytes kept after an expanded escape
// A capture holding "^1" would be expanded again and again for ever; past this
// many slot insertions in one expansion, slot escapes stay as written. An
// expansion of the replacement alone never needs more than 128.
constexpr int kSlotInsertions = 256;
constexpr int kSlotToken = 256;  // template token for slot n: kSlotToken + n

bool isReplacementEscape(int c) {
    return c == 'p' || c == 't' || (c >= '0' && c <= '9');
}

// Position of the first `c` at or after `from`, or s.size().
size_t findByte(std::string_view s, size_t from, char c) {
    const void* hit = std::memchr(s.data() + from, c, s.size() - from);
    return hit ? static_cast<const char*>(hit) - s.data() : s.size();
}

// Position of the first byte at or after `from` within lo..hi, or n.
size_t findInRange(const unsigned char* b, size_t from, size_t n, unsigned char lo,
                   unsigned char hi) {
    const unsigned char span = hi - lo;
#ifdef __SSE2__
    const __m128i vlo = _mm_set1_epi8(static_cast<char>(lo));
    const __m128i vspan = _mm_set1_epi8(static_cast<char>(span));
    for (; from + 16 <= n; from += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + from));
        const __m128i v = _mm_sub_epi8(x, vlo);
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, vspan), v));
        if (mask)
            return from + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    for (; from < n; ++from) {
        const unsigned char offset = b[from] - lo;
        if (offset <= span)
            break;
    }
    return from;
}

}  // namespace

struct PatternRule::Match {
    size_t begin[10] = {};
    size_t length[10] = {};
    size_t end = 0;
    std::string_view slot(std::string_view s, int n) const { return s.substr(begin[n], length[n]); }
};

// The growing result: written through a pointer, trimmed once at the end.
struct PatternRule::Writer {
    std::string buf;
    size_t size = 0;
    char* room(size_t k) {
        if (size + k > buf.size())
            buf.resize(std::max(buf.size() * 2, size + k));
        return buf.data() + size;
    }
    void put(std::string_view bytes) {
        std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
        size += bytes.size();
    }
};

struct PatternRule::Scratch {
    // Per "^~" element, the next LF and the next CR found and where each
    // search began: no such byte lies between the two. An element's start
    // never moves back from one attempt to the next, so each stretch of the
    // subject is searched once per element, however far the next break is.
    struct Breaks {
        size_t lfFrom = 1, lfAt = 0;  // from > at: nothing known yet
        size_t crFrom = 1, crAt = 0;
    };
    std::vector<Breaks> breaks;
    std::string text;
    std::string tail;

    size_t lineEnd(std::string_view s, size_t j, size_t k) {
        Breaks& b = breaks[j];
        if (!(b.lfFrom <= k && k <= b.lfAt))
            b.lfFrom = k, b.lfAt = findByte(s, k, '\n');
        if (!(b.crFrom <= k && k <= b.crAt))
            b.crFrom = k, b.crAt = findByte(s, k, '\r');
        return std::min(b.lfAt, b.crAt);
    }
};

PatternRule::PatternRule(std::string_view pattern, std::string_view replacement)
    : m_replacement(replacement) {
    bool bad = false;
    int captures = 0;
    for (size_t j = 0; j < pattern.size() && !bad;) {
        Element el;
        bool capturing = true;
        if (pattern[j] != '^') {
            el.isLiteral = true;
            el.literal = static_cast<unsigned char>(pattern[j]);
            el.accepts[el.literal] = true;
            capturing = false;
            j += 1;
        } else if (j + 1 == pattern.size()) {
            bad = true;  // a lone "^" at the end
            break;
        } else {
            switch (pattern[j + 1]) {
                case '*':
                    for (int c = 33; c < 256; ++c)
                        el.accepts[c] = true;
                    break;
                case 'S':
                    for (int c = 0xC0; c <= 0xDF; ++c)
                        el.accepts[c] = true;
                    break;
                case 's':
                    for (int c = 0xE0; c <= 0xFF; ++c)
                        el.accepts[c] = true;
                    break;
                case '#':
                    for (int c = '0'; c <= '9'; ++c)
                        el.accepts[c] = true;
                    break;
                case 'p':
                    el.accepts[0x0D] = el.accepts[0x0A] = true;
                    capturing = false;
                    break;
                case 't':
                    el.accepts[0x09] = true;
                    capturing = false;
                    break;
                case '~':
                    el.isSpan = true;
                    break;
                default:
                    bad = true;
                    break;
            }
            j += 2;
        }
        if (!bad && !el.isSpan && !el.isLiteral) {
            int lo = 0, hi = 255;
            while (!el.accepts[lo])
                ++lo;
            while (!el.accepts[hi])
                --hi;
            el.isRange =
                std::all_of(el.accepts + lo, el.accepts + hi + 1, [](bool a) { return a; });
            el.rangeLow = static_cast<unsigned char>(lo);
            el.rangeHigh = static_cast<unsigned char>(hi);
        }
        if (capturing && ++captures <= 9) {
            el.slot = captures;
            if (el.isSpan)
                m_spanSlots |= 1u << captures;
        }
        m_elements.push_back(el);
    }
    m_captureCount = std::min(captures, 9);
    m_canMatch = !bad && !m_elements.empty();
    if (bad)
        m_elements.clear();
    compileTemplate();
}

// Runs the expansion over the replacement with each slot as one opaque token.
// While a slot's contents hold no "^" and are not empty, the real expansion
// takes exactly the same steps, so the result is a fixed sequence of pieces.
void PatternRule::compileTemplate() {
    std::vector<int> t(m_replacement.begin(), m_replacement.end());
    for (int& c : t)
        c = static_cast<unsigned char>(c);
    std::vector<int> tail;
    int insertions = 0;
    for (size_t q = 0; q + 1 < t.size(); ++q) {
        if (t[q] != '^' || !isReplacementEscape(t[q + 1]))
            continue;
        std::vector<int> inserted;
        const int e = t[q + 1];
        if (e == 'p') {
            inserted.push_back('\n');
        } else if (e == 't') {
            inserted.push_back('\t');
        } else if (e != '0') {
            if (insertions == kSlotInsertions)
                continue;
            ++insertions;
            if (e - '0' <= m_captureCount)
                inserted.push_back(kSlotToken + (e - '0'));
        }
        const size_t tailStart = q + 2;
        tail.assign(t.begin() + tailStart,
                    t.begin() + tailStart + std::min(kCarryOver, t.size() - tailStart));
        t.resize(q);
        t.insert(t.end(), inserted.begin(), inserted.end());
        t.insert(t.end(), tail.begin(), tail.end());
    }
    m_templateSize = t.size();
    for (int c : t) {
        if (c >= kSlotToken) {
            const int slot = c - kSlotToken;
            m_template.push_back({slot, {}});
            if (m_spanSlots & (1u << slot))
                m_templateSpans |= 1u << slot;
        } else {
            if (m_template.empty() || m_template.back().slot != 0)
                m_template.push_back({});
            m_template.back().text.push_back(static_cast<char>(c));
        }
    }
    m_templateFixed = m_templateSpans == 0;
}

size_t PatternRule::findCandidate(std::string_view s, size_t from) const {
    const Element& first = m_elements.front();
    const size_t n = s.size();
    if (first.isSpan)
        return from;
    if (first.isLiteral) {
        const void* hit = std::memchr(s.data() + from, first.literal, n - from);
        return hit ? static_cast<const char*>(hit) - s.data() : n;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
    if (first.isRange)
        return findInRange(bytes, from, n, first.rangeLow, first.rangeHigh);
    while (from < n && !first.accepts[bytes[from]])
        ++from;
    return from;
}

bool PatternRule::matchAt(std::string_view s, size_t p, Match& m, Scratch& scratch) const {
    const size_t n = s.size();
    const auto* bytes = reinterpret_cast<const unsigned char*>(s.data());
    const size_t last = m_elements.size() - 1;
    size_t k = p;  // always below n when an element begins
    for (size_t j = 0; j <= last; ++j) {
        const Element& el = m_elements[j];
        if (el.isSpan) {
            const size_t stop = std::min(scratch.lineEnd(s, j, k), n - 1);  // never the last byte
            if (el.slot)
                m.begin[el.slot] = k, m.length[el.slot] = stop - k;
            k = stop;
            continue;
        }
        if (!el.accepts[bytes[k]])
            return false;
        if (el.slot)
            m.begin[el.slot] = k, m.length[el.slot] = 1;
        if (++k == n && j != last)
            return false;
    }
    m.end = k;
    return true;
}

void PatternRule::expand(std::string_view s, const Match& m, Writer& out, Scratch& scratch) const {
    if (m_templateFixed) {
        // Slots of one-byte elements only: the size is known, write in place.
        char* d = out.room(m_templateSize);
        for (const Piece& piece : m_template) {
            if (piece.slot) {
                *d++ = s[m.begin[piece.slot]];
            } else {
                std::memcpy(d, piece.text.data(), piece.text.size());
                d += piece.text.size();
            }
        }
        out.size += m_templateSize;
        return;
    }
    bool templateHolds = true;
    for (unsigned bits = m_templateSpans; bits && templateHolds; bits &= bits - 1) {
        const std::string_view v = m.slot(s, __builtin_ctz(bits));
        templateHolds = !v.empty() && v.find('^') == std::string_view::npos;
    }
    if (templateHolds) {
        for (const Piece& piece : m_template)
            out.put(piece.slot ? m.slot(s, piece.slot) : std::string_view(piece.text));
        return;
    }
    std::string& t = scratch.text;
    std::string& tail = scratch.tail;
    t.assign(m_replacement);
    int insertions = 0;
    for (size_t q = 0; q + 1 < t.size(); ++q) {
        const size_t caret = t.find('^', q);
        if (caret == std::string::npos || caret + 1 >= t.size())
            break;
        q = caret;
        const char e = t[q + 1];
        if (!isReplacementEscape(static_cast<unsigned char>(e)))
            continue;
        std::string_view inserted;
        if (e == 'p') {
            inserted = "\n";
        } else if (e == 't') {
            inserted = "\t";
        } else if (e != '0') {
            if (insertions == kSlotInsertions)
                continue;
            ++insertions;
            if (e - '0' <= m_captureCount)
                inserted = m.slot(s, e - '0');
        }
        const size_t tailStart = q + 2;
        tail.assign(t, tailStart, std::min(kCarryOver, t.size() - tailStart));
        t.resize(q);
        t.append(inserted);
        t.append(tail);
    }
    out.put(t);
}

bool PatternRule::rewrite(std::string_view s, std::string& result) const {
    if (!m_canMatch || s.empty())
        return false;
    const size_t n = s.size();
    Scratch scratch;
    scratch.breaks.resize(m_elements.size());
    Writer out;
    bool changed = false;
    size_t copied = 0;  // s[0, copied) is already written
    size_t pos = 0;
    Match m;
    while (pos < n) {
        pos = findCandidate(s, pos);
        if (pos >= n)
            break;
        if (!matchAt(s, pos, m, scratch)) {
            ++pos;
            continue;
        }
        if (!changed) {
            out.buf.swap(result);  // reuse what the caller's string holds
            out.buf.resize(n + n / 8 + 64);
            changed = true;
        }
        out.put(s.substr(copied, pos - copied));
        copied = pos;
        const size_t mark = out.size;
        expand(s, m, out, scratch);
        const std::string_view inserted(out.buf.data() + mark, out.size - mark);
        if (inserted == "Del") {
            out.buf.clear();
            result.swap(out.buf);
            return true;
        }
        if (inserted == "No") {
            out.size = mark;  // the match stays; the next attempt is two on
            pos += 2;
        } else if (m.end == pos) {
            pos += 1;  // nothing consumed: step past the byte the match sat on
        } else {
            copied = pos = m.end;
        }
    }
    if (!changed)
        return false;
    out.put(s.substr(copied));
    out.buf.resize(out.size);
    result.swap(out.buf);
    return true;
}

void PatternRule::apply(std::string& subject) const {
    std::string out;
    if (rewrite(subject, out))
        subject.swap(out);
}

void ReplaceByPattern(std::string& subject, std::string_view pattern,
                      std::string_view replacement) {
    PatternRule(pattern, replacement).apply(subject);
}

}  // namespace mirvaly
