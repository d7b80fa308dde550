#include <algorithm>
#include <cstdio>

#include "store/database.h"

namespace mirvaly {

Value Value::integer(int64_t v) {
    Value r;
    r.m_kind = Kind::Integer;
    r.m_integer = v;
    return r;
}

Value Value::text(std::string bytes) {
    Value r;
    r.m_kind = Kind::Text;
    r.m_bytes = std::move(bytes);
    return r;
}

Value Value::date(Date d) {
    Value r;
    r.m_kind = Kind::Date;
    r.m_date = d;
    return r;
}

Value Value::timestamp(Date d, int timeOfDayMs) {
    Value r = date(d);
    r.m_timeMs = timeOfDayMs;
    return r;
}

Value Value::blob(std::string bytes) {
    Value r;
    r.m_kind = Kind::Blob;
    r.m_bytes = std::move(bytes);
    return r;
}

int64_t Value::asInteger(int64_t orElse) const {
    return m_kind == Kind::Integer ? m_integer : orElse;
}

std::string Value::asText() const {
    switch (m_kind) {
        case Kind::Null:
            return {};
        case Kind::Integer:
            return std::to_string(m_integer);
        case Kind::Date: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", m_date.day, m_date.month, m_date.year);
            std::string s = buf;
            if (m_timeMs != 0) {  // as the Delphi run time shows a date-time: no time when midnight
                int t = m_timeMs / 1000;
                std::snprintf(buf, sizeof buf, " %d:%02d:%02d", t / 3600, t / 60 % 60, t % 60);
                s += buf;
            }
            return s;
        }
        case Kind::Text:
        case Kind::Blob:
            return m_bytes;
    }
    return {};
}

Date Value::asDate() const {
    return m_kind == Kind::Date ? m_date : Date{};
}

int QueryResult::column(std::string_view name) const {
    auto it = std::find(columns.begin(), columns.end(), name);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
}

}  // namespace mirvaly
