#include "app/programme_list_window.h"

#include <algorithm>

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/error_text.h"
#include "app/message_box_prompts_window.h"
#include "app/programme_table_model.h"
#include "app/qt_text.h"
#include "app/status_box_window.h"
#include "common/codec.h"

namespace mirvaly {
namespace {

constexpr int kStartupPromptMs = 1000;
constexpr int kAutoCheckMs = 300000;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Cell text in the colour of highlighted menu items; the two status texts
// that matter are then painted over in black on red or green.
class StatusColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Highlight));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QString cell = index.data(Qt::DisplayRole).toString();
        CellHighlight highlight = statusHighlight(fromQString(cell));
        if (!highlight.highlighted)
            return;
        painter->save();
        const Rgb& bg = highlight.background;
        painter->fillRect(option.rect, QColor(bg.red, bg.green, bg.blue));
        const Rgb& fg = highlight.text;
        painter->setPen(QColor(fg.red, fg.green, fg.blue));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, cell);
        painter->restore();
    }
};

}  // namespace

ProgrammeListWindow::ProgrammeListWindow(AppSettings& settings, Database& database,
                                         UserPrompts& prompts, QWidget* parent)
    : QMainWindow(parent),
      m_settings(settings),
      m_database(database),
      m_prompts(prompts),
      m_list(database) {
    setObjectName(QStringLiteral("TForm1"));
    // The design's font, or the nearest of its metric relatives where it is
    // not installed, so that the design widths hold.
    QFont designFont(QStringLiteral("MS Sans Serif"), 8);
    designFont.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                            QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("Nimbus Sans")});
    setFont(designFont);
    resize(884, 502);
    setWindowTitle(toQString(cp("Телепрограммы v. ") + settings.connection.progVersion + ".0 |"));

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* topRow = new QHBoxLayout;
    topRow->setContentsMargins(0, 0, 0, 0);
    buildTopRow(central, topRow);
    column->addLayout(topRow);
    buildGrid();
    column->addWidget(m_grid, 1);

    auto* bottomRow = new QHBoxLayout;
    bottomRow->setContentsMargins(0, 0, 0, 0);
    m_statusBox = new StatusBox(central);
    m_progress = new QProgressBar(central);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setMaximumWidth(200);
    m_progress->hide();
    bottomRow->addWidget(m_statusBox, 1);
    bottomRow->addWidget(m_progress);
    column->addLayout(bottomRow);
    setCentralWidget(central);
    m_statusLog = std::make_unique<StatusBoxLog>(*m_statusBox, *m_progress);

    buildMenus();
    buildTimers();
    applySettingsToMenu();
}

ProgrammeListWindow::~ProgrammeListWindow() {
    // The grid is a child widget and outlives the model otherwise.
    m_grid->setModel(nullptr);
}

template <typename Work>
void ProgrammeListWindow::guarded(Work&& work) {
    runGuarded(m_prompts, std::forward<Work>(work));
}

void ProgrammeListWindow::buildTopRow(QWidget* parent, QHBoxLayout* row) {
    m_refreshButton = new QToolButton(parent);
    m_refreshButton->setObjectName(QStringLiteral("SpeedButton1"));
    m_refreshButton->setText(text("Обновить"));
    m_refreshButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_refreshButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_refreshButton->setAutoRaise(true);
    m_refreshButton->setFixedSize(81, 27);
    connect(m_refreshButton, &QToolButton::clicked, this, [this] {
        guarded([&] {
            if (m_refresh)
                m_refresh->refresh();
        });
    });
    row->addWidget(m_refreshButton);

    m_openButton = new QPushButton(text("Просмотреть программу"), parent);
    m_openButton->setObjectName(QStringLiteral("Button4"));
    m_openButton->setFixedSize(137, 27);
    connect(m_openButton, &QPushButton::clicked, this, [this] { button4Click(); });
    row->addWidget(m_openButton);

    m_variantGroup = new QGroupBox(text("Показывать"), parent);
    m_variantGroup->setObjectName(QStringLiteral("RadioGroup1"));
    m_variantGroup->setFixedSize(449, 32);
    // The title sits on the frame's top line, as on the design, so that the
    // items fit into the group's 32 pixels.
    m_variantGroup->setStyleSheet(QStringLiteral(
        "QGroupBox#RadioGroup1 { border: 1px solid palette(mid); border-radius: 2px;"
        " margin-top: 6px; }"
        "QGroupBox#RadioGroup1::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));
    auto* items = new QHBoxLayout(m_variantGroup);
    items->setContentsMargins(6, 6, 6, 0);
    m_variantButtons = new QButtonGroup(m_variantGroup);
    const char* const captions[] = {"Все программы", "Расписание", "Правки", "Анонсы"};
    for (int i = 0; i < 4; ++i) {
        auto* item = new QRadioButton(text(captions[i]), m_variantGroup);
        item->setFont(font());
        m_variantButtons->addButton(item, i);
        items->addWidget(item, 1);
    }
    m_variantButtons->button(kVariantAll)->setChecked(true);
    connect(m_variantButtons, &QButtonGroup::idClicked, this, [this] { radioGroup1Click(); });
    row->addWidget(m_variantGroup);
    row->addStretch(1);

    m_dateList = new QComboBox(parent);
    m_dateList->setObjectName(QStringLiteral("ComboBox1"));
    m_dateList->setEditable(false);
    m_dateList->setFixedWidth(145);
    QFont dateFont = m_dateList->font();
    dateFont.setPixelSize(16);
    m_dateList->setFont(dateFont);
    auto* dateView = new QListView(m_dateList);
    dateView->setStyleSheet(QStringLiteral("QListView::item { height: 20px; }"));
    m_dateList->setView(dateView);
    connect(m_dateList, &QComboBox::activated, this, [this] { comboBox1Change(); });
    row->addWidget(m_dateList);
}

void ProgrammeListWindow::buildGrid() {
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_model = std::make_unique<ProgrammeTableModel>(m_list, m_prompts);
    m_grid->setModel(m_model.get());
    m_grid->setItemDelegate(new StatusColourDelegate(m_grid));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    m_grid->setWordWrap(false);
    // Cut off at the cell's edge as the design's grid does, without an ellipsis.
    m_grid->setTextElideMode(Qt::ElideNone);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->verticalHeader()->setFixedWidth(14);
    const auto& columns = programmeListColumns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i)
        m_grid->setColumnWidth(i, columns[i].width);
    const QString hint = text(
        "Нажав на ПРОГРАММЕ другую клавишу мышки, Вы сможете ее переполучить (если программа "
        "загружена не полностью).");
    m_grid->setToolTip(hint);
    m_grid->viewport()->setToolTip(hint);

    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                m_list.setCurrentRow(current.row());
                m_model->setIndicatorRow(m_list.currentRow());
            });
    connect(m_model.get(), &QAbstractItemModel::modelReset, this,
            [this] { moveGridCursor(m_list.currentRow()); });
    connect(m_grid, &QTableView::doubleClicked, this, [this] { button4Click(); });

    m_gridMenu = new QMenu(m_grid);
    m_gridMenu->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* refetch = m_gridMenu->addAction(text("Перечитать эту программу"));
    refetch->setObjectName(QStringLiteral("N6"));
    connect(refetch, &QAction::triggered, this, [this] {
        guarded([&] {
            if (m_refresh)
                m_refresh->refetchCurrent();
        });
    });
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_gridMenu->popup(m_grid->viewport()->mapToGlobal(at)); });
}

void ProgrammeListWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto addBarItem = [&](const char* name, const char* caption) {
        QAction* action = bar->addAction(text(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(addBarItem("N5", "Выгрузить отмеченные программы в файлы"), &QAction::triggered, this,
            [this] {
                guarded([&] {
                    if (m_export)
                        m_export->exportMarked();
                });
            });
    addBarItem("N7", "|");
    connect(addBarItem("N1", "Склейка по дням"), &QAction::triggered, this, [this] { n1Click(); });
    addBarItem("N8", "|");

    QMenu* settings = bar->addMenu(text("Настройки"));
    settings->setObjectName(QStringLiteral("N2"));
    QMenu* formats = settings->addMenu(text("Формат сохранения документов"));
    formats->setObjectName(QStringLiteral("N3"));
    auto* formatGroup = new QActionGroup(formats);
    formatGroup->setExclusive(true);
    auto addFormat = [&](const char* name, const char* caption, int code) {
        QAction* action = formats->addAction(text(caption));
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        formatGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, code] { m_settings.fileFormat = code; });
        return action;
    };
    m_txtFormat = addFormat("TXT1", "в формате TXT", kFormatTxt);
    m_rtfFormat = addFormat("RTF1", "в формате RTF", kFormatRtf);
    m_dosFormat = addFormat("DOS1", "в формате DOS", kFormatDos);
    m_txtFormat->setChecked(true);

    m_findNewTv = settings->addAction(text("Проверять новые программы каждые 5 минут"));
    m_findNewTv->setObjectName(QStringLiteral("FindNewTv"));
    m_findNewTv->setCheckable(true);
    connect(m_findNewTv, &QAction::triggered, this, [this] { findNewTvClick(); });

    m_shiftTime = settings->addAction(text("Автоматически адаптировать часовой пояс"));
    m_shiftTime->setObjectName(QStringLiteral("ShiftTime"));
    m_shiftTime->setCheckable(true);
    connect(m_shiftTime, &QAction::toggled, this,
            [this](bool on) { m_settings.shiftTimeAuto = on; });

    QAction* connection = settings->addAction(text("Настройка соединения..."));
    connection->setObjectName(QStringLiteral("N4"));
    connect(connection, &QAction::triggered, this, [this] {
        guarded([&] {
            if (m_connectionSettings)
                m_connectionSettings->showConnectionSettings();
        });
    });
    settings->addSeparator()->setObjectName(QStringLiteral("N9"));
    QAction* reset = settings->addAction(text("Удалить все программы. (Reset!)"));
    reset->setObjectName(QStringLiteral("Reset1"));
    connect(reset, &QAction::triggered, this, [this] {
        guarded([&] {
            if (m_refresh)
                m_refresh->resetStore();
        });
    });
}

void ProgrammeListWindow::buildTimers() {
    m_startupTimer = new QTimer(this);
    m_startupTimer->setObjectName(QStringLiteral("Timer1"));
    m_startupTimer->setSingleShot(true);
    m_startupTimer->setInterval(kStartupPromptMs);
    connect(m_startupTimer, &QTimer::timeout, this, [this] {
        guarded([&] {
            if (m_refresh)
                m_refresh->startupPrompt();
        });
    });

    m_autoCheckTimer = new QTimer(this);
    m_autoCheckTimer->setObjectName(QStringLiteral("FindNewTvTimer1"));
    m_autoCheckTimer->setInterval(kAutoCheckMs);
    // The five minutes count from the end of a check, however it ended.
    connect(m_autoCheckTimer, &QTimer::timeout, this, [this] {
        m_autoCheckTimer->stop();
        guarded([&] {
            if (m_refresh)
                m_refresh->autoCheck();
        });
        if (m_settings.findNewTv)
            m_autoCheckTimer->start();
    });
}

void ProgrammeListWindow::applySettingsToMenu() {
    // A format number other than 0, 1, 2 ticks nothing new: TXT1 stays.
    if (m_settings.fileFormat == kFormatRtf)
        m_rtfFormat->setChecked(true);
    if (m_settings.fileFormat == kFormatDos)
        m_dosFormat->setChecked(true);
    m_findNewTv->setChecked(m_settings.findNewTv);
    m_shiftTime->setChecked(m_settings.shiftTimeAuto);
}

void ProgrammeListWindow::start() {
    radioGroup1Click();
    m_startupTimer->start();
    if (m_settings.findNewTv)
        m_autoCheckTimer->start();
}

void ProgrammeListWindow::radioGroup1Click() {
    guarded([&] {
        m_list.setVariantIndex(m_variantButtons->checkedId());
        m_list.selectDate(fromQString(m_dateList->currentText()));
        m_list.filter();
    });
    showListState();
}

void ProgrammeListWindow::comboBox1Change() {
    radioGroup1Click();
}

// The date list and the grid's cursor follow the list after a filter.
void ProgrammeListWindow::showListState() {
    m_dateList->blockSignals(true);
    m_dateList->clear();
    for (const std::string& date : m_list.dates())
        m_dateList->addItem(toQString(date));
    m_dateList->setCurrentIndex(m_list.selectedDateIndex());
    m_dateList->blockSignals(false);
    moveGridCursor(m_list.currentRow());
}

void ProgrammeListWindow::moveGridCursor(int row) {
    if (row < 0 || row >= m_model->rowCount())
        return;
    QModelIndex current = m_grid->currentIndex();
    int column = current.isValid() ? current.column() : 0;
    m_grid->selectionModel()->setCurrentIndex(m_model->index(row, column),
                                              QItemSelectionModel::NoUpdate);
    m_grid->scrollTo(m_model->index(row, column));
    m_model->setIndicatorRow(row);
}

void ProgrammeListWindow::restoreListPosition() {
    m_list.restorePosition();
    moveGridCursor(m_list.currentRow());
}

std::vector<int> ProgrammeListWindow::markedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_grid->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

StatusLog& ProgrammeListWindow::statusLog() {
    return *m_statusLog;
}

void ProgrammeListWindow::setWindowTitle1251(const std::string& title) {
    setWindowTitle(toQString(title));
}

void ProgrammeListWindow::button4Click() {
    guarded([&] {
        if (!prepareOpening(m_list, m_database, m_prompts))
            return;
        if (m_viewer)
            m_viewer->showProgramme(m_list.currentRow(),
                                    programmeDocumentName(m_list, m_list.currentRow()));
    });
}

void ProgrammeListWindow::n1Click() {
    guarded([&] {
        if (m_viewer)
            m_viewer->showGluing(gluingDocumentName(m_list));
    });
}

// The timer follows the check mark, which the item has just flipped.
void ProgrammeListWindow::findNewTvClick() {
    m_settings.findNewTv = m_findNewTv->isChecked();
    if (m_settings.findNewTv) {
        m_autoCheckTimer->start();
        m_prompts.inform(cp("Автообновление включено."), kApplicationTitle, PromptIcon::None,
                         false);
    } else {
        m_autoCheckTimer->stop();
        m_prompts.inform(cp("Автообновление отключено."), kApplicationTitle, PromptIcon::None,
                         false);
    }
}

void ProgrammeListWindow::closeEvent(QCloseEvent* event) {
    // The close step would end the store under a running refresh; the window
    // closes as soon as the refresh has ended instead.
    if (m_refresh && m_refresh->isBusy()) {
        event->ignore();
        QTimer::singleShot(200, this, [this] {
            if (m_terminating)
                continueTermination();
            else
                close();
        });
        return;
    }
    m_startupTimer->stop();
    m_autoCheckTimer->stop();
    if (m_onClose) {
        auto handler = std::move(m_onClose);
        m_onClose = nullptr;
        handler();
    }
    QMainWindow::closeEvent(event);
}

void ProgrammeListWindow::closeOnTermination() {
    m_terminating = true;
    QTimer::singleShot(0, this, &ProgrammeListWindow::continueTermination);
}

// A box that is open belongs to some operation waiting for its answer; the
// close step may run only once that operation has gone on and returned to the
// main event loop, or it would go on with a closed store.
void ProgrammeListWindow::continueTermination() {
    if (!isVisible())
        return;
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    QWidget* modal = QApplication::activeModalWidget();
    if (modal || QThread::currentThread()->loopLevel() > 1) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else if (modal)
            modal->close();
        QTimer::singleShot(50, this, &ProgrammeListWindow::continueTermination);
        return;
    }
    close();
}

}  // namespace mirvaly
