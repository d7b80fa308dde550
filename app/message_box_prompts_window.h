#pragma once

// UserPrompts shown as Qt message boxes and file dialogs: modal, and above
// every window when the prompt asks to be topmost. Simple boxes and the
// standard error box are captioned "Mirvaly" by their callers or here.

#include <QPointer>

#include "common/user_prompts.h"

class QWidget;
class QMessageBox;

namespace mirvaly {

inline constexpr const char* kApplicationTitle = "Mirvaly";

class MessageBoxPrompts : public UserPrompts {
public:
    // The boxes are centred on `parent` when there is one.
    explicit MessageBoxPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void inform(const std::string& text, const std::string& caption, PromptIcon icon,
                bool topmost) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    PromptAnswer askYesNoCancel(const std::string& text, const std::string& caption) override;
    std::optional<std::string> chooseSaveFile(const std::string& title,
                                              const std::string& suggestedName,
                                              const std::string& filter) override;
    void showError(const std::string& text) override;

private:
    int run(QMessageBox& box, bool topmost);

    QPointer<QWidget> m_parent;
};

}  // namespace mirvaly
