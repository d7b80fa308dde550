#pragma once

// The status box at the bottom of the main window: a drop-down list of the
// progress lines of the run (refresh, re-fetch, self-update). Every added line
// is kept and the newest is the one selected; typing into it drops it down.
// A progress bar beside it shows while a long operation reports a total.

#include <QComboBox>

#include "common/status_log.h"

class QProgressBar;

namespace mirvaly {

class StatusBox : public QComboBox {
    Q_OBJECT
public:
    explicit StatusBox(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class StatusBoxLog : public StatusLog {
public:
    StatusBoxLog(StatusBox& box, QProgressBar& progress) : m_box(box), m_progress(progress) {}
    void clear() override;
    void addLine(const std::string& line) override;
    void setProgress(int done, int total) override;

private:
    StatusBox& m_box;
    QProgressBar& m_progress;
};

}  // namespace mirvaly
