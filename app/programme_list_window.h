#pragma once

// TForm1, the main window: the programme list of one date and variant with
// its status colours, the refresh button, the settings menu and the status
// box. The behaviour lives in ProgrammeList and in the parts that plug in
// through main_window_hooks.h; the window reads its controls, calls them and
// shows the result. Closing it ends the application.

#include <QMainWindow>
#include <functional>
#include <memory>

#include "app/app_settings.h"
#include "app/main_window_hooks.h"
#include "app/programme_list.h"
#include "common/user_prompts.h"
#include "store/database.h"

class QAction;
class QActionGroup;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class QToolButton;

namespace mirvaly {

class ProgrammeTableModel;
class StatusBox;
class StatusBoxLog;

class ProgrammeListWindow : public QMainWindow, public ProgrammeListHost {
    Q_OBJECT
public:
    // `settings`, `database` and `prompts` outlive the window. The format
    // item and the two check marks are set from `settings`; the menu keeps
    // `settings` up to date from then on.
    ProgrammeListWindow(AppSettings& settings, Database& database, UserPrompts& prompts,
                        QWidget* parent = nullptr);
    ~ProgrammeListWindow() override;

    // The show step's list work: the first filter, the start-up prompt timer
    // and, when FindNewTv is ticked, the auto-check timer.
    void start();

    void setRefreshController(RefreshController* controller) { m_refresh = controller; }
    void setViewerLauncher(ViewerLauncher* viewer) { m_viewer = viewer; }
    void setExportController(ExportController* exporter) { m_export = exporter; }
    void setConnectionSettingsLauncher(ConnectionSettingsLauncher* launcher) {
        m_connectionSettings = launcher;
    }
    // Called once when the window closes (the application's close step).
    void setCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }
    // Closes the window as the person would, for a request from outside (a
    // termination signal): open message boxes and dialogs are dismissed
    // (No, Cancel) until the main event loop runs on its own, a running
    // refresh is waited for, then the close step runs.
    void closeOnTermination();

    // ProgrammeListHost
    ProgrammeList& programmeList() override { return m_list; }
    void refilter() override { radioGroup1Click(); }
    void restoreListPosition() override;
    std::vector<int> markedRows() const override;
    StatusLog& statusLog() override;
    void setWindowTitle1251(const std::string& title) override;

    QTableView* grid() const { return m_grid; }
    QTimer* startupTimer() const { return m_startupTimer; }
    QTimer* autoCheckTimer() const { return m_autoCheckTimer; }

    // The handlers, public so that the parts that plug in and the tests call
    // them as the controls do.
    void radioGroup1Click();
    void comboBox1Change();
    void button4Click();
    void n1Click();
    void findNewTvClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopRow(QWidget* parent, QHBoxLayout* row);
    void buildGrid();
    void buildMenus();
    void buildTimers();
    void applySettingsToMenu();
    void showListState();
    void moveGridCursor(int row);
    void continueTermination();
    template <typename Work>
    void guarded(Work&& work);

    AppSettings& m_settings;
    Database& m_database;
    UserPrompts& m_prompts;
    ProgrammeList m_list;
    std::unique_ptr<ProgrammeTableModel> m_model;
    std::unique_ptr<StatusBoxLog> m_statusLog;

    QToolButton* m_refreshButton = nullptr;  // SpeedButton1
    QPushButton* m_openButton = nullptr;     // Button4
    QGroupBox* m_variantGroup = nullptr;     // RadioGroup1
    QButtonGroup* m_variantButtons = nullptr;
    QComboBox* m_dateList = nullptr;   // ComboBox1
    QTableView* m_grid = nullptr;      // DBGrid1
    StatusBox* m_statusBox = nullptr;  // StatusBox
    QProgressBar* m_progress = nullptr;
    QMenu* m_gridMenu = nullptr;         // PopupMenu1 with N6
    QAction* m_txtFormat = nullptr;      // TXT1
    QAction* m_rtfFormat = nullptr;      // RTF1
    QAction* m_dosFormat = nullptr;      // DOS1
    QAction* m_findNewTv = nullptr;      // FindNewTv
    QAction* m_shiftTime = nullptr;      // ShiftTime
    QTimer* m_startupTimer = nullptr;    // Timer1
    QTimer* m_autoCheckTimer = nullptr;  // FindNewTvTimer1

    RefreshController* m_refresh = nullptr;
    ViewerLauncher* m_viewer = nullptr;
    ExportController* m_export = nullptr;
    ConnectionSettingsLauncher* m_connectionSettings = nullptr;
    std::function<void()> m_onClose;
    bool m_updatingControls = false;
    bool m_terminating = false;
};

}  // namespace mirvaly
