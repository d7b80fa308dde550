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

// Whether a process of that executable name counts as a copy of this
// program, compared in lower case: the name contains `ownName` (a prefix in
// front or a copy in another folder count too). Where executable names carry
// no extension, the ".exe" that ends the name elsewhere is missing, so the
// name must end with `ownName`; otherwise every tool whose name merely begins
// with the program's name ("mirvaly-service") would count.
bool isSameProgram(const std::string& processName, const std::string& ownName);

// The number of processes that are copies of this program (the running one
// included). No snapshot gives 0.
int countInstances(ProcessList& processes, const std::string& ownName);

}  // namespace mirvaly
