#pragma once

// Executing a script the service sent: the reply taken as text up to its first
// zero byte, split into lines and handed to the store's script runner, in the
// application transaction of `database`. Nothing is committed here; the
// caller commits as the step it belongs to requires.
//
// The runner's rules apply (see store/script_runner.h) with one exception: a
// CREATE DATABASE statement ends the script as an unrecognised statement
// does. A service reply must never make a file or move the program to another
// attachment.

#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"
#include "store/script_runner.h"

namespace mirvaly {

// The reply as text: the bytes before its first zero byte.
std::string_view replyText(std::string_view reply);

// Whether running the reply would end the application transaction itself:
// a COMMIT or ROLLBACK among the statements it runs.
bool replyEndsTransaction(std::string_view reply);

// Runs the reply against `database`, which stays the program's attachment
// whatever the script holds. Database failures of a statement come back as a
// Rejected outcome, not as an exception.
ScriptOutcome executeReplyScript(Database& database, std::string_view reply);

}  // namespace mirvaly
