// mirvaly-text: the clean-up with time shift and the pattern rules over
// standard input, for batch work on text files and for checks from outside.

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "common/codec.h"
#include "output/clean_and_shift.h"
#include "textproc/pattern_engine.h"

namespace {

constexpr int kBadArguments = 2;
constexpr int kIoFailure = 1;

constexpr const char* kUsage =
    "usage: mirvaly-text shift HOURS [--clean] [--separator C]\n"
    "       mirvaly-text replace [--] PATTERN REPLACEMENT\n"
    "       mirvaly-text replace --rules FILE\n"
    "       mirvaly-text --help\n"
    "\n"
    "Reads Windows-1251 text from standard input and writes the result to standard\n"
    "output; bytes are changed only where the operation rewrites them.\n"
    "\n"
    "shift    Shifts every broadcast time by HOURS (a signed whole number, the hour\n"
    "         wrapping at midnight) and writes C (default \".\") between hours and\n"
    "         minutes. --clean also tidies the text: typographic quotes, Latin C,\n"
    "         slash pairs, runs of blanks, leading \"+\". The output ends where the\n"
    "         text ends or at the first zero byte it would hold (--clean drops a\n"
    "         zero byte where it drops a blank: at the start or before another\n"
    "         blank); no terminating zero byte is written.\n"
    "replace  Applies one rule of the pattern language to the whole input as one\n"
    "         subject. With --rules, applies the rules of FILE in order, one a line:\n"
    "         pattern, a TAB, replacement (a CR before the line feed is ignored,\n"
    "         empty lines are skipped).\n"
    "\n"
    "Arguments and the rules file are taken as Windows-1251, or converted from\n"
    "UTF-8 when they are valid UTF-8 holding non-ASCII characters that\n"
    "Windows-1251 has. After \"replace --\" the next two arguments are the rule.\n"
    "\n"
    "Exit status: 0 done, 1 reading or writing failed, 2 bad arguments.\n";

int usageError(const std::string& message) {
    if (!message.empty())
        std::fprintf(stderr, "mirvaly-text: %s\n", message.c_str());
    std::fputs(kUsage, stderr);
    return kBadArguments;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view s, bool& hasNonAscii) {
    hasNonAscii = false;
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        hasNonAscii = true;
        size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        if (b[i + 1] < lo || b[i + 1] > hi)
            return false;
        for (size_t k = 2; k < len; ++k)
            if (b[i + k] < 0x80 || b[i + k] > 0xBF)
                return false;
        i += len;
    }
    return true;
}

// The Windows-1251 form of UTF-8 text whose every character the code page
// has; nothing when it lacks one (the encoder would put a substitute there).
std::optional<std::string> exactCp1251(std::string_view utf8) {
    std::string bytes = mirvaly::utf8ToCp1251(utf8);
    if (mirvaly::cp1251ToUtf8(bytes) != utf8)
        return std::nullopt;
    return bytes;
}

// Text typed on a UTF-8 terminal arrives as UTF-8; anything else, and UTF-8
// with characters the code page lacks (such bytes are Windows-1251 text that
// merely looks like UTF-8, as "Щё" does), is taken as the Windows-1251 bytes
// it already is.
std::string toCp1251(std::string_view text) {
    bool nonAscii = false;
    if (isValidUtf8(text, nonAscii) && nonAscii) {
        if (std::optional<std::string> bytes = exactCp1251(text))
            return *bytes;
    }
    return std::string(text);
}

bool readAll(std::FILE* f, std::string& out) {
    char buf[1 << 16];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, got);
    return !std::ferror(f);
}

int writeOut(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "mirvaly-text: cannot write the output\n");
        return kIoFailure;
    }
    return 0;
}

// Standard input as one block of bytes: mapped when it is a regular file (no
// copy, no growing buffer), read otherwise.
class Input {
public:
    ~Input() {
        if (m_map)
            munmap(m_map, m_mapSize);
    }
    bool load() {
        struct stat st;
        if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            m_mapSize = static_cast<size_t>(st.st_size);
            void* p =
                mmap(nullptr, m_mapSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, STDIN_FILENO, 0);
            if (p != MAP_FAILED) {
                m_map = p;
                return true;
            }
        }
        if (!readAll(stdin, m_read)) {
            std::fprintf(stderr, "mirvaly-text: cannot read the input\n");
            return false;
        }
        return true;
    }
    std::string_view bytes() const {
        return m_map ? std::string_view(static_cast<const char*>(m_map), m_mapSize) : m_read;
    }

private:
    void* m_map = nullptr;
    size_t m_mapSize = 0;
    std::string m_read;
};

std::optional<int> parseHours(std::string_view arg) {
    if (arg.size() > 1 && arg[0] == '+' && arg[1] != '-')
        arg.remove_prefix(1);
    long long value = 0;
    const char* end = arg.data() + arg.size();
    const auto [ptr, ec] = std::from_chars(arg.data(), end, value);
    if (arg.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return static_cast<int>(value % 24);  // the hour arithmetic is modulo 24
}

int runShift(const std::vector<std::string_view>& args) {
    std::optional<int> hours;
    bool clean = false;
    char separator = '.';
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        std::optional<std::string_view> sepArg;
        if (a == "--clean") {
            clean = true;
        } else if (a == "--separator") {
            if (i + 1 == args.size())
                return usageError("--separator needs a character");
            sepArg = args[++i];
        } else if (a.rfind("--separator=", 0) == 0) {
            sepArg = a.substr(std::strlen("--separator="));
        } else if (!hours && parseHours(a)) {
            hours = parseHours(a);
        } else {
            return usageError("unexpected argument: " + std::string(a));
        }
        if (sepArg) {
            const std::string sep = toCp1251(*sepArg);
            if (sep.size() != 1)
                return usageError("the separator must be one character");
            separator = sep[0];
        }
    }
    if (!hours)
        return usageError("shift needs HOURS, a whole number");
    Input input;
    if (!input.load())
        return kIoFailure;
    return writeOut(mirvaly::CleanAndShiftText(input.bytes(), *hours, clean ? 1 : 0, separator));
}

// Rules file: one rule a line, pattern TAB replacement.
bool loadRules(const std::string& path, std::vector<mirvaly::PatternRule>& rules,
               std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open the rules file " + path;
        return false;
    }
    std::string bytes;
    const bool ok = readAll(f, bytes);
    std::fclose(f);
    if (!ok) {
        error = "cannot read the rules file " + path;
        return false;
    }
    bool nonAscii = false;
    if (isValidUtf8(bytes, nonAscii) && nonAscii) {
        // With a byte-order mark the file is UTF-8 for certain.
        const bool bom = bytes.rfind("\xEF\xBB\xBF", 0) == 0;
        std::optional<std::string> converted =
            exactCp1251(std::string_view(bytes).substr(bom ? 3 : 0));
        if (converted) {
            bytes = std::move(*converted);
        } else if (bom) {
            error = path + " holds characters that Windows-1251 lacks";
            return false;
        }
    }
    size_t lineNo = 0;
    for (size_t begin = 0; begin < bytes.size();) {
        size_t end = bytes.find('\n', begin);
        if (end == std::string::npos)
            end = bytes.size();
        std::string_view line(bytes.data() + begin, end - begin);
        begin = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            error = "line " + std::to_string(lineNo) + " of " + path + " has no TAB";
            return false;
        }
        rules.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return true;
}

int runReplace(std::vector<std::string_view> args) {
    // After "--" the two arguments are the rule, even "--rules".
    const bool ruleFollows = !args.empty() && args[0] == "--";
    if (ruleFollows)
        args.erase(args.begin());
    std::vector<mirvaly::PatternRule> rules;
    if (args.size() == 2 && args[0] == "--rules" && !ruleFollows) {
        std::string error;
        if (!loadRules(std::string(args[1]), rules, error))
            return usageError(error);
    } else if (args.size() == 2) {
        rules.emplace_back(toCp1251(args[0]), toCp1251(args[1]));
    } else {
        return usageError("replace needs PATTERN and REPLACEMENT, or --rules FILE");
    }
    Input input;
    if (!input.load())
        return kIoFailure;
    // The first rule reads the input where it lies; the others rewrite the copy.
    std::string text;
    if (rules.empty() || !rules.front().rewrite(input.bytes(), text))
        text.assign(input.bytes());
    for (size_t i = 1; i < rules.size(); ++i)
        rules[i].apply(text);
    return writeOut(text);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty())
        return usageError("");
    const std::string_view command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "shift")
        return runShift(args);
    if (command == "replace")
        return runReplace(args);
    return usageError("unknown command: " + std::string(command));
}
