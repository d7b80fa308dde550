#include "viewer/xml_escape.h"

namespace mirvaly {

// One pass gives what five passes in the order & " ' > < give: none of the
// entities holds a character that a later pass would replace, and the
// ampersand's pass comes first.
std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

}  // namespace mirvaly
