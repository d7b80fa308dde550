#pragma once

// Starting another program, for the hand-off after an update.

#include <memory>
#include <string>

namespace mirvaly {

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts `program` detached, with `workingDirectory` as its working folder;
    // false when it could not be started.
    virtual bool start(const std::string& program, const std::string& workingDirectory) = 0;
};

// Through QProcess::startDetached.
std::unique_ptr<ProgramLauncher> systemProgramLauncher();

}  // namespace mirvaly
