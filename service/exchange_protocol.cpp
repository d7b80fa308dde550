#include "service/exchange_protocol.h"

#include <charconv>

#include "common/codec.h"
#include "common/text.h"

namespace mirvaly::protocol {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kUsedFrom = 2;  // proxy and port texts count from 2 characters

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

// A decimal port from 1 to 65535, or nothing.
std::optional<uint16_t> parsePort(std::string_view text) {
    if (!allDigits(text) || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

std::string newVersionNotice() {
    return cp("Вышла новая версия");
}
std::string proxyRefusalCaption() {
    return cp("Авторизация прокси-сервера.");
}
std::string proxyRefusalText() {
    return cp(
        "Ваш прокси требует ввести имя пользователя и пароль "
        "(меню \"Настройки\", пункт \"Настройка соединения...\").");
}
std::string messageCaption() {
    return cp("Сообщение.");
}
std::string badProxyPortCaption() {
    return cp("Ошибка настройки прокси-сервера.");
}
std::string badProxyPortText(std::string_view port) {
    return cp("Порт прокси-сервера \"") + std::string(port) +
           cp("\" должен быть числом от 1 до 65535. Исправьте его "
              "(меню \"Настройки\", пункт \"Настройка соединения...\").");
}

std::string timeValue(int64_t secondsSince1970) {
    return std::to_string(secondsSince1970 < 0 ? 0 : secondsSince1970);
}

int identifierKey(std::string_view time) {
    const std::string_view lastTwo = time.size() > 2 ? time.substr(time.size() - 2) : time;
    int key = 0;
    for (char c : lastTwo)
        key = key * 10 + (isDigit(c) ? c - '0' : 0);
    return key;
}

std::string encodeIdentifier(std::string_view subscriberId, int key) {
    std::string out;
    for (char c : subscriberId) {
        const int s = static_cast<signed char>(c);
        out += std::to_string(2 * (s + key));
        out += '|';
    }
    return out;
}

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = 0;
        for (size_t k = 0; k < 3; ++k) {
            group <<= 8;
            if (k < n)
                group |= static_cast<unsigned char>(bytes[i + k]);
        }
        for (size_t k = 0; k < 4; ++k) {
            out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
        }
    }
    return out;
}

std::string requestBody(std::string_view dkey) {
    std::string body;
    body += "--";
    body += kRequestBoundary;
    body += kCrLf;
    body += "Content-Disposition: form-data; name=\"dkey\"";
    body += kCrLf;
    body += kCrLf;
    body += dkey;
    body += kCrLf;
    body += "--";
    body += kRequestBoundary;
    body += "--";
    body += kCrLf;
    return body;
}

std::string buildRequest(const TConnectHTTP& c, std::string_view time) {
    const std::string id = encodeIdentifier(c.SubscriberId, identifierKey(time));
    const std::string body = requestBody(c.DKey);
    std::string r;
    r.reserve(512 + body.size());
    r += "POST http://" + c.Host + "/" + c.RequestName + ".php?id=" + id +
         "&prog=" + c.ProgVersion + "&time=" + std::string(time) + " HTTP/1.0\r\n";
    r += "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n";
    r += "Accept: */*\r\n";
    r += "Host: " + c.Host + "\r\n";
    r += "Referer: http://" + c.Host + "\r\n";
    r += "Content-Type: multipart/form-data; boundary=" + std::string(kRequestBoundary) + "\r\n";
    if (!c.ProxyUser.empty()) {
        r += "Proxy-Authorization: Basic " + base64(c.ProxyUser + ":" + c.ProxyPassword) + "\r\n";
    }
    r += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    r += body;
    return r;
}

TargetChoice chooseTarget(const TConnectHTTP& c) {
    TargetChoice choice;
    const bool viaProxy = c.ProxyHost.size() >= kUsedFrom;
    std::string host = viaProxy ? c.ProxyHost : c.Host;
    std::optional<uint16_t> hostPort;
    if (!viaProxy) {
        // A service host written as "name:port" is reached on that port.
        const size_t colon = host.rfind(':');
        if (colon != std::string::npos) {
            hostPort = parsePort(std::string_view(host).substr(colon + 1));
            if (hostPort)
                host.resize(colon);
        }
    }
    choice.target.host = host;
    if (c.ProxyPort.size() >= kUsedFrom) {
        const auto port = parsePort(c.ProxyPort);
        if (!port) {
            choice.error = TargetError::BadProxyPort;
            return choice;
        }
        choice.target.port = *port;
    } else if (hostPort) {
        choice.target.port = *hostPort;
    }
    return choice;
}

bool isProxyRefusal(std::string_view response) {
    if (response.size() < 2)
        return false;
    return response.substr(1, kProxyRefusalWindow).find(kProxyRefusal) != std::string_view::npos;
}

std::string messageBlock(std::string_view response) {
    std::string_view text = response.substr(0, kMessageWindow);
    text = text.substr(0, text.find('\0'));
    // 1-based positions, 0 when absent, as the message rule is stated.
    const auto position = [&](std::string_view marker) -> long {
        const size_t at = text.find(marker);
        return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
    };
    const long a = position(kMessageStart);
    const long b = position(kMessageEnd);
    const long length = b - a - 4;
    if (length <= 0)
        return {};
    // 1-based start a + 4 is the 0-based index a + 3.
    const size_t start = static_cast<size_t>(a + 3);
    if (start >= text.size())
        return {};
    return std::string(text.substr(start, static_cast<size_t>(length)));
}

std::string frameReply(std::string_view response) {
    const size_t closing = response.rfind(kReplyClosing);
    if (closing == std::string_view::npos)
        return {};
    const std::string_view head = response.substr(0, closing);
    const size_t opening = head.find(kReplyOpening);
    if (opening == std::string_view::npos)
        return {};
    return std::string(head.substr(opening + kReplyOpening.size()));
}

ResponseMeaning interpretResponse(std::string_view response) {
    ResponseMeaning meaning;
    if (isProxyRefusal(response)) {
        meaning.kind = ResponseMeaning::Kind::ProxyRefusal;
        meaning.reply.assign(response);
        return meaning;
    }
    meaning.message = messageBlock(response);
    if (meaning.message.find(newVersionNotice()) != std::string::npos) {
        meaning.kind = ResponseMeaning::Kind::NewVersion;
        meaning.reply.assign(response);
        return meaning;
    }
    meaning.kind = ResponseMeaning::Kind::Framed;
    meaning.reply = frameReply(response);
    return meaning;
}

}  // namespace mirvaly::protocol
