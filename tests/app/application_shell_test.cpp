// Start-up and shutdown with a fake process list, a configuration file in a
// temporary folder and the real embedded store beside a pretend executable.

#include "app/application_shell.h"

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/keyboard_layout.h"
#include "app/qsettings_config_store.h"
#include "app_fixtures.h"
#include "common/codec.h"
#include "store/schema.h"
#include "tests/support/scripted_prompts.h"

namespace mirvaly::test {
namespace {

namespace fs = std::filesystem;
using Kind = RecordedPrompt::Kind;

const auto* const engine = ::testing::AddGlobalTestEnvironment(new EngineShutdown);

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// One start of the program in `folder`, with its own collaborators.
struct Start {
    explicit Start(const TempFolder& folder, std::string exeName = kExecutableFileName)
        : config(QString::fromStdString(folder / "config/Ostrelo.conf")),
          shell({folder / exeName, folder.path(), config, processes, launcher, prompts, *store,
                 [this] { return coin; }}) {
        processes.names = std::vector<std::string>{kExecutableFileName, "bash"};
    }

    QSettingsConfigStore config;
    FakeProcessList processes;
    FakeLauncher launcher;
    ScriptedPrompts prompts;
    std::unique_ptr<StoreOpener> store = embeddedStoreOpener();
    int coin = 1;
    ApplicationShell shell;
};

TEST(ApplicationShell, FirstStartCreatesTheStoreAndEndsThenTheSecondStartOpensIt) {
    TempFolder folder;
    {
        Start first(folder);
        EXPECT_FALSE(first.shell.construct());
        EXPECT_TRUE(first.shell.endRequested());
        ASSERT_EQ(first.prompts.recorded.size(), 1u);
        EXPECT_EQ(first.prompts.recorded[0].kind, Kind::Inform);
        EXPECT_EQ(first.prompts.recorded[0].text, cp("Запустите программу еще раз!"));
        EXPECT_EQ(first.prompts.recorded[0].caption, cp("Создание базы данных."));
        EXPECT_FALSE(first.shell.show());
    }
    EXPECT_TRUE(fs::exists(folder / "OSL.gdb"));

    Start second(folder);
    ASSERT_TRUE(second.shell.construct());
    ASSERT_TRUE(second.shell.show());
    EXPECT_TRUE(second.prompts.recorded.empty());
    ASSERT_NE(second.shell.database(), nullptr);
    EXPECT_EQ(second.shell.databasePath(), folder / "OSL.gdb");
    EXPECT_TRUE(second.shell.database()->inTransaction());
    // The schema is there: the list query's tables answer.
    EXPECT_EQ(second.shell.database()->query("select count(*) from PROGRAM").rows.at(0).at(0),
              Value::integer(0));
    second.shell.close();
}

TEST(ApplicationShell, FailedCreationShowsTheDatabaseErrorAndEnds) {
    TempFolder folder;
    // The executable's folder does not exist: the engine cannot make the file.
    Start start(folder, std::string("gone/") + kExecutableFileName);
    EXPECT_FALSE(start.shell.construct());
    ASSERT_EQ(start.prompts.recorded.size(), 2u);
    EXPECT_EQ(start.prompts.recorded[0].text, cp("Запустите программу еще раз!"));
    EXPECT_EQ(start.prompts.recorded[1].kind, Kind::Error);
    EXPECT_FALSE(start.prompts.recorded[1].text.empty());
    EXPECT_FALSE(start.shell.show());
    EXPECT_FALSE(fs::exists(folder / "gone"));
}

TEST(ApplicationShell, SingleInstanceCheckCountsEveryNameThatContainsTheOwnOne) {
    struct Case {
        const char* what;
        std::optional<std::vector<std::string>> names;
        bool refused;
    };
    const std::string own = kExecutableFileName;
    const Case cases[] = {
        {"only itself", std::vector<std::string>{own, "bash"}, false},
        {"no snapshot", std::nullopt, false},
        {"a second copy", std::vector<std::string>{own, own}, true},
        {"a name with a prefix", std::vector<std::string>{own, "old" + own}, true},
        {"another case", std::vector<std::string>{own, "MIRVALY"}, true},
        {"a name it does not contain", std::vector<std::string>{own, "Mirval"}, false},
        {"a tool named after the program", std::vector<std::string>{own, "mirvaly-service"}, false},
    };
    TempFolder folder;
    createStore(folder / "OSL.gdb")->close();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start start(folder);
        start.processes.names = c.names;
        ASSERT_TRUE(start.shell.construct());
        EXPECT_EQ(start.shell.show(), !c.refused);
        if (c.refused) {
            ASSERT_EQ(start.prompts.recorded.size(), 1u);
            EXPECT_EQ(start.prompts.recorded[0].text,
                      cp("Программа уже ОТКРЫТА !!! (Нельзя одновременно загружать более однго "
                         "процесса)."));
            EXPECT_EQ(start.prompts.recorded[0].caption, cp("Ошибка загрузки."));
            EXPECT_EQ(start.shell.database(), nullptr);
        } else {
            EXPECT_TRUE(start.prompts.recorded.empty());
        }
        start.shell.close();
    }
}

TEST(PlatformLayers, CopiesOfTheProgramByNameWithAndWithoutExtension) {
    struct Case {
        const char* process;
        const char* own;
        bool same;
    };
    const Case cases[] = {
        {"Mirvaly.exe", "Mirvaly.exe", true},
        {"OldMirvaly.exe", "Mirvaly.exe", true},
        {"mirvaly.exe.1", "Mirvaly.exe", true},
        {"mirvaly-service.exe", "Mirvaly.exe", false},
        {"Mirvaly", "Mirvaly", true},
        {"oldmirvaly", "Mirvaly", true},
        {"mirvaly-service", "Mirvaly", false},
        {"mirvaly-db", "Mirvaly", false},
        {"", "Mirvaly", false},
        {"Mirvaly", "Mirvaly.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.process) + " / " + c.own);
        EXPECT_EQ(isSameProgram(c.process, c.own), c.same);
    }
}

TEST(ApplicationShell, AbsentConfigurationGivesTheDefaultsAndIsWrittenAtClose) {
    TempFolder folder;
    createStore(folder / "OSL.gdb")->close();
    {
        Start start(folder);
        ASSERT_TRUE(start.shell.construct());
        const AppSettings& s = start.shell.settings();
        EXPECT_TRUE(s.shiftTimeAuto);
        EXPECT_FALSE(s.findNewTv);
        EXPECT_EQ(s.fileFormat, 0);
        EXPECT_EQ(s.connection.progVersion, "17");
        EXPECT_EQ(s.connection.proxyHost, "");
        EXPECT_EQ(s.connection.proxyPort, "");
        EXPECT_EQ(s.connection.subscriberId, "");
        EXPECT_EQ(s.primaryHost, kDefaultServiceHost1);
        EXPECT_EQ(s.alternateHost, kDefaultServiceHost2);
        EXPECT_EQ(start.shell.windowTitle(), cp("Телепрограммы v. 17.0 |"));
        ASSERT_TRUE(start.shell.show());
        start.shell.close();
    }
    QSettingsConfigStore written(QString::fromStdString(folder / "config/Ostrelo.conf"));
    EXPECT_EQ(written.readString("FileFormat"), "0");
    EXPECT_EQ(written.readInteger("ShiftTimeAuto"), 1);
    EXPECT_EQ(written.readInteger("FindNewTv"), 0);
}

TEST(ApplicationShell, StoredValuesAreReadAndTheSettingsWrittenBack) {
    TempFolder folder;
    createStore(folder / "OSL.gdb")->close();
    {
        QSettingsConfigStore config(QString::fromStdString(folder / "config/Ostrelo.conf"));
        config.writeString("FileFormat", "7");
        config.writeInteger("ShiftTimeAuto", 0);
        config.writeInteger("FindNewTv", 1);
        config.writeString("ProksyHost", "proxy.local");
        config.writeString("ProksyPort", "3128");
        config.writeString("ProksyUser", cp("пользователь"));
        config.writeString("ProksyPassword", "secret");
        config.writeString("SubscriberId", "12345");
        config.writeString("ServiceHost1", "localhost:8080");
        config.writeString("ServiceHost2", "127.0.0.1:8081");
        config.flush();
    }
    Start start(folder);
    start.coin = 0;
    ASSERT_TRUE(start.shell.construct());
    AppSettings& s = start.shell.settings();
    EXPECT_EQ(s.fileFormat, 7);
    EXPECT_FALSE(s.shiftTimeAuto);
    EXPECT_TRUE(s.findNewTv);
    EXPECT_EQ(s.connection.proxyHost, "proxy.local");
    EXPECT_EQ(s.connection.proxyPort, "3128");
    EXPECT_EQ(s.connection.proxyUser, cp("пользователь"));
    EXPECT_EQ(s.connection.proxyPassword, "secret");
    EXPECT_EQ(s.connection.subscriberId, "12345");
    EXPECT_EQ(s.primaryHost, "localhost:8080");
    EXPECT_EQ(s.alternateHost, "127.0.0.1:8081");
    // The coin gave 0: the alternate host; the refresh's switch goes to the primary.
    EXPECT_EQ(s.connection.host, "127.0.0.1:8081");
    EXPECT_EQ(s.otherHost(), "localhost:8080");
    ASSERT_TRUE(start.shell.show());
    s.shiftTimeAuto = true;
    s.findNewTv = false;
    start.shell.close();

    QSettingsConfigStore written(QString::fromStdString(folder / "config/Ostrelo.conf"));
    EXPECT_EQ(written.readString("FileFormat"), "7");
    EXPECT_EQ(written.readInteger("ShiftTimeAuto"), 1);
    EXPECT_EQ(written.readInteger("FindNewTv"), 0);
    // The proxy values belong to the connection settings dialog: untouched.
    EXPECT_EQ(written.readString("ProksyUser"), cp("пользователь"));
}

TEST(ApplicationShell, FileFormatThatIsNotADecimalNumberReadsAsZeroAndTheStartGoesOn) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {{"", 0},    {"1", 1},           {"2", 2},   {" 2 ", 2},
                          {"+1", 1},  {"-3", -3},         {"abc", 0}, {"1x", 0},
                          {"0x1", 0}, {"99999999999", 0}, {"1.5", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseFileFormat(c.text), c.value);
    }
    TempFolder folder;
    createStore(folder / "OSL.gdb")->close();
    {
        QSettingsConfigStore config(QString::fromStdString(folder / "config/Ostrelo.conf"));
        config.writeString("FileFormat", "RTF");
        config.flush();
    }
    Start start(folder);
    ASSERT_TRUE(start.shell.construct());
    EXPECT_EQ(start.shell.settings().fileFormat, 0);
    EXPECT_TRUE(start.shell.show());
    EXPECT_TRUE(start.prompts.recorded.empty());
    start.shell.close();
}

TEST(ApplicationShell, ExistingStoreThatCannotBeOpenedIsNeverRecreated) {
    TempFolder folder;
    const std::string damaged = "this is not a database, but it is somebody's file";
    writeFile(folder / "OSL.gdb", damaged);

    {
        // Alone: the database's own reason is shown.
        Start alone(folder);
        EXPECT_FALSE(alone.shell.construct());
        ASSERT_EQ(alone.prompts.recorded.size(), 1u);
        const RecordedPrompt& shown = alone.prompts.recorded[0];
        EXPECT_EQ(shown.caption, cp("Ошибка загрузки."));
        EXPECT_EQ(shown.text.rfind(cp("Не удалось открыть базу данных "), 0), 0u) << shown.text;
        EXPECT_NE(shown.text.find("OSL.gdb"), std::string::npos);
        EXPECT_GT(shown.text.size(),
                  cp("Не удалось открыть базу данных ").size() + (folder / "OSL.gdb").size() + 3);
    }
    {
        // With another copy running: that is the reason given.
        Start withCopy(folder);
        withCopy.processes.names =
            std::vector<std::string>{kExecutableFileName, kExecutableFileName};
        EXPECT_FALSE(withCopy.shell.construct());
        ASSERT_EQ(withCopy.prompts.recorded.size(), 1u);
        EXPECT_EQ(withCopy.prompts.recorded[0].caption, cp("Ошибка загрузки."));
        EXPECT_EQ(withCopy.prompts.recorded[0].text.rfind(cp("Программа уже ОТКРЫТА !!!"), 0), 0u);
    }
    EXPECT_TRUE(readFile(folder / "OSL.gdb") == damaged);
}

// Another process holds the store (the embedded engine locks the file): the
// start says so and leaves the store as it is, its rows included.
TEST(ApplicationShell, StoreHeldByAnotherProcessIsReportedAndLeftAlone) {
    if (std::system("command -v isql-fb >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no isql-fb";
    TempFolder folder;
    const std::string path = folder / "OSL.gdb";
    {
        auto db = createStore(path);
        db->execute(
            "insert into PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT) values (7, '01.02.2024', "
            "'X', 'R')");
        db->close();
    }
    // isql-fb attaches soon after it starts; a probe of ours that meets it
    // half-way can keep it out, so a start that never holds the file is retried.
    FILE* holder = nullptr;
    bool held = false;
    for (int attempt = 0; attempt < 5 && !held; ++attempt) {
        if (holder)
            pclose(holder);
        holder = popen(
            ("isql-fb -q -user SYSDBA -password wintercap '" + path + "' >/dev/null 2>&1").c_str(),
            "w");
        ASSERT_NE(holder, nullptr);
        for (int probe = 0; probe < 20 && !held; ++probe) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            try {
                Database::open(path)->close();
            } catch (const DatabaseError&) {
                held = true;
            }
        }
    }
    if (held) {
        Start start(folder);
        start.processes.names = std::vector<std::string>{kExecutableFileName};
        EXPECT_FALSE(start.shell.construct());
        ASSERT_EQ(start.prompts.recorded.size(), 1u);
        const std::string& text = start.prompts.recorded[0].text;
        EXPECT_EQ(text.rfind(cp("Не удалось открыть базу данных "), 0), 0u);
        EXPECT_NE(text.find("lock"), std::string::npos) << text;
    }
    fputs("quit;\n", holder);
    pclose(holder);
    ASSERT_TRUE(held) << "isql-fb did not attach";
    auto db = Database::open(path);
    EXPECT_EQ(db->query("select count(*) from PROGRAM where DATEKEY = 7").rows.at(0).at(0),
              Value::integer(1));
}

TEST(ApplicationShell, HandOffInstallsTheDownloadedProgramAndEnds) {
    TempFolder folder;
    // The downloaded file runs from the program's folder; "new.exe" stands in
    // the path, here as the executable's name.
    writeFile(folder / kExecutableFileName, "old program");
    writeFile(folder / "new.exe", "new program");
    createStore(folder / "OSL.gdb")->close();

    Start start(folder, "new.exe");
    EXPECT_FALSE(start.shell.construct());
    EXPECT_TRUE(start.shell.isHandOff());
    ASSERT_EQ(start.prompts.recorded.size(), 1u);
    EXPECT_EQ(start.prompts.recorded[0].text, cp("Программа исталлирована."));
    EXPECT_EQ(start.prompts.recorded[0].caption, cp("Обновление."));
    EXPECT_EQ(readFile(folder / kExecutableFileName), "new program");
    EXPECT_FALSE(fs::exists(folder / "new.exe"));
    ASSERT_EQ(start.launcher.started.size(), 1u);
    EXPECT_EQ(start.launcher.started[0].program, folder / kExecutableFileName);
    EXPECT_EQ(start.launcher.started[0].workingDirectory, folder.path() + "/");
    EXPECT_FALSE(start.shell.show());
    EXPECT_EQ(start.prompts.recorded.size(), 1u);
}

TEST(ApplicationShell, HandOffIsRecognisedAnywhereInThePathAndOnlyInItsOwnCase) {
    TempFolder folder;
    fs::create_directories(folder / "new.exe.d");
    createStore(folder / "OSL.gdb")->close();
    Start inFolderName(folder, std::string("new.exe.d/") + kExecutableFileName);
    inFolderName.shell.construct();
    EXPECT_TRUE(inFolderName.shell.isHandOff());

    Start otherCase(folder, "NEW.EXE");
    EXPECT_TRUE(otherCase.shell.construct());
    EXPECT_FALSE(otherCase.shell.isHandOff());
    EXPECT_TRUE(otherCase.launcher.started.empty());
}

TEST(ApplicationShell, CloseCommitsWhatIsPending) {
    TempFolder folder;
    createStore(folder / "OSL.gdb")->close();
    {
        Start start(folder);
        ASSERT_TRUE(start.shell.construct());
        ASSERT_TRUE(start.shell.show());
        start.shell.database()->execute(
            "insert into PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT) values (5, "
            "'01.02.2024', 'X', 'R')");
        start.shell.close();
        ASSERT_NE(start.shell.database(), nullptr);
        EXPECT_FALSE(start.shell.database()->isOpen());
        EXPECT_THROW(start.shell.database()->query("select count(*) from PROGRAM"), DatabaseError);
    }
    auto db = Database::open(folder / "OSL.gdb");
    EXPECT_EQ(db->query("select count(*) from PROGRAM").rows.at(0).at(0), Value::integer(1));
}

TEST(PlatformLayers, ConfigurationLivesInOstreloConfUnderTheUsersConfigurationFolder) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    ASSERT_TRUE(xdg || home);
    const std::string folder = xdg && *xdg ? std::string(xdg) : std::string(home) + "/.config";
    QSettingsConfigStore store;
    EXPECT_EQ(store.location().toStdString(), folder + "/Ostrelo.conf");
}

TEST(PlatformLayers, ProcessListFindsThisProcess) {
    auto processes = systemProcessList();
    auto names = processes->executableNames();
    ASSERT_TRUE(names.has_value());
    const std::string own = fs::read_symlink("/proc/self/exe").filename().string();
    EXPECT_GE(countInstances(*processes, own), 1);
    EXPECT_EQ(countInstances(*processes, own + "-which-does-not-run"), 0);
}

TEST(PlatformLayers, KeyboardLayoutRestoresTheNameItWasGiven) {
    auto layout = systemKeyboardLayout();
    const std::string saved = layout->activeLayoutName();
    EXPECT_EQ(saved.size(), 8u);
    ASSERT_TRUE(layout->activate(kRussianLayout));
    EXPECT_EQ(layout->activeLayoutName(), kRussianLayout);
    ASSERT_TRUE(layout->activate("00000409"));
    EXPECT_EQ(layout->activeLayoutName(), "00000409");
    layout->activate(saved);
    EXPECT_EQ(layout->activeLayoutName(), saved);
}

TEST(ApplicationShell, NameTablesStartOnMondayAndJanuary) {
    EXPECT_EQ(DayNames()[1], cp("Понедельник"));
    EXPECT_EQ(DayNames()[7], cp("Воскресенье"));
    EXPECT_EQ(MonthNames()[1], cp("января"));
    EXPECT_EQ(MonthNames()[5], cp("мая"));
    EXPECT_EQ(MonthNames()[12], cp("декабря"));
}

}  // namespace
}  // namespace mirvaly::test
