#include "app/status_box_window.h"

#include <QKeyEvent>
#include <QProgressBar>

#include "app/qt_text.h"

namespace mirvaly {

StatusBox::StatusBox(QWidget* parent) : QComboBox(parent) {
    setObjectName(QStringLiteral("StatusBox"));
    setMaxVisibleItems(15);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    // The system's scroll-bar colour as background.
    setStyleSheet(QStringLiteral("QComboBox#StatusBox { background-color: #c8c8c8; }"));
}

void StatusBox::keyPressEvent(QKeyEvent* event) {
    if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
        showPopup();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void StatusBoxLog::clear() {
    m_box.clear();
}

void StatusBoxLog::addLine(const std::string& line) {
    m_box.addItem(toQString(line));
    m_box.setCurrentIndex(m_box.count() - 1);
}

void StatusBoxLog::setProgress(int done, int total) {
    if (total <= 0) {
        m_progress.hide();
        return;
    }
    m_progress.setRange(0, total);
    m_progress.setValue(std::min(done, total));
    m_progress.show();
}

}  // namespace mirvaly
