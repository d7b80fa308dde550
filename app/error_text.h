#pragma once

// Turning a caught exception into the text of the standard error box, and the
// guard every window handler runs its work in.

#include <exception>
#include <string>
#include <string_view>

#include "common/user_prompts.h"

namespace mirvaly {

// The exception's text as Windows-1251. Engine and system messages arrive in
// the system's encoding (UTF-8 outside Windows, file paths included); a text
// that is valid UTF-8 with letters beyond ASCII is converted, anything else is
// taken as Windows-1251 already.
std::string errorTextForDisplay(std::string_view what);

// Runs `work`; an exception that escapes it ends the work there and is shown
// in the standard error box. Returns false when that happened.
template <typename Work>
bool runGuarded(UserPrompts& prompts, Work&& work) {
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        prompts.showError(errorTextForDisplay(e.what()));
    } catch (...) {
        prompts.showError("Unknown error");
    }
    return false;
}

}  // namespace mirvaly
