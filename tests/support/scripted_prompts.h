#pragma once

// A UserPrompts for tests: answers from a queue given in advance and records
// every prompt with its kind, text and caption, so a test can assert on the
// exact messages a flow showed.

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/user_prompts.h"

namespace mirvaly::test {

struct RecordedPrompt {
    enum class Kind { Inform, YesNo, YesNoCancel, SaveFile, Error };
    Kind kind;
    std::string text;     // Windows-1251, as the flow passed it
    std::string caption;  // Windows-1251; empty for Error
    PromptIcon icon = PromptIcon::None;
};

class ScriptedPrompts : public UserPrompts {
public:
    // Answers are taken in order; a question with no answer queued fails the
    // test loudly rather than inventing one.
    std::deque<PromptAnswer> answers;
    std::deque<std::optional<std::string>> savePaths;
    std::vector<RecordedPrompt> recorded;

    void inform(const std::string& text, const std::string& caption, PromptIcon icon,
                bool) override {
        recorded.push_back({RecordedPrompt::Kind::Inform, text, caption, icon});
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        recorded.push_back({RecordedPrompt::Kind::YesNo, text, caption, PromptIcon::Question});
        return next() == PromptAnswer::Yes;
    }
    PromptAnswer askYesNoCancel(const std::string& text, const std::string& caption) override {
        recorded.push_back(
            {RecordedPrompt::Kind::YesNoCancel, text, caption, PromptIcon::Question});
        return next();
    }
    std::optional<std::string> chooseSaveFile(const std::string& title, const std::string&,
                                              const std::string&) override {
        recorded.push_back({RecordedPrompt::Kind::SaveFile, title, "", PromptIcon::None});
        if (savePaths.empty()) throw std::logic_error("ScriptedPrompts: no save path queued");
        auto path = savePaths.front();
        savePaths.pop_front();
        return path;
    }
    void showError(const std::string& text) override {
        recorded.push_back({RecordedPrompt::Kind::Error, text, "", PromptIcon::Error});
    }

private:
    PromptAnswer next() {
        if (answers.empty()) throw std::logic_error("ScriptedPrompts: no answer queued");
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace mirvaly::test
