#pragma once

// Turning the literals of a plain INSERT into parameters (pure, no database),
// so that a script's thousands of INSERTs of one form are prepared once:
//   INSERT INTO P (A, B, C) VALUES (12, 'x''y', GEN_ID(G, 1))
//   -> "INSERT INTO P (A, B, C) VALUES (?, ?, GEN_ID(G, 1))" with 12 and "x'y".
// Only an element of the VALUES list that is nothing but one single-quoted
// string (up to 32,765 bytes) or nothing but decimal digits (up to 18) becomes
// a parameter; every other element (NULL, signs, expressions, introducers,
// hex or date literals, double quotes) stays in the text as written. The
// engine then converts a parameter to its column's type exactly as it
// converts the literal, so the stored values are the same.
// Statements with a comment or a "?" of their own, with anything after the VALUES list (RETURNING
// ...), without a VALUES list, or without any literal to bind give nothing.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database.h"

namespace mirvaly {

struct BoundStatement {
    std::string shape;          // the statement with "?" for each bound literal
    std::vector<Value> values;  // Text for strings (quotes undone), Integer for digits
};

std::optional<BoundStatement> bindInsertLiterals(std::string_view statement);

}  // namespace mirvaly
