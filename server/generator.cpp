#include "server/generator.h"

#include <ctime>
#include <random>

#include "common/codec.h"

namespace mirvaly::reference {
namespace {

// Days since 1970-01-01 of a civil date and back (proleptic Gregorian).
int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const char* const kChannels[] = {"Первый канал",
                                 "Россия 1",
                                 "НТВ",
                                 "Пятый канал",
                                 "Россия К",
                                 "Матч ТВ",
                                 "СТС",
                                 "ТНТ",
                                 "РЕН ТВ",
                                 "Звезда",
                                 "Карусель",
                                 "Домашний",
                                 "ТВ-3",
                                 "Пятница!",
                                 "Мир",
                                 "ОТР",
                                 "ТВ Центр",
                                 "Спас",
                                 "Муз-ТВ",
                                 "Россия 24",
                                 "Петербург",
                                 "Ю",
                                 "Че",
                                 "2x2",
                                 "Супер",
                                 "Русский роман",
                                 "Дом кино",
                                 "Моя планета",
                                 "Охота и рыбалка",
                                 "Союз"};

// Full title (with %d for an episode number) and the delivered type.
struct Show {
    const char* title;
    const char* type;
};

const Show kMorning[] = {
    {"\"Доброе утро\"", ""},
    {"М/с \"Смешарики\"", "М/с"},
    {"М/ф \"Ну, погоди!\"", "М/ф"},
    {"Мультфильмы", "М/ф"},
};

const Show kNews[] = {
    {"Новости", "Новости"},
    {"\"Вести\"", "Новости"},
    {"Новости спорта", "Новости"},
    {"Погода", ""},
};

const Show kEveningNews = {"\"ВРЕМЯ\"", ""};
const Show kBedtime = {"\"Спокойной ночи, малыши!\"", ""};

const Show kShows[] = {
    {"Х/ф \"Война и мир\". %d-я серия", "Х/ф"},
    {"Х/ф \"Ирония судьбы, или С лёгким паром!\"", "Х/ф"},
    {"Х/ф \"Москва слезам не верит\"", "Х/ф"},
    {"Х/ф \"Белое солнце пустыни\"", "Х/ф"},
    {"Х/ф \"Служебный роман\". %d-я серия", "Х/ф"},
    {"Х/ф \"Пятница, 13-е\"", "Х/ф"},
    {"Художественный фильм \"Офицеры\"", "Х/ф"},
    {"Т/с \"Улицы разбитых фонарей\": \"Тайна старого дома\"", "Т/с"},
    {"Т/с \"След\". %d-я серия", "Т/с"},
    {"Т/с \"Тайны следствия\" \"Последний свидетель\"", "Т/с"},
    {"Телесериал \"Каменская\". %d-я серия", "Т/с"},
    {"Сериал \"Понедельник начинается в субботу\"", "Т/с"},
    {"Д/ф \"Тайны океана\"", "Д/ф"},
    {"Д/с \"Великие реки России\". %d-я серия", "Д/с"},
    {"Документальный фильм \"Воскресенье в деревне\"", "Д/ф"},
    {"Футбол. Чемпионат России. \"Спартак\" - \"Зенит\". Прямая трансляция", "Футбол"},
    {"Хоккей. КХЛ. \"ЦСКА\" - \"СКА\"", "Хоккей"},
    {"Биатлон. Кубок мира. Спринт", "Биатлон"},
    {"Ток-шоу \"Пусть говорят\"", "Ток-шоу"},
    {"Телеигра \"Поле чудес\"", "Телеигра"},
    {"Телеигра \"Что? Где? Когда?\"", "Телеигра"},
    {"Концерт \"Песня года\"", "Концерт"},
    {"\"Суббота. Вечер. Москва\"", ""},
};

const char* const kAnnouncements[] = {
    "Премьера сезона. Новые серии каждый вечер.",
    "Лучшие фильмы недели в нашем эфире.",
    "Прямая трансляция матча. Комментирует Виктор Гусев.",
    "Впервые на телеэкране: документальная история великих открытий.",
    "Семейный вечер: старые добрые комедии.",
};

const char* const kCategories[] = {"Для газет", "Для журналов", "Для сайта"};

std::string replaceEpisode(std::string title, int episode) {
    const size_t at = title.find("%d");
    if (at != std::string::npos)
        title.replace(at, 2, std::to_string(episode));
    return title;
}

// The short title as delivered: a typed title from its first quoted name on,
// anything else whole.
std::string shortTitle(const std::string& title, const std::string& type) {
    const size_t quote = title.find('"');
    if (type.empty() || quote == std::string::npos)
        return title;
    return title.substr(quote);
}

template <size_t N>
constexpr int count(const Show (&)[N]) {
    return static_cast<int>(N);
}

// Times as editors write them: "9.30", "09.30", "9:30", "21:00".
std::string timeText(int minutes, int style) {
    const int h = (minutes / 60) % 24, m = minutes % 60;
    const char separator = style % 2 == 0 ? '.' : ':';
    std::string hours = std::to_string(h);
    if (style >= 2 && h < 10)
        hours = "0" + hours;
    const std::string mm = (m < 10 ? "0" : "") + std::to_string(m);
    return hours + separator + mm;
}

class Generator {
public:
    explicit Generator(const GeneratorOptions& o) : m_o(o), m_random(o.seed) {
        int y = o.startYear, m = o.startMonth, d = o.startDay;
        if (y == 0) {
            const int64_t today = static_cast<int64_t>(std::time(nullptr)) / 86400;
            const int64_t monday = today - (today + 3) % 7;  // 1970-01-01 was a Thursday
            civilFromDays(monday, y, m, d);
        }
        m_startDay = daysFromCivil(y, m, d);
        m_nextKey = m_startDay * 86400 - 2 * 86400 + 9 * 3600;  // saved two days before
    }

    Catalogue run() {
        Catalogue c;
        c.subscribers.push_back(m_o.subscriber);
        for (int channel = 0; channel < m_o.channels; ++channel) {
            const int perDay = m_o.itemsPerProgramme > 0
                                   ? (m_o.itemsPerProgramme + m_o.days - 1) / m_o.days
                                   : m_o.itemsPerDay;
            auto main = tab(channel, "R", "", perDay, m_o.days);
            if (m_o.itemsPerProgramme > 0)
                main.items.resize(m_o.itemsPerProgramme);
            main.counts = static_cast<int>(main.items.size());
            c.programmes.push_back(std::move(main));
            if (!m_o.extras)
                continue;
            if (channel % 3 == 1)
                c.programmes.push_back(tab(channel, "S", cp("Будни"), perDay / 2, 5));
            if (channel % 4 == 2)
                c.programmes.push_back(tab(channel, "P", cp("Правка"), 3, 1));
            if (channel % 4 == 3)
                c.programmes.push_back(announcements(channel));
        }
        if (m_o.extras && m_o.channels > 0) {
            c.programmes.push_back(text(0, "A", cp("Анонс"), weekHighlights()));
            c.programmes.push_back(text(m_o.channels > 1 ? 1 : 0, "P", cp("Правка"), edits()));
            c.programmes.push_back(attachedFile(0));
            c.programmes.push_back(guide());
        }
        return c;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::string channelName(int channel) const {
        constexpr int known = sizeof kChannels / sizeof kChannels[0];
        if (channel < known)
            return cp(kChannels[channel]);
        return cp("Канал ") + std::to_string(channel + 1);
    }

    CatalogueProgramme programme(int channel, const char* variant, std::string subvariant,
                                 const char* types) {
        CatalogueProgramme p;
        p.key = m_nextKey;
        m_nextKey += 37 + pick(300);
        p.date = day(0);
        p.channel = channelName(channel);
        p.variant = variant;
        p.subvariant = std::move(subvariant);
        p.category = cp(kCategories[channel % 3]);
        p.num = channel + 1;
        // Regional feeds run some hours ahead of Moscow.
        p.shiftTime = channel % 5 == 3 ? 2 : channel % 5 == 4 ? 4 : 0;
        p.types = types;
        return p;
    }

    std::string day(int offset) const {
        int y, m, d;
        civilFromDays(m_startDay + offset, y, m, d);
        return dateText(y, m, d);
    }

    CatalogueProgramme tab(int channel, const char* variant, std::string subvariant, int perDay,
                           int days) {
        CatalogueProgramme p = programme(channel, variant, std::move(subvariant), "TAB");
        const int style = channel % 4;
        for (int d = 0; d < std::min(days, m_o.days); ++d) {
            // From 6:00 to about 2:00 the next night.
            const int span = 20 * 60;
            int minute = 6 * 60;
            int newsHour = 6;
            bool bedtime = false;
            for (int i = 0; i < perDay; ++i) {
                const Show& show = showAt(minute, newsHour, bedtime);
                const std::string title = replaceEpisode(cp(show.title), 1 + pick(24));
                const std::string type = cp(show.type);
                p.items.push_back(
                    {day(d), timeText(minute, style), title, type, shortTitle(title, type), ""});
                const int step = std::max(1, span / std::max(1, perDay));
                minute += std::max(1, step - step / 4 + pick(step / 2 + 1)) / 5 * 5 + 5;
            }
        }
        p.counts = static_cast<int>(p.items.size());
        return p;
    }

    // Morning programmes before 9:00, news on the first item of every third
    // hour, the children's good-night programme before 21:00, else anything.
    const Show& showAt(int minute, int& newsHour, bool& bedtime) {
        if (minute >= 20 * 60 + 30 && minute < 21 * 60 && !bedtime) {
            bedtime = true;
            return kBedtime;
        }
        if (minute >= (newsHour + 3) * 60 && minute < 22 * 60) {
            newsHour = minute / 60 / 3 * 3;
            return newsHour == 21 ? kEveningNews : kNews[pick(count(kNews))];
        }
        if (minute < 9 * 60)
            return kMorning[pick(count(kMorning))];
        return kShows[pick(count(kShows))];
    }

    CatalogueProgramme announcements(int channel) {
        CatalogueProgramme p = tab(channel, "A", cp("Анонс"), 1, m_o.days);
        for (auto& item : p.items)
            item.anons = cp(kAnnouncements[pick(5)]);
        return p;
    }

    CatalogueProgramme text(int channel, const char* variant, std::string subvariant,
                            std::string body) {
        CatalogueProgramme p = programme(channel, variant, std::move(subvariant), "TXT");
        p.content = std::move(body);
        return p;
    }

    std::string weekHighlights() {
        std::string t = cp("АНОНС НЕДЕЛИ\r\n\r\n");
        for (int d = 0; d < m_o.days; ++d) {
            t += day(d) + "\r\n";
            t += timeText(19 * 60 + 5 * pick(12), 0) + " " +
                 replaceEpisode(cp(kShows[pick(count(kShows))].title), 1 + d) + "\r\n";
            t += "    " + cp(kAnnouncements[pick(5)]) + "\r\n";
        }
        return t;
    }

    std::string edits() {
        return cp("ИЗМЕНЕНИЯ В ПРОГРАММЕ\r\n\r\n") + day(2) +
               cp("\r\nВместо Х/ф \"Офицеры\" в 21.30 смотрите Х/ф \"Служебный роман\".\r\n") +
               day(4) + cp("\r\n23:15 Футбол. Обзор тура - время уточняется.\r\n");
    }

    CatalogueProgramme attachedFile(int channel) {
        CatalogueProgramme p = programme(channel, "R", cp("Файл"), "FIL");
        p.fileName = channelName(channel) + cp(" неделя.rtf");
        std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Times New Roman;}}\r\n";
        for (unsigned char c : cp("Программа передач на неделю")) {
            static const char hex[] = "0123456789abcdef";
            if (c < 0x80) {
                rtf += static_cast<char>(c);
            } else {
                rtf += "\\'";
                rtf += hex[c >> 4];
                rtf += hex[c & 15];
            }
        }
        rtf += "\\par\r\n}\r\n";
        p.content = rtf;
        return p;
    }

    CatalogueProgramme guide() {
        CatalogueProgramme p = programme(0, "R", cp("Гид"), "TAB");
        p.channel = cp("Телегид");
        p.category = cp("Гиды");
        p.num = m_o.channels + 1;
        p.shiftTime = 0;
        for (int d = 0; d < m_o.days; ++d) {
            const std::string title = replaceEpisode(cp(kShows[pick(count(kShows))].title), 1);
            p.items.push_back({day(d), "20:00", cp("Выбор дня: ") + title, cp("Гид"), title, ""});
        }
        p.counts = static_cast<int>(p.items.size());
        return p;
    }

    GeneratorOptions m_o;
    std::mt19937 m_random;
    int64_t m_startDay = 0;
    int64_t m_nextKey = 0;
};

}  // namespace

std::string dateText(int year, int month, int day, int offset) {
    int y, m, d;
    civilFromDays(daysFromCivil(year, month, day) + offset, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", d, m, y);
    return text;
}

Catalogue generateCatalogue(const GeneratorOptions& options) {
    return Generator(options).run();
}

}  // namespace mirvaly::reference
