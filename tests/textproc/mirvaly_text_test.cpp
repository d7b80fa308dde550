// The command-line tool seen from outside: bytes in on standard input, bytes
// out on standard output, exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/codec.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace mirvaly {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? "'\\''"s : std::string(1, c);
    return q + "'";
}

class MirvalyText : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("mirvaly_text_test_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read(const fs::path& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    // The input comes from a file, or through a pipe when `piped`.
    ToolRun run(const std::vector<std::string>& args, const std::string& input = "",
                bool piped = false) {
        write(m_dir / "in", input);
        std::string command =
            (piped ? "cat " + quoted(m_dir / "in") + " | " : "") + quoted(MIRVALY_TEXT_BIN);
        for (const auto& a : args)
            command += " " + quoted(a);
        if (!piped)
            command += " < " + quoted(m_dir / "in");
        command += " > " + quoted(m_dir / "out") + " 2> " + quoted(m_dir / "err");
        const int raw = std::system(command.c_str());
        ToolRun r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read(m_dir / "out");
        r.err = read(m_dir / "err");
        return r;
    }

    fs::path m_dir;
};

TEST_F(MirvalyText, ReplacePassesEveryOtherByteThrough) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    all += all;
    const ToolRun r = run({"replace", "QQQ", "Z"}, all);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, all);
}

TEST_F(MirvalyText, InputThroughAPipe) {
    std::string big;
    for (int i = 0; i < 50000; ++i)
        big += "12:30 x\r\n";
    const ToolRun r = run({"replace", "^#^#:^#^#", "^1^2.^3^4"}, big, true);
    EXPECT_EQ(r.status, 0);
    std::string expected;
    for (int i = 0; i < 50000; ++i)
        expected += "12.30 x\r\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(run({"shift", "1"}, "", true).out, "");
    EXPECT_EQ(run({"replace", "a", "b"}, "", false).out, "");
}

TEST_F(MirvalyText, ReplaceTreatsTheWholeInputAsOneSubject) {
    const ToolRun r =
        run({"replace", "^#^#:^#^#", "^1^2.^3^4"}, cp("06:00 Новости\r\n21:30 Кино\r\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("06.00 Новости\r\n21.30 Кино\r\n"));
    // "^~" stops one byte short of the end of the whole input, not of a line.
    EXPECT_EQ(run({"replace", "x^~", "y"}, "x1\r\nx2").out, "y\r\ny2");
}

TEST_F(MirvalyText, ArgumentsInUtf8AreConverted) {
    const ToolRun r = run({"replace", "Война", "Мир"}, cp("Война и Война"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("Мир и Мир"));
}

TEST_F(MirvalyText, ArgumentsInWindows1251AreTakenAsTheyAre) {
    const ToolRun r = run({"replace", cp("Х/ф ^~"), cp("Фильм")}, cp("Х/ф Война"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("Фильма"));
    // "Щё" in Windows-1251 is also valid UTF-8, of a letter the code page
    // lacks: it stays the Windows-1251 word, not a substitute byte.
    const ToolRun yo = run({"replace", cp("Щё"), "X"}, cp("ещё Щё "));
    EXPECT_EQ(yo.status, 0);
    EXPECT_EQ(yo.out, cp("ещё X "));
}

TEST_F(MirvalyText, DoubleDashMakesTheNextTwoArgumentsTheRule) {
    const ToolRun r = run({"replace", "--", "--rules", "x"}, "a --rules b");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a x b");
}

TEST_F(MirvalyText, RulesFileAppliesRulesInOrder) {
    // CR LF line ends, an empty line, a TAB inside the replacement.
    write(m_dir / "rules", cp("Х/ф\tФильм\r\n\r\nФильм ^~\t^1!\r\na\tb\tc\n"));
    const ToolRun r = run({"replace", "--rules", (m_dir / "rules").string()}, cp("Х/ф Война\r\na"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("Война!\r\nb\tc"));
    // The same rules written in UTF-8, with and without a byte-order mark.
    write(m_dir / "rules8", "Х/ф\tФильм\n");
    EXPECT_EQ(run({"replace", "--rules", (m_dir / "rules8").string()}, cp("Х/ф x")).out,
              cp("Фильм x"));
    write(m_dir / "rules8bom", "\xEF\xBB\xBFХ/ф\tФильм\n");
    EXPECT_EQ(run({"replace", "--rules", (m_dir / "rules8bom").string()}, cp("Х/ф x")).out,
              cp("Фильм x"));
}

TEST_F(MirvalyText, ShiftWritesTheTextWithoutATerminatingZero) {
    ToolRun r = run({"shift", "2"}, cp("12.05.08 9.30 Новости\r\n23:30 Кино"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("12.05.08 11.30 Новости\r\n1.30 Кино"));
    r = run({"shift", "-1", "--separator", ":"}, "00.15 a\0b 9.00"s);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "23:15 a");  // the zero byte ends the text
    r = run({"shift", "+0", "--clean"}, cp("  ++«Время»\t/Остров/  "));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, cp("\"Время\" (Остров)"));
    EXPECT_EQ(run({"shift", "--separator=-", "25"}, "9.00").out, "10-00");
}

TEST_F(MirvalyText, ShiftPassesTextWithoutTimesThrough) {
    std::string text;
    for (int i = 1; i < 256; ++i)
        if (i < '0' || i > '9')
            text += static_cast<char>(i);
    const ToolRun r = run({"shift", "5"}, text);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, text);
}

TEST_F(MirvalyText, HelpGoesToStandardOutput) {
    const ToolRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: mirvaly-text shift HOURS"), std::string::npos);
    EXPECT_NE(r.out.find("zero byte"), std::string::npos);
}

TEST_F(MirvalyText, BadArgumentsGetUsageAndStatus2) {
    write(m_dir / "norule", "pattern without tab\n");
    write(m_dir / "nocp1251", "\xEF\xBB\xBF日\tx\n");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"shift"},
        {"shift", "3x"},
        {"shift", "+-3"},
        {"shift", "+"},
        {"shift", "3", "4"},
        {"shift", "3", "--separator"},
        {"shift", "3", "--separator", "ab"},
        {"shift", "3", "--separator", ""},
        {"shift", "3", "--separator", "日"},  // no such character in the code page
        {"shift", "3", "--loud"},
        {"shift", "99999999999999999999"},
        {"replace"},
        {"replace", "a"},
        {"replace", "a", "b", "c"},
        {"replace", "--rules"},
        {"replace", "--rules", (m_dir / "missing").string()},
        {"replace", "--rules", (m_dir / "norule").string()},
        {"replace", "--rules", (m_dir / "nocp1251").string()},
    };
    for (const auto& args : bad) {
        const ToolRun r = run(args, "12:00");
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << joined;
    }
}

}  // namespace
}  // namespace mirvaly
