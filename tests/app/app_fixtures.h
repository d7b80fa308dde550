#pragma once

// Fixtures of the application tests: a temporary folder removed afterwards,
// fakes of the process list and the program launcher, and a store filled
// with programmes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/process_list.h"
#include "app/program_launcher.h"
#include "store/database.h"

namespace mirvaly::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "mirvaly-app-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

class FakeProcessList : public ProcessList {
public:
    std::optional<std::vector<std::string>> names;
    std::optional<std::vector<std::string>> executableNames() override { return names; }
};

class FakeLauncher : public ProgramLauncher {
public:
    struct Start {
        std::string program, workingDirectory;
    };
    std::vector<Start> started;
    bool start(const std::string& program, const std::string& workingDirectory) override {
        started.push_back({program, workingDirectory});
        return true;
    }
};

// One programme row for the fixture store.
struct FixtureProgramme {
    int64_t key;
    Date date;
    std::string channel;  // Windows-1251
    std::string variant;
    std::optional<std::string> status;  // Windows-1251; nothing: NULL
    std::string types = "TAB";
    int items = 0;  // rows in P
};

inline void insertProgramme(Database& db, const FixtureProgramme& programme) {
    db.execute(
        "insert into PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, TEXT, STATUS, TYPES, "
        "SHIFTTIME) values (?, ?, ?, ?, ?, ?, ?, ?)",
        {Value::integer(programme.key), Value::date(programme.date), Value::text(programme.channel),
         Value::text(programme.variant), Value::blob("text of " + programme.channel),
         programme.status ? Value::text(*programme.status) : Value::null(),
         Value::text(programme.types), Value::integer(0)});
    for (int i = 0; i < programme.items; ++i)
        db.execute(
            "insert into P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) values (?, ?, "
            "'06:00', 'item', 'type', 'name', '')",
            {Value::integer(programme.key), Value::date(programme.date)});
}

}  // namespace mirvaly::test

namespace mirvaly::test {

// Shuts the embedded engine down after the last test of a gtest binary.
class EngineShutdown : public ::testing::Environment {
public:
    void TearDown() override { shutdownDatabaseEngine(); }
};

}  // namespace mirvaly::test
