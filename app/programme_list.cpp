#include "app/programme_list.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "common/codec.h"
#include "common/text.h"

namespace mirvaly {
namespace {

const char* const kNotFetchedText = "Программа еще не загружена с сервера.";
const char* const kNotFetchedCaption = "Просмотреть файл нельзя.";
const char* const kAttachedFileText =
    "Программа вложена файлом (сохраните на диск и откройте соответствующей программой).";
const char* const kAttachedFileCaption = "Просмотреть файл нельзя!";

std::string quoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

}  // namespace

const std::vector<ListColumn>& programmeListColumns() {
    // Widths of STATUS, VARIANT and SUBVARIANT follow their field lengths
    // (20, 1 and 10 characters) or their titles, whichever is wider.
    static const std::vector<ListColumn> columns = {
        {kDateField, cp("Дата сохранения"), 104},
        {"STATUS", cp("Последнее действие"), 124},
        {"CHENELID", cp("Канал"), 265},
        {"VARIANT", cp("Вариант"), 52},
        {"SUBVARIANT", cp("Тип"), 70},
        {"KATEGORY", cp("Для"), 160},
        {"SHIFTTIME", cp("Пояс"), 33},
        {"FILENAME", cp("Вложенный файл"), 136},
    };
    return columns;
}

std::string variantClause(int index) {
    switch (index) {
        case 1:
            return " and (PROGRAM.VARIANT='R' or PROGRAM.VARIANT='S') ";
        case 2:
            return " and PROGRAM.VARIANT='P' ";
        case 3:
            return " and PROGRAM.VARIANT='A' ";
        default:
            return "";
    }
}

std::string dateClause(const std::string& dateText) {
    if (dateText.size() < 8)
        return "PROGRAM.DATEPROG = '01.01.0001' ";
    return "PROGRAM.DATEPROG = '" + quoted(dateText) + "' ";
}

std::string listQuery(const std::string& dateText, int variantIndex) {
    return "select DISTINCT P.DATEKEY as P_DATEKEY, PROGRAM.* from PROGRAM left outer join P on "
           "PROGRAM.DATEKEY = P.DATEKEY where " +
           dateClause(dateText) + variantClause(variantIndex) + " order by PROGRAM.DATEKEY DESC";
}

std::string formatDate(const Date& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day % 100, date.month % 100,
                  date.year % 10000);
    return text;
}

std::string savedDateText(int64_t dateKey) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t moment = static_cast<std::time_t>(dateKey);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &moment) != 0)
        return {};
#else
    if (!localtime_r(&moment, &local))
        return {};
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d\n", days[local.tm_wday % 7],
                  months[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, local.tm_year + 1900);
    return std::string(text).substr(0, 20);
}

CellHighlight statusHighlight(std::string_view cellText) {
    static const std::string newDownload = cp("Новая загрузка!");
    static const std::string exported = cp("Выгружен в файл.");
    if (cellText == newDownload)
        return {true, {255, 0, 0}, {0, 0, 0}};
    if (cellText == exported)
        return {true, {0, 128, 0}, {0, 0, 0}};
    return {};
}

ProgrammeList::ProgrammeList(Database& database) : m_database(database) {}

int ProgrammeList::selectedDateIndex() const {
    auto it = std::find(m_dates.begin(), m_dates.end(), m_selectedDate);
    return it == m_dates.end() ? -1 : static_cast<int>(it - m_dates.begin());
}

void ProgrammeList::filter() {
    const std::string remembered = m_selectedDate;
    QueryResult dateRows =
        m_database.query("select DISTINCT DATEPROG from PROGRAM order by DATEPROG DESC");
    m_dates.clear();
    for (const Row& row : dateRows.rows)
        m_dates.push_back(formatDate(row.at(0).asDate()));
    if (std::find(m_dates.begin(), m_dates.end(), remembered) != m_dates.end())
        m_selectedDate = remembered;
    else
        m_selectedDate = m_dates.empty() ? std::string() : m_dates.front();

    m_query = listQuery(m_selectedDate, m_variantIndex);
    close();
    QueryResult result = m_database.query(m_query);
    if (m_listener)
        m_listener->listAboutToReset();
    m_columns = std::move(result.columns);
    m_rows = std::move(result.rows);
    m_oldKeys.clear();
    for (int i = 0; i < rowCount(); ++i)
        m_oldKeys.push_back(key(i));
    m_open = true;
    m_currentRow = m_rows.empty() ? -1 : 0;
    if (m_listener)
        m_listener->listReset();
}

void ProgrammeList::close() {
    if (!m_open && m_rows.empty())
        return;
    if (m_listener)
        m_listener->listAboutToReset();
    m_rows.clear();
    m_oldKeys.clear();
    m_open = false;
    m_currentRow = -1;
    if (m_listener)
        m_listener->listReset();
}

int ProgrammeList::columnIndex(std::string_view name) const {
    auto it = std::find(m_columns.begin(), m_columns.end(), name);
    return it == m_columns.end() ? -1 : static_cast<int>(it - m_columns.begin());
}

const Value& ProgrammeList::field(int row, std::string_view name) const {
    static const Value null;
    int column = columnIndex(name);
    if (row < 0 || row >= rowCount() || column < 0)
        return null;
    return m_rows[row][column];
}

std::string ProgrammeList::displayText(int row, std::string_view name) const {
    if (name == kDateField) {
        if (row < 0 || row >= rowCount())
            return {};
        return savedDateText(key(row));
    }
    const Value& value = field(row, name);
    if (value.kind() == Value::Kind::Date)
        return formatDate(value.asDate());
    return value.asText();
}

void ProgrammeList::setField(int row, std::string_view name, Value value) {
    int column = columnIndex(name);
    if (row < 0 || row >= rowCount() || column < 0)
        return;
    m_rows[row][column] = std::move(value);
    if (m_listener)
        m_listener->rowChanged(row);
}

void ProgrammeList::post(int row) {
    if (row < 0 || row >= rowCount())
        return;
    m_database.execute(
        "update PROGRAM set TEXT = ?, SHIFTTIME = ? where DATEKEY = ?",
        {field(row, "TEXT"), field(row, "SHIFTTIME"), Value::integer(m_oldKeys[row])});
}

bool ProgrammeList::editCell(int row, std::string_view name, const std::string& text) {
    if (name == kDateField || row < 0 || row >= rowCount() || columnIndex(name) < 0)
        return false;
    if (name == "SHIFTTIME") {
        std::string_view digits = trimmed(text);
        if (digits.empty()) {
            setField(row, name, Value::null());
        } else {
            if (digits.front() == '+')
                digits.remove_prefix(1);
            int hours = 0;
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), hours);
            if (ec != std::errc() || end != digits.data() + digits.size() || hours < -32768 ||
                hours > 32767)
                return false;
            setField(row, name, Value::integer(hours));
        }
    } else {
        setField(row, name, text.empty() ? Value::null() : Value::text(text));
    }
    post(row);
    return true;
}

void ProgrammeList::setCurrentRow(int row) {
    if (m_rows.empty()) {
        m_currentRow = -1;
        return;
    }
    m_currentRow = std::clamp(row, 0, rowCount() - 1);
}

void ProgrammeList::restorePosition() {
    setCurrentRow(std::max(0, m_savedPosition));
}

bool prepareOpening(ProgrammeList& list, Database& database, UserPrompts& prompts) {
    const int row = list.currentRow();
    if (list.field(row, "STATUS").asText().empty()) {
        prompts.inform(cp(kNotFetchedText), cp(kNotFetchedCaption), PromptIcon::None, true);
        return false;
    }
    if (list.field(row, "TYPES").asText() == "FIL") {
        prompts.inform(cp(kAttachedFileText), cp(kAttachedFileCaption), PromptIcon::None, true);
        return false;
    }
    database.execute(cp("update PROGRAM set STATUS = 'Просмотрен.'  where DATEKEY = ") +
                     std::to_string(list.key(row)) +
                     cp(" and STATUS NOT LIKE('Выгружен в файл.') "));
    return true;
}

std::string programmeDocumentName(const ProgrammeList& list, int row) {
    return "(" + list.field(row, "VARIANT").asText() + ") " + list.field(row, "CHENELID").asText();
}

std::string gluingDocumentName(const ProgrammeList& list) {
    return cp("Склейка ") + list.selectedDate();
}

}  // namespace mirvaly
