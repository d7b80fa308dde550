#pragma once

// ConfigStore over QSettings. The default location is the platform's:
// HKEY_CURRENT_USER\Software\Ostrelo on Windows, $XDG_CONFIG_HOME/Ostrelo.conf
// (~/.config/Ostrelo.conf) elsewhere. Tests pass an INI file of their own.
// Integers are stored as numbers (REG_DWORD on Windows, decimal text in the
// INI file); strings are stored as the text they hold.

#include <memory>

#include "app/config_store.h"

class QSettings;
class QString;

namespace mirvaly {

class QSettingsConfigStore : public ConfigStore {
public:
    QSettingsConfigStore();                                 // the platform's location
    explicit QSettingsConfigStore(const QString& iniFile);  // an INI file of its own
    ~QSettingsConfigStore() override;

    std::optional<std::string> readString(const std::string& name) override;
    std::optional<int> readInteger(const std::string& name) override;
    void writeString(const std::string& name, const std::string& value) override;
    void writeInteger(const std::string& name, int value) override;
    void flush() override;

    // Where the values live (file path or registry key), for messages and tests.
    QString location() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

}  // namespace mirvaly
