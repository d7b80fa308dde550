#pragma once

// A fresh store for a test: a temporary folder holding OSL.gdb built by
// createStore (the program's own creation script), attached and ready. The
// destructor closes the attachment (committing, as the program does) and
// removes the folder with everything in it.
//
// Linking this fixture also registers a test environment that shuts the
// embedded engine down after the last test.

#include <memory>
#include <string>

#include "store/database.h"

namespace mirvaly::test {

// A new empty folder under the system's temporary directory; the caller
// removes it.
std::string makeTempFolder(const std::string& prefix = "mirvaly-test-");

class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    Database& db() { return *m_db; }
    Database* operator->() { return m_db.get(); }
    // The owning pointer, for a ScriptRunner or for code that replaces the
    // attachment; it may be empty after close().
    std::unique_ptr<Database>& holder() { return m_db; }

    const std::string& folder() const { return m_folder; }
    const std::string& path() const { return m_path; }  // folder + "/OSL.gdb"

    // Closes the attachment (committing) and attaches again: what a new
    // start of the program would see.
    void reopen();
    // Closes the attachment (committing); the file stays until destruction.
    void close();

private:
    std::string m_folder;
    std::string m_path;
    std::unique_ptr<Database> m_db;
};

}  // namespace mirvaly::test
