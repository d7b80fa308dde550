#pragma once

// Escaping of attribute values in the XML variant of a programme: "&", the
// double quote, the apostrophe, ">" and "<" become "&amp;", "&quot;",
// "&apos;", "&gt;" and "&lt;". Text that already holds an entity is escaped
// again ("&amp;" becomes "&amp;amp;"). Every other byte, line breaks and zero
// bytes included, is kept as it is.

#include <string>
#include <string_view>

namespace mirvaly {

std::string XmlEscape(std::string_view text);

}  // namespace mirvaly
