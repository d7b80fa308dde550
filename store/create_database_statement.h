#pragma once

// Reading a script's CREATE DATABASE statement (pure, no database):
//   CREATE {DATABASE | SCHEMA} 'file' [USER 'name'] [PASSWORD 'secret']
//     [ROLE name] [PAGE_SIZE [=] n] [LENGTH [=] n [PAGE[S]]]
//     [SET NAMES 'charset'] [DEFAULT CHARACTER SET charset [COLLATION name]]
// File, user and password may be in single or double quotes (a doubled quote
// stands for one); user, password and role may also be bare words. ROLE,
// LENGTH and SET NAMES are accepted and have no effect (the connection's
// character set stays NONE). Any other clause is refused.

#include <string>
#include <string_view>

#include "store/database.h"

namespace mirvaly {

struct CreateDatabaseStatement {
    std::string path;
    std::string user;       // empty when the statement has none
    std::string password;   // empty when the statement has none
    CreateOptions options;  // page size and default character set; the dialect is left as given
    std::string collation;  // of the default character set, empty when none
};

// Fills `out` (whose options.sqlDialect the caller sets) and returns true;
// on a malformed or unsupported statement returns false with a message.
bool parseCreateDatabase(std::string_view text, CreateDatabaseStatement& out, std::string& error);

}  // namespace mirvaly
