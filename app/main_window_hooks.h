#pragma once

// The places where the work of other parts of the program plugs into the main
// window. The window calls these; until a part installs its implementation
// the menu item or button does nothing.

#include <string>
#include <vector>

#include "app/programme_list.h"
#include "common/status_log.h"

namespace mirvaly {

// What the refresh, the export and the viewer may do with the main window's
// list: re-read it through the filter (as choosing a filter does), move its
// cursor, write into the status box.
class ProgrammeListHost {
public:
    virtual ~ProgrammeListHost() = default;
    virtual ProgrammeList& programmeList() = 0;
    // RadioGroup1Click: refills the date list and reopens the list.
    virtual void refilter() = 0;
    // From the first row forward by the saved position (ProgrammeList).
    virtual void restoreListPosition() = 0;
    // The rows marked in the grid, in list order.
    virtual std::vector<int> markedRows() const = 0;
    virtual StatusLog& statusLog() = 0;
    // The main window's title (Windows-1251); the refresh names the host in it.
    virtual void setWindowTitle1251(const std::string& title) = 0;
};

// The refresh and its triggers.
class RefreshController {
public:
    virtual ~RefreshController() = default;
    virtual void refresh() = 0;         // SpeedButton1Click
    virtual void startupPrompt() = 0;   // Timer1Timer (one shot, 1000 ms after show)
    virtual void autoCheck() = 0;       // FindNewTvTimer1Timer (the window restarts it)
    virtual void refetchCurrent() = 0;  // N6Click
    virtual void resetStore() = 0;      // Reset1Click
    // True while a refresh runs (it pumps messages, so the window can be
    // asked to close meanwhile); the window then closes once it has ended.
    virtual bool isBusy() const { return false; }
};

// The viewer: the list window has done the database step of opening (or the
// gluing has been asked for); the viewer prepares itself and shows.
class ViewerLauncher {
public:
    virtual ~ViewerLauncher() = default;
    // Single-programme mode, modal; `documentName` is the file name and
    // caption. On return the list is to be re-read at the same row number.
    virtual void showProgramme(int row, const std::string& documentName) = 0;
    // Gluing of the shown date, not modal.
    virtual void showGluing(const std::string& documentName) = 0;
};

// The export of the marked programmes (N5).
class ExportController {
public:
    virtual ~ExportController() = default;
    virtual void exportMarked() = 0;
};

// The connection settings dialog (N4), shown modally.
class ConnectionSettingsLauncher {
public:
    virtual ~ConnectionSettingsLauncher() = default;
    virtual void showConnectionSettings() = 0;
};

}  // namespace mirvaly
