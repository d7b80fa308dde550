#include "app/application_shell.h"

#include <charconv>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/error_text.h"
#include "common/codec.h"
#include "common/text.h"

namespace mirvaly {
namespace {

namespace fs = std::filesystem;

std::string directoryWithSeparator(const std::string& path) {
    fs::path dir = fs::path(path).parent_path();
    std::string text = dir.string();
    if (text.empty() || text.back() != fs::path::preferred_separator)
        text += fs::path::preferred_separator;
    return text;
}

// File paths are in the system's encoding; messages are Windows-1251.
std::string pathForDisplay(const std::string& path) {
    return errorTextForDisplay(path);
}

void informTopmost(UserPrompts& prompts, const char* text, const char* caption) {
    prompts.inform(cp(text), cp(caption), PromptIcon::None, true);
}

const char* const kSecondInstanceText =
    "Программа уже ОТКРЫТА !!! (Нельзя одновременно загружать более однго процесса).";
const char* const kSecondInstanceCaption = "Ошибка загрузки.";

}  // namespace

int parseFileFormat(const std::string& text) {
    std::string_view digits = trimmed(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return 0;
    return value;
}

ApplicationShell::ApplicationShell(ShellEnvironment env) : m_env(std::move(env)) {
    if (!m_env.coin) {
        auto engine = std::make_shared<std::mt19937>(static_cast<unsigned>(std::time(nullptr)));
        m_env.coin = [engine] { return static_cast<int>((*engine)() % 2); };
    }
}

ApplicationShell::~ApplicationShell() = default;

bool ApplicationShell::construct() {
    m_executableDir = directoryWithSeparator(m_env.executablePath);
    m_databasePath = m_executableDir + kStoreFileName;
    m_handOff = m_env.executablePath.find(kUpdateFileName) != std::string::npos;
    if (m_handOff)
        installUpdate();
    m_settings.connection.progVersion = kProgVersion;
    readConfiguration();
    chooseHost();
    // While handing off, the old copy may still hold the store; the started
    // program checks it itself.
    if (!m_handOff && !checkStorePresence())
        m_endRequested = true;
    return !m_endRequested;
}

// The downloaded version replaces the program file and starts it; this
// process then ends.
void ApplicationShell::installUpdate() {
    informTopmost(m_env.prompts, "Программа исталлирована.", "Обновление.");
    std::error_code ec;
    fs::remove(m_executableDir + kExecutableFileName, ec);
    fs::path work(m_env.workingDirectory);
    fs::rename(work / kUpdateFileName, work / kExecutableFileName, ec);
    m_env.launcher.start(m_executableDir + kExecutableFileName, m_executableDir);
    m_endRequested = true;
}

void ApplicationShell::chooseHost() {
    m_settings.connection.host =
        m_env.coin() == 1 ? m_settings.primaryHost : m_settings.alternateHost;
}

// Only a missing file is created. An existing file that cannot be opened is
// left alone: most often another copy of the program holds it (the embedded
// engine opens it exclusively), otherwise it is damaged or unreadable.
bool ApplicationShell::checkStorePresence() {
    std::error_code ec;
    bool exists = fs::exists(m_databasePath, ec) || ec;
    if (!exists) {
        informTopmost(m_env.prompts, "Запустите программу еще раз!", "Создание базы данных.");
        runGuarded(m_env.prompts, [&] { m_env.store.create(m_databasePath)->close(); });
        return false;
    }
    try {
        m_env.store.open(m_databasePath)->close();
        return true;
    } catch (const std::exception& e) {
        if (countInstances(m_env.processes, fs::path(m_env.executablePath).filename().string()) > 1)
            informTopmost(m_env.prompts, kSecondInstanceText, kSecondInstanceCaption);
        else
            m_env.prompts.inform(cp("Не удалось открыть базу данных ") +
                                     pathForDisplay(m_databasePath) + ":\n" +
                                     errorTextForDisplay(e.what()),
                                 cp(kSecondInstanceCaption), PromptIcon::Error, true);
    }
    return false;
}

void ApplicationShell::readConfiguration() {
    ConfigStore& config = m_env.config;
    m_settings.shiftTimeAuto = config.readInteger("ShiftTimeAuto").value_or(1) != 0;
    m_settings.findNewTv = config.readInteger("FindNewTv").value_or(0) != 0;
    m_settings.fileFormat = parseFileFormat(config.readString("FileFormat").value_or(""));
    ConnectionSettings& c = m_settings.connection;
    c.proxyHost = config.readString("ProksyHost").value_or("");
    c.proxyPort = config.readString("ProksyPort").value_or("");
    c.proxyUser = config.readString("ProksyUser").value_or("");
    c.proxyPassword = config.readString("ProksyPassword").value_or("");
    c.subscriberId = config.readString("SubscriberId").value_or("");
    std::string host1(trimmed(config.readString("ServiceHost1").value_or("")));
    std::string host2(trimmed(config.readString("ServiceHost2").value_or("")));
    m_settings.primaryHost = host1.empty() ? kDefaultServiceHost1 : host1;
    m_settings.alternateHost = host2.empty() ? kDefaultServiceHost2 : host2;
}

bool ApplicationShell::show() {
    if (m_handOff || m_endRequested)
        return false;
    std::string ownName = fs::path(m_env.executablePath).filename().string();
    if (countInstances(m_env.processes, ownName) > 1) {
        informTopmost(m_env.prompts, kSecondInstanceText, kSecondInstanceCaption);
        m_endRequested = true;
        return false;
    }
    bool opened = runGuarded(m_env.prompts, [&] {
        m_database = m_env.store.open(m_databasePath);
        m_database->startTransaction();
    });
    if (!opened) {
        m_database.reset();
        m_endRequested = true;
    }
    return opened;
}

void ApplicationShell::close() {
    if (m_closed)
        return;
    m_closed = true;
    // The attachment ends here, but the object stays until the shell goes:
    // the windows hold it, and a refresh that is still pumping messages when
    // the window closes then meets a closed store, not a freed one.
    if (m_database && m_database->isOpen())
        runGuarded(m_env.prompts, [&] { m_database->close(); });
    writeConfiguration();
}

// Written whether or not the values (or the key) existed before, so that a new
// installation gets its configuration at the first close.
void ApplicationShell::writeConfiguration() {
    ConfigStore& config = m_env.config;
    config.writeString("FileFormat", std::to_string(m_settings.fileFormat));
    config.writeInteger("ShiftTimeAuto", m_settings.shiftTimeAuto ? 1 : 0);
    config.writeInteger("FindNewTv", m_settings.findNewTv ? 1 : 0);
    config.flush();
}

std::string ApplicationShell::windowTitle() const {
    return cp("Телепрограммы v. ") + m_settings.connection.progVersion + ".0 |";
}

}  // namespace mirvaly
