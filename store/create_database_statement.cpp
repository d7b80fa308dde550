#include "store/create_database_statement.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "common/text.h"

namespace mirvaly {

namespace {

struct Token {
    enum class Kind { Word, Quoted, Symbol } kind;
    std::string text;  // words in upper case, quoted strings without quotes
    std::string raw;   // words as written
};

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '_' || c == '$';
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (isBlank(c)) {
            ++i;
        } else if (c == '\'' || c == '"') {
            std::string value;
            ++i;
            while (i < s.size()) {
                if (s[i] == c) {
                    if (i + 1 < s.size() && s[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            tokens.push_back({Token::Kind::Quoted, value, value});
        } else if (isWordChar(c)) {
            size_t start = i;
            while (i < s.size() && isWordChar(s[i]))
                ++i;
            std::string raw(s.substr(start, i - start));
            std::string upper = raw;
            std::transform(upper.begin(), upper.end(), upper.begin(),
                           [](char ch) { return (ch >= 'a' && ch <= 'z') ? ch - 'a' + 'A' : ch; });
            tokens.push_back({Token::Kind::Word, upper, raw});
        } else {
            tokens.push_back({Token::Kind::Symbol, std::string(1, c), std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

class Reader {
public:
    explicit Reader(std::vector<Token> t) : m_tokens(std::move(t)) {}
    bool atEnd() const { return m_pos >= m_tokens.size(); }
    bool word(std::string_view w) {
        if (atEnd() || m_tokens[m_pos].kind != Token::Kind::Word || m_tokens[m_pos].text != w)
            return false;
        ++m_pos;
        return true;
    }
    bool symbol(char c) {
        if (atEnd() || m_tokens[m_pos].kind != Token::Kind::Symbol || m_tokens[m_pos].text[0] != c)
            return false;
        ++m_pos;
        return true;
    }
    std::optional<std::string> quoted() {
        if (atEnd() || m_tokens[m_pos].kind != Token::Kind::Quoted)
            return std::nullopt;
        return m_tokens[m_pos++].text;
    }
    std::optional<std::string> quotedOrWord() {
        if (atEnd() || m_tokens[m_pos].kind == Token::Kind::Symbol)
            return std::nullopt;
        return m_tokens[m_pos++].raw;
    }
    std::optional<int> number() {
        if (atEnd() || m_tokens[m_pos].kind != Token::Kind::Word)
            return std::nullopt;
        const std::string& t = m_tokens[m_pos].text;
        int v = 0;
        auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec != std::errc() || p != t.data() + t.size())
            return std::nullopt;
        ++m_pos;
        return v;
    }
    std::string rest() const { return atEnd() ? std::string() : m_tokens[m_pos].raw; }

private:
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

}  // namespace

bool parseCreateDatabase(std::string_view text, CreateDatabaseStatement& out, std::string& error) {
    Reader r(tokenize(text));
    if (!r.word("CREATE") || !(r.word("DATABASE") || r.word("SCHEMA"))) {
        error = "Not a CREATE DATABASE statement.";
        return false;
    }
    auto path = r.quoted();
    if (!path) {
        error = "CREATE DATABASE needs the file name in quotes.";
        return false;
    }
    out.path = *path;
    bool complete = true;  // false when a clause breaks off
    while (!r.atEnd() && complete) {
        complete = false;
        std::optional<std::string> value;
        if (r.word("USER")) {
            if (!(value = r.quotedOrWord()))
                break;
            out.user = *value;
        } else if (r.word("PASSWORD")) {
            if (!(value = r.quotedOrWord()))
                break;
            out.password = *value;
        } else if (r.word("ROLE")) {
            if (!r.quotedOrWord())
                break;
        } else if (r.word("PAGE_SIZE")) {
            r.symbol('=');
            auto n = r.number();
            if (!n)
                break;
            out.options.pageSize = *n;
        } else if (r.word("LENGTH")) {
            r.symbol('=');
            if (!r.number())
                break;
            if (!r.word("PAGES"))
                r.word("PAGE");
        } else if (r.word("SET")) {
            if (!r.word("NAMES") || !r.quotedOrWord())
                break;
        } else if (r.word("DEFAULT")) {
            if (!r.word("CHARACTER") || !r.word("SET") || !(value = r.quotedOrWord()))
                break;
            out.options.defaultCharset = *value;
            if (r.word("COLLATION")) {
                if (!(value = r.quotedOrWord()))
                    break;
                out.collation = *value;
            }
        } else {
            break;
        }
        complete = true;
    }
    if (!complete || !r.atEnd()) {
        error = "Unsupported clause in CREATE DATABASE at \"" + r.rest() + "\".";
        return false;
    }
    return true;
}

}  // namespace mirvaly
