#pragma once

// A snapshot of the running processes, for the single-instance check.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mirvaly {

class ProcessList {
public:
    virtual ~ProcessList() = default;
    // The executable file name (without folder) of every running process, this
    // one included; nothing when no snapshot can be taken.
    virtual std::optional<std::vector<std::string>> executableNames() = 0;
};

// The operating system's process list: /proc on Linux (the target of
// /proc/*/exe, or the first word of /proc/*/cmdline where that link cannot be
// read), the tool-help snapshot on Windows.
std::unique_ptr<ProcessList> systemProcessList();

// The number of processes whose executable name, in lower case, contains
// `ownName` in lower case. No snapshot gives 0.
int countInstances(ProcessList& processes, const std::string& ownName);

}  // namespace mirvaly
