#include "server/catalogue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/codec.h"
#include "server/generator.h"

namespace mirvaly::reference {
namespace {
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "mirvaly-cat-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp");
        path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

void write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

GeneratorOptions week(int channels) {
    GeneratorOptions o;
    o.channels = channels;
    o.seed = 7;
    o.startYear = 2026, o.startMonth = 12, o.startDay = 7;
    return o;
}

bool sameProgramme(const CatalogueProgramme& a, const CatalogueProgramme& b) {
    if (a.items.size() != b.items.size())
        return false;
    for (size_t i = 0; i < a.items.size(); ++i) {
        const auto &x = a.items[i], &y = b.items[i];
        if (std::tie(x.date, x.time, x.title, x.type, x.name, x.anons) !=
            std::tie(y.date, y.time, y.title, y.type, y.name, y.anons))
            return false;
    }
    return std::tie(a.key, a.date, a.channel, a.variant, a.subvariant, a.category, a.num,
                    a.shiftTime, a.counts, a.types, a.fileName, a.content) ==
           std::tie(b.key, b.date, b.channel, b.variant, b.subvariant, b.category, b.num,
                    b.shiftTime, b.counts, b.types, b.fileName, b.content);
}

TEST(Catalogue, SavedAndLoadedUnchanged) {
    TempFolder folder;
    Catalogue original = generateCatalogue(week(5));
    original.message = cp("Сообщение для всех");
    original.newVersion = NewVersion{18, std::string("MZ\0\x90 binary", 10), 4096};
    original.programmes[0].content.clear();
    saveCatalogue(original, folder.path);
    const Catalogue loaded = loadCatalogue(folder.path);
    ASSERT_EQ(loaded.programmes.size(), original.programmes.size());
    for (size_t i = 0; i < loaded.programmes.size(); ++i) {
        EXPECT_TRUE(sameProgramme(loaded.programmes[i], original.programmes[i])) << i;
    }
    EXPECT_EQ(loaded.subscribers, original.subscribers);
    EXPECT_EQ(loaded.message, original.message);
    ASSERT_TRUE(loaded.newVersion);
    EXPECT_EQ(loaded.newVersion->bytes, original.newVersion->bytes);
    EXPECT_EQ(loaded.newVersion->sectionSize, 4096u);
    EXPECT_EQ(loaded.newVersion->version, 18);
}

TEST(Catalogue, HandWrittenFolderWithCrLfCommentsAndNulls) {
    TempFolder folder;
    write(
        folder.path / "programmes.tsv",
        "# a comment\r\n\r\n1700000000\t07.12.2026\t" + cp("НТВ") +
            "\tR\t\t\t\t\t\tTAB\t\r\n1700000001\t07.12.2026\tX\tA\tsub\tcat\t2\t-1\t3\tTXT\t\r\n");
    write(folder.path / "items" / "1700000000.tsv", "07.12.2026\t9.30\tT\t\tN\t\r\n");
    write(folder.path / "content" / "1700000001", "text\r\n");
    const Catalogue c = loadCatalogue(folder.path);
    ASSERT_EQ(c.programmes.size(), 2u);
    EXPECT_EQ(c.programmes[0].channel, cp("НТВ"));
    EXPECT_FALSE(c.programmes[0].num);
    EXPECT_EQ(c.programmes[0].items.size(), 1u);
    EXPECT_EQ(c.programmes[0].items[0].time, "9.30");
    EXPECT_EQ(c.programmes[1].shiftTime, -1);
    EXPECT_EQ(c.programmes[1].content, "text\r\n");
    EXPECT_TRUE(c.subscribers.empty());
    EXPECT_FALSE(c.newVersion);
}

TEST(Catalogue, MalformedFilesAreRefusedWithTheirPlace) {
    struct Case {
        const char* name;
        std::string programmes;
        std::string expected;
    };
    const Case cases[] = {
        {"too few fields", "1\t07.12.2026\tX\n", "programmes.tsv:1"},
        {"bad key", "abc\t07.12.2026\tX\tR\t\t\t\t\t\tTAB\t\n", "bad key"},
        {"key too large", "3000000000\t07.12.2026\tX\tR\t\t\t\t\t\tTAB\t\n", "bad key"},
        {"bad number", "1\t07.12.2026\tX\tR\t\t\tone\t\t\tTAB\t\n", "not a number"},
        {"duplicate", "1\td\tX\tR\t\t\t\t\t\tTXT\t\n1\td\tX\tR\t\t\t\t\t\tTXT\t\n",
         "programmes.tsv:2: duplicate"},
        {"missing channel", "1\td\t\tR\t\t\t\t\t\tTXT\t\n", "required"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        write(folder.path / "programmes.tsv", c.programmes);
        try {
            loadCatalogue(folder.path);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const CatalogueError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
    TempFolder empty;
    EXPECT_THROW(loadCatalogue(empty.path), CatalogueError);
}

TEST(Generator, SameSeedSameCatalogue) {
    const Catalogue a = generateCatalogue(week(3)), b = generateCatalogue(week(3));
    ASSERT_EQ(a.programmes.size(), b.programmes.size());
    for (size_t i = 0; i < a.programmes.size(); ++i) {
        EXPECT_TRUE(sameProgramme(a.programmes[i], b.programmes[i]));
    }
    GeneratorOptions other = week(3);
    other.seed = 8;
    EXPECT_FALSE(sameProgramme(generateCatalogue(other).programmes[0], a.programmes[0]));
}

TEST(Generator, AWeekWithEveryKindOfProgramme) {
    const Catalogue c = generateCatalogue(week(6));
    std::set<std::string> variants, dates;
    std::set<int64_t> keys;
    int text = 0, file = 0, guides = 0, shifted = 0, unshifted = 0, dotTimes = 0, colonTimes = 0,
        quoted = 0, dayNames = 0;
    for (const auto& p : c.programmes) {
        variants.insert(p.variant);
        keys.insert(p.key);
        EXPECT_LE(p.channel.size(), 100u);
        EXPECT_LE(p.subvariant.size(), 10u);
        text += p.types == "TXT";
        file += p.types == "FIL" && !p.fileName.empty() && !p.content.empty();
        guides += p.category == cp("Гиды");
        (p.shiftTime.value_or(0) != 0 ? shifted : unshifted)++;
        for (const auto& i : p.items) {
            dates.insert(i.date);
            dotTimes += i.time.find('.') != std::string::npos;
            colonTimes += i.time.find(':') != std::string::npos;
            quoted += i.title.find('"') != std::string::npos;
            dayNames += i.title.find(cp("Пятница")) != std::string::npos ||
                        i.title.find(cp("Понедельник")) != std::string::npos;
        }
    }
    EXPECT_EQ(variants, (std::set<std::string>{"A", "P", "R", "S"}));
    EXPECT_EQ(keys.size(), c.programmes.size());
    EXPECT_EQ(dates.size(), 7u);
    EXPECT_TRUE(dates.count("07.12.2026") && dates.count("13.12.2026"));
    EXPECT_EQ(text, 2);
    EXPECT_EQ(file, 1);
    EXPECT_EQ(guides, 1);
    EXPECT_GT(shifted, 0);
    EXPECT_GT(unshifted, 0);
    EXPECT_GT(dotTimes, 0);
    EXPECT_GT(colonTimes, 0);
    EXPECT_GT(quoted, 0);
    EXPECT_GT(dayNames, 0);
    EXPECT_EQ(c.subscribers, std::vector<std::string>{"demo"});
}

TEST(Generator, BenchmarkSizes) {
    GeneratorOptions o = week(100);
    o.extras = false;
    const Catalogue c = generateCatalogue(o);
    ASSERT_EQ(c.programmes.size(), 100u);
    for (const auto& p : c.programmes)
        EXPECT_EQ(p.items.size(), 280u);
    o.channels = 2;
    o.itemsPerProgramme = 50;
    for (const auto& p : generateCatalogue(o).programmes)
        EXPECT_EQ(p.items.size(), 50u);
}

}  // namespace
}  // namespace mirvaly::reference
