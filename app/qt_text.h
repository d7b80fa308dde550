#pragma once

// The one place where window code crosses between what Qt shows (Unicode) and
// what the rest of the program holds (Windows-1251 bytes).

#include <QString>
#include <string>

namespace mirvaly {

QString toQString(const std::string& cp1251);
std::string fromQString(const QString& text);

}  // namespace mirvaly
