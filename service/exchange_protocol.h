#pragma once

// The pure half of the service exchange: the bytes of a request, where to
// connect, and what a response means. Nothing here does I/O, reads a clock or
// shows a window; the exchange (exchange.h) strings these together.
//
// All texts are Windows-1251 bytes; responses may hold any byte, zero included.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service/connect_http.h"

namespace mirvaly::protocol {

inline constexpr std::string_view kRequestBoundary = "4PML8H13ON338QS041G";
inline constexpr std::string_view kReplyOpening = "--3af2485e34349d0957d9b83227a0d4cb";
inline constexpr std::string_view kReplyClosing = "--3af2485e34349d0957d9b83227a0d4cb--";
inline constexpr std::string_view kMessageStart = "MsG>";
inline constexpr std::string_view kMessageEnd = "<MsG";
inline constexpr std::string_view kProxyRefusal = " 407 ";
inline constexpr uint16_t kDefaultPort = 80;
inline constexpr size_t kProxyRefusalWindow = 200;  // bytes after the first one
inline constexpr size_t kMessageWindow = 2048;      // first bytes of the response

// Windows-1251 texts the exchange shows or looks for.
std::string newVersionNotice();     // "Вышла новая версия"
std::string proxyRefusalCaption();  // "Авторизация прокси-сервера."
std::string proxyRefusalText();     // "Ваш прокси требует ..."
std::string messageCaption();       // "Сообщение."
std::string badProxyPortCaption();
std::string badProxyPortText(std::string_view port);  // names "Настройка соединения"

// Seconds since 1970 in decimal, no sign, no leading zeros (negative clocks
// read as 0).
std::string timeValue(int64_t secondsSince1970);

// The identifier key K: the integer value of the last two characters of the
// time value (0..99); a single character counts alone, non-digits as 0.
int identifierKey(std::string_view timeValue);

// The query parameter `id`: for every byte b of the identifier, taken as a
// signed 8-bit number s, the decimal value of 2 * (s + key) followed by "|".
std::string encodeIdentifier(std::string_view subscriberId, int key);

// Standard Base64 with "=" padding and no line breaks.
std::string base64(std::string_view bytes);

// The multipart body with the one field "dkey".
std::string requestBody(std::string_view dkey);

// The complete request for the record's Host, RequestName, ProgVersion,
// SubscriberId, DKey, ProxyUser and ProxyPassword at the given time value.
std::string buildRequest(const TConnectHTTP& connection, std::string_view timeValue);

// Where the exchange connects.
struct ConnectTarget {
    std::string host;  // a name or a dotted address, resolved by the transport
    uint16_t port = kDefaultPort;
};

enum class TargetError { None, BadProxyPort };

struct TargetChoice {
    TargetError error = TargetError::None;
    ConnectTarget target;
};

// The host: ProxyHost when it has 2 or more characters, else Host. The port:
// ProxyPort when it has 2 or more characters (then it must be a decimal number
// from 1 to 65535, else BadProxyPort), else the port of a Host written as
// "name:port" when no proxy host is used, else 80. Host and port are chosen
// independently.
TargetChoice chooseTarget(const TConnectHTTP& connection);

// " 407 " inside the 200 bytes that follow the first byte of the response.
bool isProxyRefusal(std::string_view response);

// The message block: looked for in the first 2,048 bytes, read as text that
// ends early at a zero byte. The text between the first "MsG>" and the first
// "<MsG"; without "MsG>", the text from the fourth character up to the one
// before "<MsG". Empty when there is none.
std::string messageBlock(std::string_view response);

// The reply script: the bytes strictly between the end of the first opening
// marker and the start of the last closing marker; empty when either is
// missing.
std::string frameReply(std::string_view response);

// What a received response amounts to, in the order the exchange handles it.
struct ResponseMeaning {
    enum class Kind {
        ProxyRefusal,  // tell the user, the exchange fails; reply = raw response
        NewVersion,    // the service announces a new version; reply = raw response
        Framed,        // reply = the framed reply script (possibly empty)
    };
    Kind kind = Kind::Framed;
    std::string message;  // the message block to show first (empty: none)
    std::string reply;
};

ResponseMeaning interpretResponse(std::string_view response);

}  // namespace mirvaly::protocol
