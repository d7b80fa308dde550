#include "app/process_list.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/text.h"

#ifdef _WIN32
#include <tlhelp32.h>
#include <windows.h>
#endif

namespace mirvaly {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
std::string firstWordOfCommandLine(const fs::path& processDir) {
    std::ifstream in(processDir / "cmdline", std::ios::binary);
    std::string argv0;
    std::getline(in, argv0, '\0');
    return fs::path(argv0).filename().string();
}

class ProcProcessList : public ProcessList {
public:
    std::optional<std::vector<std::string>> executableNames() override {
        std::error_code ec;
        fs::directory_iterator it("/proc", ec);
        if (ec)
            return std::nullopt;
        std::vector<std::string> names;
        for (const auto& entry : it) {
            const std::string pid = entry.path().filename().string();
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::error_code linkError;
            fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
            // Processes of other users hide their exe link; their command line
            // still names the program.
            std::string name =
                linkError ? firstWordOfCommandLine(entry.path()) : exe.filename().string();
            // A program file replaced while it runs shows as "name (deleted)".
            const std::string deleted = " (deleted)";
            if (name.size() > deleted.size() &&
                name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
                name.resize(name.size() - deleted.size());
            if (!name.empty())
                names.push_back(name);
        }
        return names;
    }
};
#else
class ToolHelpProcessList : public ProcessList {
public:
    std::optional<std::vector<std::string>> executableNames() override {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return std::nullopt;
        std::vector<std::string> names;
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry))
            names.emplace_back(entry.szExeFile);
        CloseHandle(snapshot);
        return names;
    }
};
#endif

}  // namespace

std::unique_ptr<ProcessList> systemProcessList() {
#ifdef _WIN32
    return std::make_unique<ToolHelpProcessList>();
#else
    return std::make_unique<ProcProcessList>();
#endif
}

bool isSameProgram(const std::string& processName, const std::string& ownName) {
    const std::string name = toLower1251(processName);
    const std::string wanted = toLower1251(ownName);
    if (wanted.find('.') != std::string::npos)
        return name.find(wanted) != std::string::npos;
    return name.size() >= wanted.size() &&
           name.compare(name.size() - wanted.size(), wanted.size(), wanted) == 0;
}

int countInstances(ProcessList& processes, const std::string& ownName) {
    auto names = processes.executableNames();
    if (!names)
        return 0;
    int count = 0;
    for (const auto& name : *names)
        if (isSameProgram(name, ownName))
            ++count;
    return count;
}

}  // namespace mirvaly
