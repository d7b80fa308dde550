#include "app/message_box_prompts_window.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "app/qt_text.h"

namespace mirvaly {
namespace {

QMessageBox::Icon toQtIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

int MessageBoxPrompts::run(QMessageBox& box, bool topmost) {
    // The buttons speak the program's language whatever translations are
    // installed.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Yes, "Да"}, {QMessageBox::No, "Нет"}, {QMessageBox::Cancel, "Отмена"}};
    for (const auto& [which, caption] : captions)
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromUtf8(caption));
    box.setWindowModality(Qt::ApplicationModal);
    if (topmost)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return box.exec();
}

void MessageBoxPrompts::inform(const std::string& text, const std::string& caption, PromptIcon icon,
                               bool topmost) {
    QMessageBox box(toQtIcon(icon), toQString(caption), toQString(text), QMessageBox::Ok, m_parent);
    run(box, topmost);
}

bool MessageBoxPrompts::askYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, toQString(caption), toQString(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    return run(box, true) == QMessageBox::Yes;
}

PromptAnswer MessageBoxPrompts::askYesNoCancel(const std::string& text,
                                               const std::string& caption) {
    QMessageBox box(QMessageBox::Question, toQString(caption), toQString(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    switch (run(box, true)) {
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Cancel;
    }
}

std::optional<std::string> MessageBoxPrompts::chooseSaveFile(const std::string& title,
                                                             const std::string& suggestedName,
                                                             const std::string& filter) {
    QString path = QFileDialog::getSaveFileName(m_parent, toQString(title),
                                                toQString(suggestedName), toQString(filter));
    if (path.isEmpty())
        return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

void MessageBoxPrompts::showError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), toQString(text),
                    QMessageBox::Ok, m_parent);
    run(box, true);
}

}  // namespace mirvaly
