#include "app/qt_text.h"

#include "common/codec.h"

namespace mirvaly {

QString toQString(const std::string& cp1251) {
    std::string utf8 = cp1251ToUtf8(cp1251);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromQString(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    return utf8ToCp1251(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace mirvaly
