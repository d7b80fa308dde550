#include "store/script_splitter.h"

#include <algorithm>

#include "common/text.h"

namespace mirvaly {

namespace {

bool isWordChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '_' || c == '$';
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Walks the leading words of a statement: calls `onWord(word, end)` for each,
// stopping when it returns false, at a character that is neither a word
// character nor a blank, or at the end.
template <typename F>
void forEachWord(std::string_view text, F&& onWord) {
    size_t i = 0;
    for (;;) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && isWordChar(text[i]))
            ++i;
        if (i == start || !onWord(text.substr(start, i - start), i))
            return;
    }
}

}  // namespace

std::vector<std::string> firstWords(std::string_view text, size_t count) {
    std::vector<std::string> words;
    if (count == 0)
        return words;
    forEachWord(text, [&](std::string_view w, size_t) {
        std::string u(w);
        std::transform(u.begin(), u.end(), u.begin(), upperAscii);
        words.push_back(std::move(u));
        return words.size() < count;
    });
    return words;
}

StatementKind classifyStatement(std::string_view text) {
    std::vector<std::string> w = firstWords(text, 3);
    auto word = [&](size_t i) -> std::string_view { return i < w.size() ? w[i] : ""; };
    std::string_view first = word(0);
    if (first == "CREATE")
        return (word(1) == "DATABASE" || word(1) == "SCHEMA") ? StatementKind::CreateDatabase
                                                              : StatementKind::Definition;
    if (first == "INSERT" || first == "UPDATE" || first == "DELETE" || first == "SELECT" ||
        first == "EXECUTE")
        return StatementKind::Data;
    if (first == "ALTER" || first == "DROP" || first == "DECLARE" || first == "GRANT" ||
        first == "REVOKE")
        return StatementKind::Definition;
    if (first == "COMMIT")
        return StatementKind::Commit;
    if (first == "ROLLBACK")
        return StatementKind::Rollback;
    if (first == "SET") {
        std::string_view second = word(1);
        if (second == "GENERATOR")
            return StatementKind::Definition;
        if (second == "TERM")
            return setTermArgument(text).empty() ? StatementKind::Unrecognised
                                                 : StatementKind::SetTerm;
        if (second == "SQL" && word(2) == "DIALECT")
            return StatementKind::SetDialect;
        if (second == "AUTODDL" || second == "NAMES" || second == "STATISTICS")
            return StatementKind::Option;
    }
    return StatementKind::Unrecognised;
}

std::string_view setTermArgument(std::string_view text) {
    size_t afterTerm = std::string_view::npos;
    int n = 0;
    forEachWord(text, [&](std::string_view, size_t end) {
        if (++n < 2)
            return true;
        afterTerm = end;
        return false;
    });
    if (afterTerm == std::string_view::npos)
        return {};
    return trimmed(text.substr(afterTerm));
}

ScriptSplitter::ScriptSplitter(std::string_view script) : m_script(script) {}

void ScriptSplitter::advance(size_t to) {
    m_line += static_cast<int>(std::count(m_script.begin() + m_pos, m_script.begin() + to, '\n'));
    m_pos = to;
}

void ScriptSplitter::skipBlanksAndComments() {
    for (;;) {
        size_t i = m_pos;
        while (i < m_script.size() && isBlank(m_script[i]))
            ++i;
        if (m_script.compare(i, 2, "/*") == 0) {
            size_t close = m_script.find("*/", i + 2);
            advance(close == std::string_view::npos ? m_script.size() : close + 2);
            continue;
        }
        advance(i);
        return;
    }
}

bool ScriptSplitter::next(ScriptStatement& out) {
    for (;;) {
        skipBlanksAndComments();
        if (m_pos >= m_script.size())
            return false;
        const size_t start = m_pos;
        const std::string_view term = m_terminator;
        size_t i = start;
        size_t end = m_script.size();  // where the statement's text ends
        size_t resume = end;           // where the next one is looked for
        while (i < m_script.size()) {
            char c = m_script[i];
            if (c == '\'' || c == '"') {
                size_t close = m_script.find(c, i + 1);
                i = close == std::string_view::npos ? m_script.size() : close + 1;
            } else if (c == '/' && i + 1 < m_script.size() && m_script[i + 1] == '*') {
                size_t close = m_script.find("*/", i + 2);
                i = close == std::string_view::npos ? m_script.size() : close + 2;
            } else if (c == term[0] && m_script.compare(i, term.size(), term) == 0) {
                end = i;
                resume = i + term.size();
                break;
            } else {
                ++i;
            }
        }
        const bool terminated = end != m_script.size();
        std::string_view text = m_script.substr(start, end - start);
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
        out.line = m_line;
        out.terminator = terminated ? m_terminator : std::string();
        advance(resume);
        if (text.empty())
            continue;  // an empty statement: two terminators in a row
        out.text = text;
        out.kind = classifyStatement(text);
        if (out.kind == StatementKind::SetTerm)
            m_terminator = std::string(setTermArgument(text));
        return true;
    }
}

std::vector<std::string> scriptLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

std::vector<ScriptStatement> splitScript(std::string_view script) {
    std::vector<ScriptStatement> all;
    ScriptSplitter splitter(script);
    ScriptStatement st;
    while (splitter.next(st))
        all.push_back(st);
    return all;
}

}  // namespace mirvaly
