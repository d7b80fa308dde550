#pragma once

// The application's start-up and shutdown, without windows: the one-time work
// of the main window's construction (hand-off after an update, the store's
// presence, the choice of the service host, the configuration), the show step
// (single-instance check, opening the store) and the close step (closing the
// store, writing the configuration).
//
// Every message goes through UserPrompts. construct() and show() return false
// when the application is to end; the caller then shows no window (the
// messages have been shown already). The shell owns the store from a
// successful show() until it is destroyed; close() ends the attachment
// (committing) and leaves a closed Database in place.

#include <functional>
#include <memory>
#include <string>

#include "app/app_settings.h"
#include "app/config_store.h"
#include "app/process_list.h"
#include "app/program_launcher.h"
#include "app/store_opener.h"
#include "common/user_prompts.h"
#include "store/database.h"

namespace mirvaly {

// The program's own file name and the file the self-update downloads.
#ifdef _WIN32
inline constexpr const char* kExecutableFileName = "Mirvaly.exe";
#else
inline constexpr const char* kExecutableFileName = "Mirvaly";
#endif
inline constexpr const char* kUpdateFileName = "new.exe";
inline constexpr const char* kStoreFileName = "OSL.gdb";

struct ShellEnvironment {
    std::string executablePath;    // full path of the running executable
    std::string workingDirectory;  // the process's working folder
    ConfigStore& config;
    ProcessList& processes;
    ProgramLauncher& launcher;
    UserPrompts& prompts;
    StoreOpener& store;
    // Draws 0 or 1 for the choice of the service host; empty: a generator
    // seeded with the current time.
    std::function<int()> coin;
};

// Reads "FileFormat": an empty or non-decimal text gives 0.
int parseFileFormat(const std::string& text);

class ApplicationShell {
public:
    explicit ApplicationShell(ShellEnvironment env);
    ~ApplicationShell();

    bool construct();
    bool show();
    void close();

    // True when the running executable is the downloaded update ("new.exe"
    // anywhere in its path, case-sensitive).
    bool isHandOff() const { return m_handOff; }
    bool endRequested() const { return m_endRequested; }

    AppSettings& settings() { return m_settings; }
    const AppSettings& settings() const { return m_settings; }
    const std::string& databasePath() const { return m_databasePath; }
    const std::string& executablePath() const { return m_env.executablePath; }
    Database* database() { return m_database.get(); }
    // The configuration store, for the connection settings dialog, which
    // writes the proxy values itself.
    ConfigStore& config() { return m_env.config; }

    // The keyboard layout name the viewer saves and restores.
    std::string savedLayoutName;

    // The window title: "Телепрограммы v. 17.0 |" (Windows-1251).
    std::string windowTitle() const;

private:
    void installUpdate();
    bool checkStorePresence();
    void readConfiguration();
    void writeConfiguration();
    void chooseHost();

    ShellEnvironment m_env;
    AppSettings m_settings;
    std::string m_executableDir;  // with its trailing separator
    std::string m_databasePath;
    std::unique_ptr<Database> m_database;
    bool m_handOff = false;
    bool m_endRequested = false;
    bool m_closed = false;
};

}  // namespace mirvaly
