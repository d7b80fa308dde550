#pragma once

// The keyboard layout, read and switched by the viewer around its text work
// (it switches to Russian, "00000419", and restores the saved name). Layout
// names are eight hexadecimal digits.

#include <memory>
#include <string>

namespace mirvaly {

inline constexpr const char* kRussianLayout = "00000419";

class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual std::string activeLayoutName() = 0;
    // Loads and activates the layout; false when the platform cannot.
    virtual bool activate(const std::string& name) = 0;
};

// The platform's layouts. Where layouts cannot be loaded by name (everything
// but Windows) it only records the name last activated, so that reading and
// restoring round-trip and nothing else changes.
std::unique_ptr<KeyboardLayout> systemKeyboardLayout();

}  // namespace mirvaly
