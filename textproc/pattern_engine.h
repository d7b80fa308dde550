#pragma once

// The pattern language of the replacement rules and the routine that applies
// one rule to one subject.
//
// A pattern is a sequence of elements: a literal byte (case-sensitive), or one
// of the escapes "^*" (a byte above 32), "^S" (0xC0..0xDF), "^s" (0xE0..0xFF),
// "^#" (a digit), "^p" (CR or LF), "^t" (TAB) and "^~" (everything up to the
// line end, never the subject's last byte). "^*", "^S", "^s", "^#" and "^~"
// capture what they consume into slots 1 to 9 in pattern order. Matching goes
// element by element without backtracking. A pattern holding "^" followed by
// anything else, or ending in a lone "^", never matches; an empty pattern
// leaves every subject unchanged.
//
// In the replacement "^p" becomes LF, "^t" TAB, "^1".."^9" the slot's contents
// and "^0" nothing; the scan goes on one byte after the start of what was
// inserted, and what follows an expanded escape is kept to 255 bytes. An
// expansion giving exactly "Del" empties the subject; "No" leaves the match
// as it is.
//
// Every call terminates and takes time linear in the subject's length for a
// given rule. Any byte value is accepted everywhere.

#include <string>
#include <string_view>
#include <vector>

namespace mirvaly {

// One rule compiled once, to be applied to many subjects. Holds copies of the
// pattern and replacement; apply() is const and keeps no state between calls.
class PatternRule {
public:
    PatternRule(std::string_view pattern, std::string_view replacement);

    // Rewrites `subject` in place by the rule.
    void apply(std::string& subject) const;

    // The same rewrite without touching `subject`: returns false when the rule
    // changes nothing (then `out` is left alone), else true with the new text
    // in `out` (whose storage is reused). `subject` must not refer into `out`.
    bool rewrite(std::string_view subject, std::string& out) const;

    // True when the pattern can match anything at all.
    bool canMatch() const { return m_canMatch; }

private:
    struct Element {
        bool isSpan = false;     // "^~"
        bool isLiteral = false;  // a plain byte, found with memchr
        unsigned char literal = 0;
        int slot = 0;          // 1..9 when the element's capture is recorded
        bool isRange = false;  // accepts exactly rangeLow..rangeHigh
        unsigned char rangeLow = 0, rangeHigh = 0;
        bool accepts[256] = {};  // for one-byte elements
    };
    // A piece of the replacement's precomputed expansion: literal bytes, or
    // the contents of slot `slot` (1..9).
    struct Piece {
        int slot = 0;
        std::string text;
    };
    struct Match;
    struct Scratch;
    struct Writer;

    size_t findCandidate(std::string_view s, size_t from) const;
    bool matchAt(std::string_view s, size_t p, Match& m, Scratch& scratch) const;
    void expand(std::string_view s, const Match& m, Writer& out, Scratch& scratch) const;
    void compileTemplate();

    std::string m_replacement;
    std::vector<Element> m_elements;
    bool m_canMatch = false;
    // The expansion worked out once from the replacement alone. It holds
    // whenever every "^~" slot it inserts (bits of m_templateSpans) is
    // non-empty and free of "^"; other matches take the general path.
    std::vector<Piece> m_template;
    unsigned m_templateSpans = 0;
    // No "^~" slot in the template: every expansion has this many bytes.
    bool m_templateFixed = false;
    size_t m_templateSize = 0;
    unsigned m_spanSlots = 0;  // bit n: slot n is filled by a "^~"
    int m_captureCount = 0;
};

// Applies the rule (pattern, replacement) to `subject`, rewriting it in place.
void ReplaceByPattern(std::string& subject, std::string_view pattern, std::string_view replacement);

}  // namespace mirvaly
