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
#include "service/exchange_protocol.h"

namespace mirvaly::reference {

// What reaches the client whole: it reads at most the first 2,048,000 bytes of
// a response and looks for a message block in its first 2,048 bytes. The
// status line and headers ahead of the body take about 210 bytes; kHeaderRoom
// keeps that and a margin free.
inline constexpr size_t kHeaderRoom = 512;
// Guard byte and the two markers around every payload.
inline constexpr size_t kFramingBytes =
    1 + protocol::kReplyOpening.size() + protocol::kReplyClosing.size();
// The longest payload (script, content or section) one reply can carry.
inline constexpr size_t kMaxPayload = TConnectHTTP::kRecvBufferSize - kHeaderRoom - kFramingBytes;
// The longest message block text, notice of a new version included.
inline constexpr size_t kMaxMessage = protocol::kMessageWindow - kHeaderRoom -
                                      protocol::kMessageStart.size() - protocol::kMessageEnd.size();
// A new-version section never exceeds this, whatever the catalogue asks.
inline constexpr size_t kMaxSectionSize = 2000000;

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

// Throws CatalogueError naming what would not reach the client whole: the
// login listing for a client that holds nothing, a programme's getprogram
// payload, or the login message (with the new-version notice, if any), when
// too long for the client or, for scripts and the message, holding a zero byte.
void checkRepliesFit(const Catalogue& catalogue);

// The login message: the catalogue's message, then the new-version notice
// when the catalogue offers a version above `prog`.
std::string loginMessage(const Catalogue& catalogue, std::string_view prog);

// Texts of the message blocks (Windows-1251).
std::string unknownSubscriberMessage();
std::string newVersionMessage(int version);

}  // namespace mirvaly::reference
