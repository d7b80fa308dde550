#include "store/literal_binding.h"

#include <charconv>

#include "common/text.h"

namespace mirvaly {

namespace {

constexpr size_t kMaxTextLiteral = 32765;  // what a VARCHAR parameter holds
constexpr size_t kMaxDigits = 18;          // fits a BIGINT

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '_' || c == '$';
}

bool equalsUpper(std::string_view s, std::string_view upper) {
    if (s.size() != upper.size())
        return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (toUpper1251(s[i]) != upper[i])
            return false;
    return true;
}

// The end of the quoted string or identifier starting at `i` (one past its
// closing quote); npos when it is not closed.
size_t endOfQuoted(std::string_view s, size_t i) {
    char q = s[i];
    for (size_t j = i + 1; j < s.size(); ++j) {
        if (s[j] != q)
            continue;
        if (j + 1 < s.size() && s[j + 1] == q) {
            ++j;
            continue;
        }
        return j + 1;
    }
    return std::string_view::npos;
}

// Where the top-level VALUES list opens: the "(" after the word VALUES.
size_t openingOfValues(std::string_view s) {
    size_t i = 0;
    int depth = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\'' || c == '"') {
            i = endOfQuoted(s, i);
            if (i == std::string_view::npos)
                return i;
        } else if (c == '(' || c == ')') {
            depth += c == '(' ? 1 : -1;
            ++i;
        } else if (isWordChar(c)) {
            size_t start = i;
            while (i < s.size() && isWordChar(s[i]))
                ++i;
            if (depth == 0 && equalsUpper(s.substr(start, i - start), "VALUES")) {
                while (i < s.size() && isBlank(s[i]))
                    ++i;
                return i < s.size() && s[i] == '(' ? i : std::string_view::npos;
            }
        } else {
            ++i;
        }
    }
    return std::string_view::npos;
}

struct Element {
    size_t begin, end;  // trimmed span in the statement
};

// Splits the list whose "(" is at `open` into its elements; false when the
// list is not closed or anything but blanks follows it.
bool splitList(std::string_view s, size_t open, std::vector<Element>& elements) {
    size_t i = open + 1, start = i;
    int depth = 0;
    auto add = [&](size_t end) {
        size_t b = start, e = end;
        while (b < e && isBlank(s[b]))
            ++b;
        while (e > b && isBlank(s[e - 1]))
            --e;
        elements.push_back({b, e});
    };
    while (i < s.size()) {
        char c = s[i];
        if (c == '\'' || c == '"') {
            i = endOfQuoted(s, i);
            if (i == std::string_view::npos)
                return false;
            continue;
        }
        if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == ')') {
            add(i);
            return trimmed(s.substr(i + 1)).empty();
        } else if (c == ',' && depth == 0) {
            add(i);
            start = i + 1;
        }
        ++i;
    }
    return false;
}

std::optional<Value> literalValue(std::string_view e) {
    if (e.size() >= 2 && e.front() == '\'' && endOfQuoted(e, 0) == e.size()) {
        std::string text;
        for (size_t i = 1; i + 1 < e.size(); ++i) {
            text += e[i];
            if (e[i] == '\'')
                ++i;  // the second of a doubled quote
        }
        if (text.size() > kMaxTextLiteral)
            return std::nullopt;
        return Value::text(std::move(text));
    }
    if (!e.empty() && e.size() <= kMaxDigits) {
        for (char c : e)
            if (!isDigit(c))
                return std::nullopt;
        int64_t n = 0;
        std::from_chars(e.data(), e.data() + e.size(), n);
        return Value::integer(n);
    }
    return std::nullopt;
}

// A comment, or a parameter marker of its own, outside strings.
bool hasCommentOrMarker(std::string_view s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == '\'' || s[i] == '"') {
            size_t end = endOfQuoted(s, i);
            if (end == std::string_view::npos)
                return false;
            i = end - 1;
        } else if ((s[i] == '/' && s[i + 1] == '*') || (s[i] == '-' && s[i + 1] == '-') ||
                   s[i] == '?') {
            return true;
        }
    }
    return !s.empty() && s.back() == '?';
}

}  // namespace

std::optional<BoundStatement> bindInsertLiterals(std::string_view statement) {
    size_t i = 0;
    while (i < statement.size() && isWordChar(statement[i]))
        ++i;
    if (!equalsUpper(statement.substr(0, i), "INSERT") || hasCommentOrMarker(statement))
        return std::nullopt;
    size_t open = openingOfValues(statement);
    if (open == std::string_view::npos)
        return std::nullopt;
    std::vector<Element> elements;
    if (!splitList(statement, open, elements))
        return std::nullopt;
    BoundStatement bound;
    size_t copied = 0;
    for (const Element& e : elements) {
        std::optional<Value> v = literalValue(statement.substr(e.begin, e.end - e.begin));
        if (!v)
            continue;
        bound.shape.append(statement.substr(copied, e.begin - copied));
        bound.shape += '?';
        copied = e.end;
        bound.values.push_back(std::move(*v));
    }
    if (bound.values.empty())
        return std::nullopt;
    bound.shape.append(statement.substr(copied));
    return bound;
}

}  // namespace mirvaly
