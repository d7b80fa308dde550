#include "app/qsettings_config_store.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "common/codec.h"

namespace mirvaly {
namespace {

QString fromCp1251(const std::string& bytes) {
    return QString::fromStdString(cp1251ToUtf8(bytes));
}

std::string toCp1251(const QString& text) {
    return utf8ToCp1251(text.toStdString());
}

}  // namespace

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
    QVariant value = m_settings->value(fromCp1251(name));
    if (!value.isValid())
        return std::nullopt;
    return toCp1251(value.toString());
}

std::optional<int> QSettingsConfigStore::readInteger(const std::string& name) {
    QVariant value = m_settings->value(fromCp1251(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    int number = value.toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

void QSettingsConfigStore::writeString(const std::string& name, const std::string& value) {
    m_settings->setValue(fromCp1251(name), fromCp1251(value));
}

void QSettingsConfigStore::writeInteger(const std::string& name, int value) {
    m_settings->setValue(fromCp1251(name), value);
}

void QSettingsConfigStore::flush() {
    m_settings->sync();
}

QString QSettingsConfigStore::location() const {
    return m_settings->fileName();
}

}  // namespace mirvaly
