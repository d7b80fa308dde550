#include "app/qsettings_config_store.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "app/qt_text.h"

namespace mirvaly {

QSettingsConfigStore::QSettingsConfigStore()
#ifdef Q_OS_WIN
    : m_settings(std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Ostrelo"),
                                             QSettings::NativeFormat))
#else
    // Organisation "Ostrelo" without an application name is the file
    // Ostrelo.conf directly in the user's configuration folder.
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Ostrelo"), QString()))
#endif
{
}

QSettingsConfigStore::QSettingsConfigStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

QSettingsConfigStore::~QSettingsConfigStore() = default;

std::optional<std::string> QSettingsConfigStore::readString(const std::string& name) {
    QVariant value = m_settings->value(toQString(name));
    if (!value.isValid())
        return std::nullopt;
    return fromQString(value.toString());
}

std::optional<int> QSettingsConfigStore::readInteger(const std::string& name) {
    QVariant value = m_settings->value(toQString(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    int number = value.toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

void QSettingsConfigStore::writeString(const std::string& name, const std::string& value) {
    m_settings->setValue(toQString(name), toQString(value));
}

void QSettingsConfigStore::writeInteger(const std::string& name, int value) {
    m_settings->setValue(toQString(name), value);
}

void QSettingsConfigStore::flush() {
    m_settings->sync();
}

QString QSettingsConfigStore::location() const {
    return m_settings->fileName();
}

}  // namespace mirvaly
