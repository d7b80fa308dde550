#include "tests/support/temp_database.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "store/schema.h"

namespace mirvaly::test {

namespace {

// The engine keeps threads and lock files; end them once after the last test.
class EngineShutdown : public ::testing::Environment {
public:
    void TearDown() override { shutdownDatabaseEngine(); }
};

[[maybe_unused]] const auto* const kEngineShutdown =
    ::testing::AddGlobalTestEnvironment(new EngineShutdown);

}  // namespace

std::string makeTempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    return pattern;
}

TempDatabase::TempDatabase() : m_folder(makeTempFolder()), m_path(m_folder + "/OSL.gdb") {
    try {
        m_db = createStore(m_path);
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
        throw;
    }
}

TempDatabase::~TempDatabase() {
    try {
        close();
    } catch (...) {
        // The folder goes anyway.
    }
    std::error_code ec;
    std::filesystem::remove_all(m_folder, ec);
}

void TempDatabase::reopen() {
    close();
    m_db = Database::open(m_path);
}

void TempDatabase::close() {
    if (m_db)
        m_db->close();
    m_db.reset();
}

}  // namespace mirvaly::test
