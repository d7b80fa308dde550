#include "app/keyboard_layout.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace mirvaly {
namespace {

#ifdef _WIN32
class WindowsKeyboardLayout : public KeyboardLayout {
public:
    std::string activeLayoutName() override {
        char name[KL_NAMELENGTH] = {};
        if (!GetKeyboardLayoutNameA(name))
            return {};
        return name;
    }
    bool activate(const std::string& name) override {
        return LoadKeyboardLayoutA(name.c_str(), KLF_ACTIVATE) != nullptr;
    }
};
#else
class RecordedKeyboardLayout : public KeyboardLayout {
public:
    std::string activeLayoutName() override { return m_name; }
    bool activate(const std::string& name) override {
        m_name = name;
        return true;
    }

private:
    std::string m_name = kRussianLayout;
};
#endif

}  // namespace

std::unique_ptr<KeyboardLayout> systemKeyboardLayout() {
#ifdef _WIN32
    return std::make_unique<WindowsKeyboardLayout>();
#else
    return std::make_unique<RecordedKeyboardLayout>();
#endif
}

}  // namespace mirvaly
