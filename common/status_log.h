#pragma once

// The progress log of the main window (its status box). Lines are
// Windows-1251 bytes.

#include <string>

namespace mirvaly {

class StatusLog {
public:
    virtual ~StatusLog() = default;
    virtual void clear() = 0;
    virtual void addLine(const std::string& line) = 0;
    // A progress figure beside the log while a long operation runs; total 0
    // hides it.
    virtual void setProgress(int done, int total) { (void)done, (void)total; }
};

}  // namespace mirvaly
