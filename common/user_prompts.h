#pragma once

// What a flow may ask of the person at the screen. Flows never open a window
// themselves; the windows pass an implementation that shows message boxes and
// file dialogs, tests pass a scripted one that answers and records.
//
// Every text and caption is Windows-1251 bytes, exactly as shown.

#include <optional>
#include <string>

namespace mirvaly {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptAnswer { Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A modal box with one OK button. `topmost` boxes stay above every window
    // (errors, refusals and notices of the service client, start-up messages).
    virtual void inform(const std::string& text, const std::string& caption,
                        PromptIcon icon = PromptIcon::None, bool topmost = true) = 0;

    // A question with Yes and No buttons and a question icon; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;

    // A question with Yes, No and Cancel buttons and a question icon.
    virtual PromptAnswer askYesNoCancel(const std::string& text, const std::string& caption) = 0;

    // The file save dialog. `filter` is a Qt-style filter ("Текст (*.txt)");
    // returns the chosen path (bytes as the file system takes them) or nothing
    // when the person cancels.
    virtual std::optional<std::string> chooseSaveFile(const std::string& title,
                                                      const std::string& suggestedName,
                                                      const std::string& filter) = 0;

    // The standard error box for unexpected errors: the error's text and one
    // OK button, captioned with the application title.
    virtual void showError(const std::string& text) = 0;
};

}  // namespace mirvaly
