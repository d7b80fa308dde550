#include "app/app_settings.h"

#include "common/codec.h"

namespace mirvaly {

const std::array<std::string, 8>& DayNames() {
    static const std::array<std::string, 8> names = {
        "",
        cp("Понедельник"),
        cp("Вторник"),
        cp("Среда"),
        cp("Четверг"),
        cp("Пятница"),
        cp("Суббота"),
        cp("Воскресенье"),
    };
    return names;
}

const std::array<std::string, 13>& MonthNames() {
    static const std::array<std::string, 13> names = {
        "",
        cp("января"),
        cp("февраля"),
        cp("марта"),
        cp("апреля"),
        cp("мая"),
        cp("июня"),
        cp("июля"),
        cp("августа"),
        cp("сентября"),
        cp("октября"),
        cp("ноября"),
        cp("декабря"),
    };
    return names;
}

}  // namespace mirvaly
