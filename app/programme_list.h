#pragma once

// The programme list of the main window without its widgets: the filter (the
// date list and the variant), the rows of the list query, in-place edits and
// their write-back, the cursor and the saved list position, and the decisions
// the grid draws by. The window, the refresh, the export and the viewer all
// work on this one object.
//
// Texts are Windows-1251 bytes. Database failures throw DatabaseError.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_prompts.h"
#include "store/database.h"

namespace mirvaly {

// One displayed column of the grid, in display order.
struct ListColumn {
    std::string field;  // the list query's field; "Date" is calculated
    std::string title;  // Windows-1251
    int width;          // pixels
};
const std::vector<ListColumn>& programmeListColumns();

inline constexpr const char* kDateField = "Date";
inline constexpr int kVariantAll = 0;

// The variant clause of radio item `index` (0 all, 1 schedule, 2 edits,
// 3 announcements); other indexes give the empty clause.
std::string variantClause(int index);
// The date clause for the date list's text.
std::string dateClause(const std::string& dateText);
// The list query for a date and a variant.
std::string listQuery(const std::string& dateText, int variantIndex);
// "dd.mm.yyyy".
std::string formatDate(const Date& date);

// The calculated column "Дата сохранения": the key as seconds since 1970 UTC,
// in local time, as "Www Mmm dd hh:mm:ss " (the first 20 characters of the
// full text, which goes on with the year and a line end).
std::string savedDateText(int64_t dateKey);

// Status colours of the grid: a cell reading exactly "Новая загрузка!" is
// black on red, "Выгружен в файл." black on green, anything else as usual.
struct Rgb {
    int red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
struct CellHighlight {
    bool highlighted = false;
    Rgb background{0, 0, 0};
    Rgb text{0, 0, 0};
};
CellHighlight statusHighlight(std::string_view cellText);

class ProgrammeList {
public:
    // Told when the rows are replaced (filter, close) or one row changes.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void listAboutToReset() {}
        virtual void listReset() = 0;
        virtual void rowChanged(int row) = 0;
    };

    explicit ProgrammeList(Database& database);

    void setListener(Listener* listener) { m_listener = listener; }

    // The filter state: the radio item and the date list's current text.
    int variantIndex() const { return m_variantIndex; }
    void setVariantIndex(int index) { m_variantIndex = index; }
    const std::vector<std::string>& dates() const { return m_dates; }
    const std::string& selectedDate() const { return m_selectedDate; }
    int selectedDateIndex() const;
    void selectDate(const std::string& text) { m_selectedDate = text; }

    // The filter: refills the date list (newest first), keeps the selected
    // date when it is still there (else the newest), reopens the list with the
    // cursor on its first row.
    void filter();
    // Drops the rows, as a full commit closes the list query.
    void close();
    bool isOpen() const { return m_open; }
    const std::string& query() const { return m_query; }

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // A field of a row as the list holds it (edits included); an unknown name
    // reads as NULL.
    const Value& field(int row, std::string_view name) const;
    int64_t key(int row) const { return field(row, "DATEKEY").asInteger(); }
    // Text of a displayed cell: the calculated date, NULL as "".
    std::string displayText(int row, std::string_view name) const;

    // Changes a field in the list only; it shows until the list is re-read.
    void setField(int row, std::string_view name, Value value);
    // The list's update statement for the row: writes TEXT and SHIFTTIME into
    // the stored row with the row's old key; nothing else is stored. Not
    // committed here.
    void post(int row);
    // An in-place edit of a displayed cell, typed as text, then posted. A
    // "SHIFTTIME" that is not a whole number of the column's range is refused
    // (false, nothing changes); an empty one is NULL.
    bool editCell(int row, std::string_view name, const std::string& text);

    // The cursor: -1 when the list is empty.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);

    // The saved list position: the current row number minus one, i.e. how far
    // the cursor moves forward from the first row when it is put back.
    int savedPosition() const { return m_savedPosition; }
    void setSavedPosition(int position) { m_savedPosition = position; }
    void savePosition() { m_savedPosition = m_currentRow < 0 ? 0 : m_currentRow; }
    // Moves the cursor from the first row forward by the saved position,
    // stopping at the last row.
    void restorePosition();

private:
    int columnIndex(std::string_view name) const;
    void notifyReset();

    Database& m_database;
    Listener* m_listener = nullptr;
    int m_variantIndex = kVariantAll;
    std::vector<std::string> m_dates;
    std::string m_selectedDate;
    std::string m_query;
    bool m_open = false;
    std::vector<std::string> m_columns;
    std::vector<Row> m_rows;
    std::vector<int64_t> m_oldKeys;
    int m_currentRow = -1;
    int m_savedPosition = 0;
};

// Opening the current programme, up to the viewer: refuses a programme that
// is not fetched yet (also an empty list) or that is an attached file, each
// with its message; otherwise marks it "Просмотрен." (unless it was exported)
// without committing and returns true, the viewer is to be shown.
bool prepareOpening(ProgrammeList& list, Database& database, UserPrompts& prompts);

// The viewer's file name and caption for one programme: "(" VARIANT ") " CHENELID.
std::string programmeDocumentName(const ProgrammeList& list, int row);
// ... and for the gluing of the shown date: "Склейка " + date text.
std::string gluingDocumentName(const ProgrammeList& list);

}  // namespace mirvaly
