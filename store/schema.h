#pragma once

// The store's file format: the creation script and the helper that builds a
// new store with it.

#include <memory>
#include <string>
#include <vector>

#include "store/database.h"

namespace mirvaly {

// The creation script for a store at `path`, as the lines the script runner
// takes.
std::vector<std::string> creationScript(const std::string& path);

// Creates the file at `path` with the full schema and returns the attachment.
// Throws DatabaseError (with the engine's text) when any statement fails; a
// partly built file may remain.
std::unique_ptr<Database> createStore(const std::string& path);

}  // namespace mirvaly
