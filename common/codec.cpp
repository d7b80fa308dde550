#include "common/codec.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace mirvaly {
namespace {

std::string encode(const QString& text, const char* codePage) {
    QStringEncoder encoder(codePage, QStringConverter::Flag::Default);
    QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString decode(std::string_view bytes, const char* codePage) {
    QStringDecoder decoder(codePage, QStringConverter::Flag::Default);
    return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace

std::string utf8ToCp1251(std::string_view utf8) {
    return encode(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())),
                  "windows-1251");
}

std::string cp1251ToUtf8(std::string_view cp1251) {
    QByteArray utf8 = decode(cp1251, "windows-1251").toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

std::string cp1251ToCp866(std::string_view cp1251) {
    return encode(decode(cp1251, "windows-1251"), "IBM866");
}

}  // namespace mirvaly
