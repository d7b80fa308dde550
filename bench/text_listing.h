#pragma once

// A made-up TV listing in Windows-1251, as the service delivers it in text
// form: day headings, broadcast times (hh:mm, h.mm, with seconds), dates,
// typographic quotes, slash remarks, stray blanks and tabs, CR LF line ends.
// The same seed gives the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "common/codec.h"

namespace mirvaly::bench {

class ListingGenerator {
public:
    explicit ListingGenerator(uint64_t seed) : m_state(seed * 2654435761u + 1) {
        for (const char* w :
             {"Новости", "Погода", "Доброе утро", "Время", "Кино", "Спорт",
              "Футбол. Чемпионат России", "Мультфильмы", "Сериал", "Вести", "Ток-шоу",
              "Документальный фильм", "Пусть говорят", "Ералаш", "Ёлки", "Играй, гармонь"})
            m_titles.push_back(cp(w));
        for (const char* w : {"Х/ф ", "Т/с ", "Д/ф ", "М/ф ", "", "", ""})
            m_kinds.push_back(cp(w));
        for (const char* w : {"Война и мир", "Кухня", "Остров", "Москва слезам не верит",
                              "Ирония судьбы", "Тихий Дон"})
            m_names.push_back(cp(w));
        for (const char* w :
             {"ПОНЕДЕЛЬНИК", "ВТОРНИК", "СРЕДА", "ЧЕТВЕРГ", "ПЯТНИЦА", "СУББОТА", "ВОСКРЕСЕНЬЕ"})
            m_days.push_back(cp(w));
    }

    std::string make(size_t bytes) {
        std::string out;
        out.reserve(bytes + 256);
        while (out.size() < bytes)
            appendLine(out);
        return out;
    }

private:
    uint64_t next() {
        m_state ^= m_state << 13, m_state ^= m_state >> 7, m_state ^= m_state << 17;
        return m_state;
    }
    size_t pick(size_t n) { return static_cast<size_t>(next() % n); }
    void two(std::string& out, int v) {
        out += static_cast<char>('0' + v / 10);
        out += static_cast<char>('0' + v % 10);
    }

    void appendLine(std::string& out) {
        const size_t kind = pick(20);
        if (kind == 0) {
            out += m_days[pick(m_days.size())] + ", ";
            two(out, 1 + static_cast<int>(pick(28)));
            out += '.';
            two(out, 1 + static_cast<int>(pick(12)));
            out += ".08\r\n";
            return;
        }
        const int hour = static_cast<int>(pick(24)), minute = static_cast<int>(pick(60));
        switch (pick(4)) {
            case 0:  // 9.05
                out += std::to_string(hour);
                out += '.';
                two(out, minute);
                break;
            case 1:  // 21:30:00
                two(out, hour);
                out += ':';
                two(out, minute);
                out += ":00";
                break;
            default:  // 06:00
                two(out, hour);
                out += ':';
                two(out, minute);
                break;
        }
        out += pick(8) == 0 ? "  \t" : " ";
        if (pick(10) == 0)
            out += '+';
        const std::string& k = m_kinds[pick(m_kinds.size())];
        if (!k.empty()) {
            out += k + (pick(2) ? "\xAB" : "\"") + m_names[pick(m_names.size())] +
                   (pick(2) ? "\xBB" : "\"");
            if (pick(3) == 0)
                out += cp(" /Россия, 19") + std::to_string(50 + pick(50)) + "/";
        } else {
            out += m_titles[pick(m_titles.size())];
        }
        if (pick(6) == 0)
            out += " (CNN, NBC)";
        if (pick(5) == 0)
            out += cp(". Цена 1.500 руб.");
        if (pick(7) == 0)
            out += " 12:30, 100.50";
        out += pick(9) == 0 ? "  \r\n" : "\r\n";
    }

    uint64_t m_state;
    std::vector<std::string> m_titles, m_kinds, m_names, m_days;
};

}  // namespace mirvaly::bench
