// The main window under the offscreen platform, over a real store filled with
// programmes: layout and names, the filter through the controls, the status
// colours as drawn, in-place edits, opening, the menu settings and the hooks.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

#include "app/message_box_prompts_window.h"
#include "app/programme_list_window.h"
#include "app/qt_text.h"
#include "app/status_box_window.h"
#include "app_fixtures.h"
#include "common/codec.h"
#include "store/schema.h"
#include "tests/support/scripted_prompts.h"

using namespace mirvaly;
using namespace mirvaly::test;

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

struct CountingRefresh : RefreshController {
    int refreshes = 0, prompts = 0, checks = 0, refetches = 0, resets = 0;
    bool busy = false;
    bool isBusy() const override { return busy; }
    void refresh() override { ++refreshes; }
    void startupPrompt() override { ++prompts; }
    void autoCheck() override { ++checks; }
    void refetchCurrent() override { ++refetches; }
    void resetStore() override { ++resets; }
};

struct RecordingViewer : ViewerLauncher {
    std::vector<std::pair<int, std::string>> programmes;
    std::vector<std::string> gluings;
    void showProgramme(int row, const std::string& name) override {
        programmes.push_back({row, name});
    }
    void showGluing(const std::string& name) override { gluings.push_back(name); }
};

}  // namespace

class ProgrammeListWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<Database> m_db;
    AppSettings m_settings;
    ScriptedPrompts m_prompts;
    std::unique_ptr<ProgrammeListWindow> m_window;

    template <typename T>
    T* child(const char* name) {
        T* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qWarning("no child %s", name);
        return found;
    }
    QAction* action(const char* name) { return child<QAction>(name); }
    int rowOfKey(int64_t key) {
        ProgrammeList& list = m_window->programmeList();
        for (int i = 0; i < list.rowCount(); ++i)
            if (list.key(i) == key)
                return i;
        return -1;
    }
    QColor pixelInCell(const QImage& image, int row, int column, int fromRight) {
        QTableView* grid = m_window->grid();
        QRect cell = grid->visualRect(grid->model()->index(row, column));
        QPoint at =
            grid->viewport()->mapTo(grid, QPoint(cell.right() - fromRight, cell.center().y()));
        return image.pixelColor(at * image.devicePixelRatio());
    }

private slots:
    void init() {
        m_folder = std::make_unique<TempFolder>();
        m_db = createStore(*m_folder / "OSL.gdb");
        const FixtureProgramme rows[] = {
            {100, {2024, 3, 1}, cp("Первый"), "R", cp("Просмотрен.")},
            {300, {2024, 3, 15}, cp("Первый канал"), "R", cp("Новая загрузка!"), "TAB", 2},
            {310, {2024, 3, 15}, cp("Анонсы канала"), "A", cp("Выгружен в файл.")},
            {320, {2024, 3, 15}, cp("Правки канала"), "P", cp("Просмотрен.")},
            {330, {2024, 3, 15}, cp("Вложение"), "P", cp("Новая загрузка!"), "FIL"},
            {340, {2024, 3, 15}, cp("Ещё не получен"), "S", std::nullopt},
        };
        for (const auto& row : rows)
            insertProgramme(*m_db, row);
        m_db->commit();
        m_db->startTransaction();
        m_settings = AppSettings();
        m_prompts.recorded.clear();
        m_window = std::make_unique<ProgrammeListWindow>(m_settings, *m_db, m_prompts);
    }

    void cleanup() {
        m_window.reset();
        if (m_db)
            m_db->close();
        m_db.reset();
        m_folder.reset();
    }

    void cleanupTestCase() { shutdownDatabaseEngine(); }

    void layoutNamesAndCaptions() {
        QCOMPARE(m_window->objectName(), u("TForm1"));
        QCOMPARE(m_window->windowTitle(), u("Телепрограммы v. 17.0 |"));
        QCOMPARE(m_window->size(), QSize(884, 502));
        auto* refresh = child<QToolButton>("SpeedButton1");
        QVERIFY(refresh);
        QCOMPARE(refresh->text(), u("Обновить"));
        QCOMPARE(refresh->size(), QSize(81, 27));
        auto* open = child<QPushButton>("Button4");
        QVERIFY(open);
        QCOMPARE(open->text(), u("Просмотреть программу"));
        QCOMPARE(open->width(), 137);
        auto* group = child<QGroupBox>("RadioGroup1");
        QVERIFY(group);
        QCOMPARE(group->title(), u("Показывать"));
        QCOMPARE(group->size(), QSize(449, 32));
        QStringList items;
        for (auto* item : group->findChildren<QRadioButton*>())
            items << item->text();
        QCOMPARE(items,
                 (QStringList{u("Все программы"), u("Расписание"), u("Правки"), u("Анонсы")}));
        QVERIFY(group->findChildren<QRadioButton*>().first()->isChecked());
        auto* dates = child<QComboBox>("ComboBox1");
        QVERIFY(dates);
        QCOMPARE(dates->width(), 145);
        QVERIFY(!dates->isEditable());
        QVERIFY(child<QTableView>("DBGrid1"));
        auto* status = child<StatusBox>("StatusBox");
        QVERIFY(status);
        QVERIFY(status->font().bold());
        QCOMPARE(status->maxVisibleItems(), 15);

        const std::pair<const char*, const char*> actions[] = {
            {"N5", "Выгрузить отмеченные программы в файлы"},
            {"N7", "|"},
            {"N1", "Склейка по дням"},
            {"N8", "|"},
            {"TXT1", "в формате TXT"},
            {"RTF1", "в формате RTF"},
            {"DOS1", "в формате DOS"},
            {"FindNewTv", "Проверять новые программы каждые 5 минут"},
            {"ShiftTime", "Автоматически адаптировать часовой пояс"},
            {"N4", "Настройка соединения..."},
            {"Reset1", "Удалить все программы. (Reset!)"},
            {"N6", "Перечитать эту программу"},
        };
        for (const auto& [name, caption] : actions) {
            QAction* a = action(name);
            QVERIFY2(a, name);
            QCOMPARE(a->text(), u(caption));
        }
        QVERIFY(action("N9") && action("N9")->isSeparator());
        auto* settings = child<QMenu>("N2");
        QVERIFY(settings);
        QCOMPARE(settings->title(), u("Настройки"));
        QCOMPARE(child<QMenu>("N3")->title(), u("Формат сохранения документов"));
        QStringList bar;
        for (QAction* a : m_window->menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList{u("Выгрузить отмеченные программы в файлы"), u("|"),
                                   u("Склейка по дням"), u("|"), u("Настройки")}));
        QVERIFY(action("TXT1")->isChecked());
        QVERIFY(action("ShiftTime")->isChecked());
        QVERIFY(!action("FindNewTv")->isChecked());

        QTableView* grid = m_window->grid();
        const QString hint =
            u("Нажав на ПРОГРАММЕ другую клавишу мышки, Вы сможете ее переполучить (если программа "
              "загружена не полностью).");
        QCOMPARE(grid->toolTip(), hint);
        // Resting on a cell shows the hint too.
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QRect cell = grid->visualRect(grid->model()->index(0, 2));
        QHelpEvent rest(QEvent::ToolTip, cell.center(),
                        grid->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(grid->viewport(), &rest);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), hint);
        QToolTip::hideText();
        QCOMPARE(grid->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!grid->verticalHeader()->isHidden());
        const std::pair<const char*, int> columns[] = {{"Дата сохранения", 104},
                                                       {"Последнее действие", 124},
                                                       {"Канал", 265},
                                                       {"Вариант", 52},
                                                       {"Тип", 70},
                                                       {"Для", 160},
                                                       {"Пояс", 33},
                                                       {"Вложенный файл", 136}};
        QCOMPARE(grid->model()->columnCount(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(grid->model()->headerData(i, Qt::Horizontal).toString(), u(columns[i].first));
            QCOMPARE(grid->columnWidth(i), columns[i].second);
        }
    }

    void startFillsTheListAndArmsTheTimers() {
        m_window->start();
        auto* dates = child<QComboBox>("ComboBox1");
        QCOMPARE(dates->count(), 2);
        QCOMPARE(dates->itemText(0), u("15.03.2024"));
        QCOMPARE(dates->itemText(1), u("01.03.2024"));
        QCOMPARE(dates->currentText(), u("15.03.2024"));
        QTableView* grid = m_window->grid();
        QCOMPARE(grid->model()->rowCount(), 5);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(grid->model()->index(0, 2).data().toString(), u("Ещё не получен"));
        QVERIFY(m_window->startupTimer()->isActive());
        QVERIFY(m_window->startupTimer()->isSingleShot());
        QCOMPARE(m_window->startupTimer()->interval(), 1000);
        QVERIFY(!m_window->autoCheckTimer()->isActive());
        QCOMPARE(m_window->autoCheckTimer()->interval(), 300000);

        // "Правки" keeps the date and shows only the edits.
        auto* group = child<QGroupBox>("RadioGroup1");
        group->findChildren<QRadioButton*>().at(2)->click();
        QCOMPARE(dates->currentText(), u("15.03.2024"));
        QCOMPARE(grid->model()->rowCount(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(grid->model()->index(i, 3).data().toString(), u("P"));

        // Another date through the date list.
        group->findChildren<QRadioButton*>().at(0)->click();
        dates->setCurrentIndex(1);
        emit dates->activated(1);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(m_window->programmeList().key(0), 100);
        QCOMPARE(dates->currentText(), u("01.03.2024"));
    }

    void autoCheckTimerRunsWhenTicked() {
        m_settings.findNewTv = true;
        m_window = std::make_unique<ProgrammeListWindow>(m_settings, *m_db, m_prompts);
        QVERIFY(action("FindNewTv")->isChecked());
        m_window->start();
        QVERIFY(m_window->autoCheckTimer()->isActive());

        action("FindNewTv")->trigger();
        QVERIFY(!m_settings.findNewTv);
        QVERIFY(!m_window->autoCheckTimer()->isActive());
        action("FindNewTv")->trigger();
        QVERIFY(m_settings.findNewTv);
        QVERIFY(m_window->autoCheckTimer()->isActive());
        QCOMPARE(m_prompts.recorded.size(), size_t(2));
        QCOMPARE(m_prompts.recorded[0].text, cp("Автообновление отключено."));
        QCOMPARE(m_prompts.recorded[1].text, cp("Автообновление включено."));
        QCOMPARE(m_prompts.recorded[1].caption, std::string("Mirvaly"));
    }

    void statusColoursAsDrawn() {
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QImage image = m_window->grid()->grab().toImage();
        const int statusColumn = 1;
        QCOMPARE(pixelInCell(image, rowOfKey(300), statusColumn, 4), QColor(255, 0, 0));
        QCOMPARE(pixelInCell(image, rowOfKey(310), statusColumn, 4), QColor(0, 128, 0));
        QCOMPARE(pixelInCell(image, rowOfKey(330), statusColumn, 4), QColor(255, 0, 0));
        // The same row's other cells and other statuses keep the usual colours.
        const QColor usual = pixelInCell(image, rowOfKey(320), statusColumn, 4);
        QVERIFY(usual != QColor(255, 0, 0) && usual != QColor(0, 128, 0));
        QCOMPARE(pixelInCell(image, rowOfKey(300), 2, 4), usual);
        // Black text on the red: some pixel of the cell's left part is black.
        QTableView* grid = m_window->grid();
        QRect cell = grid->visualRect(grid->model()->index(rowOfKey(300), statusColumn));
        bool black = false;
        for (int x = cell.left() + 2; x < cell.left() + 60 && !black; ++x)
            for (int y = cell.top() + 1; y < cell.bottom() && !black; ++y) {
                QPoint at = grid->viewport()->mapTo(grid, QPoint(x, y));
                black = image.pixelColor(at * image.devicePixelRatio()).lightness() < 60;
            }
        QVERIFY(black);
    }

    void onlyTheTimeZoneEditIsStored() {
        m_window->start();
        QAbstractItemModel* model = m_window->grid()->model();
        const int row = rowOfKey(300);
        QVERIFY(model->flags(model->index(row, 6)) & Qt::ItemIsEditable);
        QVERIFY(!(model->flags(model->index(row, 0)) & Qt::ItemIsEditable));
        QVERIFY(model->setData(model->index(row, 6), u("-2"), Qt::EditRole));
        QVERIFY(model->setData(model->index(row, 2), u("Новое имя"), Qt::EditRole));
        QVERIFY(!model->setData(model->index(row, 6), u("два"), Qt::EditRole));
        QCOMPARE(model->index(row, 2).data().toString(), u("Новое имя"));
        m_window->refilter();
        QCOMPARE(model->index(row, 6).data().toString(), u("-2"));
        QCOMPARE(model->index(row, 2).data().toString(), u("Первый канал"));
        QVERIFY(m_prompts.recorded.empty());

        // Typed into the cell as a person does: a key opens the editor,
        // Return posts the row.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTableView* grid = m_window->grid();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        grid->setFocus();
        grid->setCurrentIndex(model->index(row, 6));
        QTest::keyClick(grid, Qt::Key_5);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), u("5"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits on the next turn of the event loop.
        QTRY_COMPARE(model->index(row, 6).data().toString(), u("5"));
        m_window->refilter();
        QCOMPARE(model->index(row, 6).data().toString(), u("5"));
        QCOMPARE(m_db->query("select SHIFTTIME from PROGRAM where DATEKEY = 300").rows.at(0).at(0),
                 Value::integer(5));
    }

    void openingRefusesOrHandsToTheViewer() {
        RecordingViewer viewer;
        m_window->setViewerLauncher(&viewer);
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTableView* grid = m_window->grid();
        auto openRow = [&](int64_t key) {
            grid->setCurrentIndex(grid->model()->index(rowOfKey(key), 2));
            m_prompts.recorded.clear();
            m_window->button4Click();
        };
        openRow(340);
        QCOMPARE(m_prompts.recorded.size(), size_t(1));
        QCOMPARE(m_prompts.recorded[0].text, cp("Программа еще не загружена с сервера."));
        QCOMPARE(m_prompts.recorded[0].caption, cp("Просмотреть файл нельзя."));
        openRow(330);
        QCOMPARE(m_prompts.recorded.size(), size_t(1));
        QCOMPARE(m_prompts.recorded[0].caption, cp("Просмотреть файл нельзя!"));
        QVERIFY(viewer.programmes.empty());

        openRow(300);
        QVERIFY(m_prompts.recorded.empty());
        QCOMPARE(viewer.programmes.size(), size_t(1));
        QCOMPARE(viewer.programmes[0].second, "(R) " + cp("Первый канал"));
        // A double click opens as the button does.
        QRect cell = grid->visualRect(grid->model()->index(rowOfKey(310), 2));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(viewer.programmes.size(), size_t(2));
        QCOMPARE(viewer.programmes[1].first, rowOfKey(310));
        m_window->refilter();
        QCOMPARE(grid->model()->index(rowOfKey(300), 1).data().toString(), u("Просмотрен."));
        QCOMPARE(grid->model()->index(rowOfKey(310), 1).data().toString(), u("Выгружен в файл."));

        action("N1")->trigger();
        QCOMPARE(viewer.gluings, (std::vector<std::string>{cp("Склейка 15.03.2024")}));
    }

    void openingWithAnEmptyListRefuses() {
        m_db->execute("delete from PROGRAM");
        m_window->start();
        QCOMPARE(child<QComboBox>("ComboBox1")->count(), 0);
        m_window->button4Click();
        QCOMPARE(m_prompts.recorded.size(), size_t(1));
        QCOMPARE(m_prompts.recorded[0].text, cp("Программа еще не загружена с сервера."));
    }

    void formatItemsSetTheSetting() {
        action("RTF1")->trigger();
        QCOMPARE(m_settings.fileFormat, 1);
        QVERIFY(action("RTF1")->isChecked() && !action("TXT1")->isChecked());
        action("DOS1")->trigger();
        QCOMPARE(m_settings.fileFormat, 2);
        QVERIFY(!action("RTF1")->isChecked());
        action("TXT1")->trigger();
        QCOMPARE(m_settings.fileFormat, 0);
        action("ShiftTime")->trigger();
        QVERIFY(!m_settings.shiftTimeAuto);

        // A number outside the three keeps TXT1 ticked and stays the setting.
        for (int code : {2, 7}) {
            m_settings.fileFormat = code;
            m_window = std::make_unique<ProgrammeListWindow>(m_settings, *m_db, m_prompts);
            QCOMPARE(action("DOS1")->isChecked(), code == 2);
            QCOMPARE(action("TXT1")->isChecked(), code == 7);
            QCOMPARE(m_settings.fileFormat, code);
        }
    }

    void marksPositionAndStatusBox() {
        m_window->start();
        QTableView* grid = m_window->grid();
        QItemSelectionModel* selection = grid->selectionModel();
        selection->select(grid->model()->index(3, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->select(grid->model()->index(1, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_window->markedRows(), (std::vector<int>{1, 3}));

        grid->setCurrentIndex(grid->model()->index(4, 0));
        m_window->programmeList().savePosition();
        m_window->refilter();
        QCOMPARE(grid->currentIndex().row(), 0);
        m_window->restoreListPosition();
        QCOMPARE(grid->currentIndex().row(), 4);
        QCOMPARE(m_window->programmeList().currentRow(), 4);

        auto* box = child<StatusBox>("StatusBox");
        m_window->statusLog().addLine(cp("Запрос списка новых поступлений."));
        m_window->statusLog().addLine(cp("Всего загружено: 0 новых программ."));
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->currentText(), u("Всего загружено: 0 новых программ."));
    }

    void hooksAreCalledByTheirControls() {
        CountingRefresh refresh;
        m_window->setRefreshController(&refresh);
        m_window->start();
        child<QToolButton>("SpeedButton1")->click();
        action("N6")->trigger();
        action("Reset1")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(refresh.prompts, 1, 3000);
        QCOMPARE(refresh.refreshes, 1);
        QCOMPARE(refresh.refetches, 1);
        QCOMPARE(refresh.resets, 1);
        // Without hooks the controls do nothing and show nothing.
        m_window->setRefreshController(nullptr);
        child<QToolButton>("SpeedButton1")->click();
        action("N5")->trigger();
        action("N4")->trigger();
        QVERIFY(m_prompts.recorded.empty());
    }

    void closingWaitsForARunningRefresh() {
        CountingRefresh refresh;
        int closeSteps = 0;
        m_window->setRefreshController(&refresh);
        m_window->setCloseHandler([&] { ++closeSteps; });
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        refresh.busy = true;
        QVERIFY(!m_window->close());
        QTest::qWait(300);
        QVERIFY(m_window->isVisible());
        QCOMPARE(closeSteps, 0);
        refresh.busy = false;
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(closeSteps, 1);
        QVERIFY(!m_window->startupTimer()->isActive());
    }

    // Runs inside an event loop of its own, as the program's main loop, so
    // that the question's loop is a nested one as in the program.
    void terminationAnswersOpenQuestionsNoThenCloses() {
        MessageBoxPrompts boxes(m_window.get());
        QEventLoop mainLoop;
        int closeSteps = 0, closeStepsWhenAnswered = -1;
        bool answer = true;
        m_window->setCloseHandler([&] {
            ++closeSteps;
            mainLoop.quit();
        });
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTimer::singleShot(0, m_window.get(), [&] {
            answer = boxes.askYesNo(cp("Обновить?"), cp("Обновление данных."));
            closeStepsWhenAnswered = closeSteps;
        });
        // The request comes while the question is open.
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget()) {
                watch.stop();
                m_window->closeOnTermination();
            }
        });
        watch.start();
        // Should nothing close, the test ends after ten seconds and fails.
        QTimer::singleShot(10000, &mainLoop, [&] {
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                box->done(QMessageBox::Yes);
            mainLoop.quit();
        });
        mainLoop.exec();
        QVERIFY(!answer);
        // The question's operation went on before the close step ran.
        QCOMPARE(closeStepsWhenAnswered, 0);
        QCOMPARE(closeSteps, 1);
        QVERIFY(!m_window->isVisible());
    }

    void terminationWaitsForARunningRefresh() {
        CountingRefresh refresh;
        int closeSteps = 0;
        m_window->setRefreshController(&refresh);
        m_window->setCloseHandler([&] { ++closeSteps; });
        m_window->start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        refresh.busy = true;
        m_window->closeOnTermination();
        QTest::qWait(400);
        QVERIFY(m_window->isVisible());
        QCOMPARE(closeSteps, 0);
        refresh.busy = false;
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(closeSteps, 1);
    }

    void messageBoxesShowTheirTextCaptionAndButtons() {
        MessageBoxPrompts prompts;
        QString text, caption;
        bool topmost = false;
        QMessageBox::StandardButtons buttons;
        QStringList buttonTexts;
        auto answer = [&](QMessageBox::StandardButton button) {
            QTimer::singleShot(50, [&, button] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                text = box->text();
                caption = box->windowTitle();
                topmost = box->windowFlags() & Qt::WindowStaysOnTopHint;
                buttons = box->standardButtons();
                buttonTexts.clear();
                for (auto* b : box->buttons())
                    buttonTexts << b->text();
                buttonTexts.sort();
                box->button(button)->click();
            });
        };
        answer(QMessageBox::Ok);
        prompts.inform(cp("Запустите программу еще раз!"), cp("Создание базы данных."),
                       PromptIcon::None, true);
        QCOMPARE(text, u("Запустите программу еще раз!"));
        QCOMPARE(caption, u("Создание базы данных."));
        QVERIFY(topmost);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        answer(QMessageBox::No);
        QVERIFY(!prompts.askYesNo(cp("Вопрос?"), cp("Обновление данных.")));
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(buttonTexts, (QStringList{u("Да"), u("Нет")}));

        answer(QMessageBox::Cancel);
        QCOMPARE(prompts.askYesNoCancel(cp("Сохранить?"), cp("Mirvaly")), PromptAnswer::Cancel);
        QCOMPARE(buttonTexts, (QStringList{u("Да"), u("Нет"), u("Отмена")}));

        answer(QMessageBox::Ok);
        prompts.showError("lock time-out on wait transaction");
        QCOMPARE(caption, u("Mirvaly"));
        QCOMPARE(text, u("lock time-out on wait transaction"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

QTEST_MAIN(ProgrammeListWindowTest)
#include "programme_list_window_test.moc"
