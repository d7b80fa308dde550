#pragma once

// How the start-up reaches the store file: opening an existing one and
// creating a new one with the full schema. Both throw DatabaseError with the
// engine's text.

#include <memory>
#include <string>

#include "store/database.h"

namespace mirvaly {

class StoreOpener {
public:
    virtual ~StoreOpener() = default;
    virtual std::unique_ptr<Database> open(const std::string& path) = 0;
    virtual std::unique_ptr<Database> create(const std::string& path) = 0;
};

// Database::open and createStore (SYSDBA / wintercap).
std::unique_ptr<StoreOpener> embeddedStoreOpener();

}  // namespace mirvaly
