// The programme list without its window, over a real store filled with
// programmes on three dates.

#include "app/programme_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "app_fixtures.h"
#include "common/codec.h"
#include "store/schema.h"
#include "tests/support/scripted_prompts.h"

namespace mirvaly::test {
namespace {

const Date kOldest{2024, 3, 1}, kMiddle{2024, 3, 8}, kNewest{2024, 3, 15};

class ProgrammeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = createStore(folder / "OSL.gdb");
        const FixtureProgramme rows[] = {
            {100, kOldest, cp("Первый"), "R", cp("Просмотрен.")},
            {200, kMiddle, cp("Второй"), "S", cp("Новая загрузка!")},
            {210, kMiddle, cp("Правки 2"), "P", std::nullopt},
            {300, kNewest, cp("Первый"), "R", cp("Новая загрузка!"), "TAB", 3},
            {310, kNewest, cp("Анонс"), "A", cp("Выгружен в файл.")},
            {320, kNewest, cp("Правки 1"), "P", cp("Новая загрузка!"), "TXT"},
            {330, kNewest, cp("Вложение"), "P", cp("Новая загрузка!"), "FIL"},
            {340, kNewest, cp("Пусто"), "S", std::string()},
        };
        for (const auto& row : rows)
            insertProgramme(*db, row);
        db->commit();
    }

    std::vector<int64_t> keys(const ProgrammeList& list) {
        std::vector<int64_t> out;
        for (int i = 0; i < list.rowCount(); ++i)
            out.push_back(list.key(i));
        return out;
    }

    TempFolder folder;
    std::unique_ptr<Database> db;
};

TEST_F(ProgrammeListTest, DatesNewestFirstNewestSelectedAndVariantKeepsTheDate) {
    ProgrammeList list(*db);
    list.filter();
    EXPECT_EQ(list.dates(), (std::vector<std::string>{"15.03.2024", "08.03.2024", "01.03.2024"}));
    EXPECT_EQ(list.selectedDate(), "15.03.2024");
    EXPECT_EQ(list.selectedDateIndex(), 0);
    // One row per programme, also for the one with three items; newest key first.
    EXPECT_EQ(keys(list), (std::vector<int64_t>{340, 330, 320, 310, 300}));
    EXPECT_EQ(list.currentRow(), 0);

    struct Case {
        int variant;
        std::vector<int64_t> keys;
    };
    const Case cases[] = {
        {2, {330, 320}}, {1, {340, 300}}, {3, {310}}, {0, {340, 330, 320, 310, 300}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        list.setVariantIndex(c.variant);
        list.filter();
        EXPECT_EQ(list.selectedDate(), "15.03.2024");
        EXPECT_EQ(keys(list), c.keys);
        for (int i = 0; c.variant == 2 && i < list.rowCount(); ++i) {
            EXPECT_EQ(list.field(i, "VARIANT").asText(), "P");
        }
    }

    list.selectDate("08.03.2024");
    list.setVariantIndex(2);
    list.filter();
    EXPECT_EQ(list.selectedDate(), "08.03.2024");
    EXPECT_EQ(keys(list), (std::vector<int64_t>{210}));
    EXPECT_NE(list.query().find("PROGRAM.DATEPROG = '08.03.2024'  and PROGRAM.VARIANT='P'  order "
                                "by PROGRAM.DATEKEY DESC"),
              std::string::npos)
        << list.query();
}

TEST_F(ProgrammeListTest, ANewerDateKeepsTheSelectedOneAndAVanishedDateFallsBackToTheNewest) {
    ProgrammeList list(*db);
    list.selectDate("01.03.2024");
    list.filter();
    EXPECT_EQ(list.selectedDate(), "01.03.2024");
    insertProgramme(*db, {400, {2024, 3, 22}, cp("Новый"), "R", std::nullopt});
    list.filter();
    EXPECT_EQ(list.dates().front(), "22.03.2024");
    EXPECT_EQ(list.selectedDate(), "01.03.2024");
    EXPECT_EQ(keys(list), (std::vector<int64_t>{100}));

    db->execute("delete from PROGRAM where DATEPROG = '01.03.2024'");
    list.filter();
    EXPECT_EQ(list.selectedDate(), "22.03.2024");
    EXPECT_EQ(keys(list), (std::vector<int64_t>{400}));
}

TEST_F(ProgrammeListTest, AnEmptyStoreGivesAnEmptyDateListAndAnEmptyList) {
    db->execute("delete from PROGRAM");
    ProgrammeList list(*db);
    list.filter();
    EXPECT_TRUE(list.dates().empty());
    EXPECT_EQ(list.selectedDate(), "");
    EXPECT_NE(list.query().find("where PROGRAM.DATEPROG = '01.01.0001' "), std::string::npos);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(list.currentRow(), -1);
}

TEST_F(ProgrammeListTest, OnlyTheTimeZoneIsStoredOfTheInPlaceEdits) {
    ProgrammeList list(*db);
    list.filter();
    ASSERT_EQ(list.key(4), 300);
    EXPECT_TRUE(list.editCell(4, "SHIFTTIME", "3"));
    EXPECT_TRUE(list.editCell(4, "CHENELID", cp("Другой канал")));
    EXPECT_TRUE(list.editCell(4, "STATUS", cp("Просмотрен.")));
    EXPECT_EQ(list.displayText(4, "CHENELID"), cp("Другой канал"));
    EXPECT_EQ(list.displayText(4, "SHIFTTIME"), "3");

    // Refused: not a whole number of the column's range; nothing changes.
    for (const char* bad : {"x", "1.5", "40000", "3h"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(list.editCell(4, "SHIFTTIME", bad));
        EXPECT_EQ(list.displayText(4, "SHIFTTIME"), "3");
    }
    EXPECT_FALSE(list.editCell(4, kDateField, "x"));

    list.filter();
    EXPECT_EQ(list.displayText(4, "SHIFTTIME"), "3");
    EXPECT_EQ(list.displayText(4, "CHENELID"), cp("Первый"));
    EXPECT_EQ(list.displayText(4, "STATUS"), cp("Новая загрузка!"));
    // The text went back unchanged with it.
    EXPECT_EQ(list.field(4, "TEXT").asText(), "text of " + cp("Первый"));

    EXPECT_TRUE(list.editCell(4, "SHIFTTIME", ""));
    list.filter();
    EXPECT_TRUE(list.field(4, "SHIFTTIME").isNull());
}

TEST_F(ProgrammeListTest, PostWritesTextAndTimeZoneUnderTheOldKeyAndIsNotCommitted) {
    ProgrammeList list(*db);
    list.filter();
    db->commit();
    list.setField(0, "TEXT", Value::blob(std::string("new\0bytes", 9)));
    list.setField(0, "STATUS", Value::text(cp("Повторно загружено!")));
    list.setField(0, "DATEKEY", Value::integer(999));
    list.post(0);
    EXPECT_EQ(list.displayText(0, "STATUS"), cp("Повторно загружено!"));
    QueryResult stored = db->query("select TEXT, STATUS from PROGRAM where DATEKEY = 340");
    ASSERT_EQ(stored.rows.size(), 1u);
    EXPECT_EQ(stored.rows[0][0].asText(), std::string("new\0bytes", 9));
    EXPECT_EQ(stored.rows[0][1].asText(), "");
    db->rollback();
    EXPECT_EQ(db->query("select TEXT from PROGRAM where DATEKEY = 340").rows[0][0].asText(),
              "text of " + cp("Пусто"));
}

TEST_F(ProgrammeListTest, SavedPositionPutsTheCursorBackOnTheSameRowNumber) {
    ProgrammeList list(*db);
    list.filter();
    list.setCurrentRow(3);
    list.savePosition();
    EXPECT_EQ(list.savedPosition(), 3);
    list.filter();
    EXPECT_EQ(list.currentRow(), 0);
    list.restorePosition();
    EXPECT_EQ(list.currentRow(), 3);

    // Fewer rows now: the cursor stops at the last one.
    list.setVariantIndex(2);
    list.filter();
    list.restorePosition();
    EXPECT_EQ(list.currentRow(), 1);

    list.close();
    EXPECT_FALSE(list.isOpen());
    list.restorePosition();
    EXPECT_EQ(list.currentRow(), -1);
}

TEST_F(ProgrammeListTest, OpeningRefusesWhatCannotBeShownAndMarksTheRestViewed) {
    ProgrammeList list(*db);
    list.filter();
    auto rowOf = [&](int64_t key) {
        for (int i = 0; i < list.rowCount(); ++i)
            if (list.key(i) == key)
                return i;
        return -1;
    };
    const std::string notFetched = cp("Программа еще не загружена с сервера.");
    const std::string attached =
        cp("Программа вложена файлом (сохраните на диск и откройте соответствующей программой).");
    struct Case {
        const char* what;
        int64_t key;  // 0: the list is empty
        std::string text, caption;
        std::string storedStatus;
    };
    const Case cases[] = {
        {"empty status", 340, notFetched, cp("Просмотреть файл нельзя."), ""},
        {"attached file", 330, attached, cp("Просмотреть файл нельзя!"), cp("Новая загрузка!")},
        {"new download", 320, "", "", cp("Просмотрен.")},
        {"exported", 310, "", "", cp("Выгружен в файл.")},
        {"null status", 210, notFetched, cp("Просмотреть файл нельзя."), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.key == 210) {
            list.selectDate("08.03.2024");
            list.filter();
        }
        list.setCurrentRow(rowOf(c.key));
        ASSERT_EQ(list.key(list.currentRow()), c.key);
        ScriptedPrompts prompts;
        bool opened = prepareOpening(list, *db, prompts);
        EXPECT_EQ(opened, c.text.empty());
        if (c.text.empty()) {
            EXPECT_TRUE(prompts.recorded.empty());
        } else {
            ASSERT_EQ(prompts.recorded.size(), 1u);
            EXPECT_EQ(prompts.recorded[0].kind, RecordedPrompt::Kind::Inform);
            EXPECT_EQ(prompts.recorded[0].text, c.text);
            EXPECT_EQ(prompts.recorded[0].caption, c.caption);
        }
        QueryResult stored =
            db->query("select STATUS from PROGRAM where DATEKEY = ?", {Value::integer(c.key)});
        EXPECT_EQ(stored.rows.at(0).at(0).asText(), c.storedStatus);
    }
    // Not committed by the opening: a rollback takes the new status back.
    db->rollback();
    EXPECT_EQ(db->query("select STATUS from PROGRAM where DATEKEY = 320").rows[0][0].asText(),
              cp("Новая загрузка!"));

    db->execute("delete from PROGRAM");
    list.filter();
    ScriptedPrompts prompts;
    EXPECT_FALSE(prepareOpening(list, *db, prompts));
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].text, notFetched);
}

TEST_F(ProgrammeListTest, DocumentNamesOfTheViewer) {
    ProgrammeList list(*db);
    list.filter();
    EXPECT_EQ(programmeDocumentName(list, 2), "(P) " + cp("Правки 1"));
    EXPECT_EQ(gluingDocumentName(list), cp("Склейка 15.03.2024"));
}

class TimeZone {
public:
    explicit TimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        if (old)
            m_old = old;
        m_had = old != nullptr;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

TEST(SavedDateText, LocalWeekdayMonthDayAndTimeWithoutTheYear) {
    struct Case {
        const char* tz;
        int64_t key;
        const char* text;
    };
    const Case cases[] = {
        {"UTC0", 0, "Thu Jan 01 00:00:00 "},
        {"MSK-3", 0, "Thu Jan 01 03:00:00 "},
        {"MSK-3", 1709294400, "Fri Mar 01 15:00:00 "},  // 2024-03-01 12:00 UTC
        {"EST5", 1709294400, "Fri Mar 01 07:00:00 "},
        {"MSK-3", 1735678799, "Tue Dec 31 23:59:59 "},  // 2024-12-31 20:59:59 UTC
        {"MSK-3", 1735678800, "Wed Jan 01 00:00:00 "},  // the year turns, not shown
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1719835200, "Mon Jul 01 14:00:00 "},  // summer time
        {"UTC0", -86400, "Wed Dec 31 00:00:00 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tz) + " " + std::to_string(c.key));
        TimeZone zone(c.tz);
        std::string text = savedDateText(c.key);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(text.size(), 20u);
    }
}

TEST(StatusHighlight, NewDownloadRedExportedGreenEverythingElseUsual) {
    const CellHighlight red = statusHighlight(cp("Новая загрузка!"));
    EXPECT_TRUE(red.highlighted);
    EXPECT_EQ(red.background, (Rgb{255, 0, 0}));
    EXPECT_EQ(red.text, (Rgb{0, 0, 0}));
    const CellHighlight green = statusHighlight(cp("Выгружен в файл."));
    EXPECT_TRUE(green.highlighted);
    EXPECT_EQ(green.background, (Rgb{0, 128, 0}));
    EXPECT_EQ(green.text, (Rgb{0, 0, 0}));
    for (const std::string& usual :
         {cp("Просмотрен."), cp("Просм. в склейке"), std::string(), cp("Новая загрузка"),
          cp("Новая загрузка! "), cp("Повторно загружено!"), std::string("New")}) {
        SCOPED_TRACE(cp1251ToUtf8(usual));
        EXPECT_FALSE(statusHighlight(usual).highlighted);
    }
}

TEST(ListQuery, ClausesOfTheFilter) {
    EXPECT_EQ(variantClause(0), "");
    EXPECT_EQ(variantClause(1), " and (PROGRAM.VARIANT='R' or PROGRAM.VARIANT='S') ");
    EXPECT_EQ(variantClause(2), " and PROGRAM.VARIANT='P' ");
    EXPECT_EQ(variantClause(3), " and PROGRAM.VARIANT='A' ");
    EXPECT_EQ(dateClause(""), "PROGRAM.DATEPROG = '01.01.0001' ");
    EXPECT_EQ(dateClause("1.1.24"), "PROGRAM.DATEPROG = '01.01.0001' ");
    EXPECT_EQ(dateClause("15.03.2024"), "PROGRAM.DATEPROG = '15.03.2024' ");
    EXPECT_EQ(dateClause("15.03.2024' or ''='"), "PROGRAM.DATEPROG = '15.03.2024'' or ''''=''' ");
    EXPECT_EQ(listQuery("15.03.2024", 3),
              "select DISTINCT P.DATEKEY as P_DATEKEY, PROGRAM.* from PROGRAM left outer join P "
              "on PROGRAM.DATEKEY = P.DATEKEY where PROGRAM.DATEPROG = '15.03.2024'  and "
              "PROGRAM.VARIANT='A'  order by PROGRAM.DATEKEY DESC");
    EXPECT_EQ(formatDate({2024, 3, 5}), "05.03.2024");
}

}  // namespace
}  // namespace mirvaly::test
