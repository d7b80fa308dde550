#pragma once

// What the reference service answers, as pure functions of the catalogue and
// the request. A reply body is framed the way the client cuts it:
//
//   ["MsG>" message "<MsG"] NUL opening-marker payload closing-marker
//
// The payload stands byte for byte between the markers, so a programme's text
// or file and a section of the new executable arrive unchanged. The zero byte
// ends the part of the response in which the client looks for a message
// block, so payload bytes can never be taken for one.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "server/catalogue.h"

namespace mirvaly::reference {

// The query parameters and the form field of one request.
struct RequestParams {
    std::string id;
    std::string prog;
    std::string time;
    std::string dkey;
};

struct ServiceReply {
    int status = 200;  // 404 for an unknown request name
    std::string body;
};

// Answers "login", "getprogram", "sokr" and "newversion".
ServiceReply answer(const Catalogue& catalogue, std::string_view requestName,
                    const RequestParams& params);

// The subscriber identifier encoded in `id` with the key taken from `time`;
// nothing when `id` is not a well-formed encoding ("" decodes to "").
std::optional<std::string> decodeIdentifier(std::string_view id, std::string_view time);

// The keys of a dkey list ("1,2,3"); tokens that are not numbers are skipped.
std::set<int64_t> parseKeys(std::string_view dkey);

// A reply body: optional message block, guard byte, markers around `payload`.
std::string frame(std::string_view message, std::string_view payload);

// An SQL text literal: the bytes between single quotes, quotes doubled.
std::string sqlText(std::string_view text);

// The scripts, one statement a line; each starts and ends with a line end.
// The login script is empty when the client holds every programme.
std::string loginScript(const Catalogue& catalogue, const std::set<int64_t>& held);
std::string itemsScript(const CatalogueProgramme& programme);
std::string sokrScript();

// Texts of the message blocks (Windows-1251).
std::string unknownSubscriberMessage();
std::string newVersionMessage(int version);

}  // namespace mirvaly::reference
