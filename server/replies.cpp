#include "server/replies.h"

#include <algorithm>
#include <charconv>

#include "common/codec.h"
#include "service/exchange_protocol.h"

namespace mirvaly::reference {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

template <typename T>
std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string sqlTextOrNull(std::string_view text) {
    return text.empty() ? "NULL" : sqlText(text);
}

std::string sqlNumber(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "NULL";
}

bool knownSubscriber(const Catalogue& catalogue, const RequestParams& params) {
    if (catalogue.subscribers.empty())
        return true;
    const auto id = decodeIdentifier(params.id, params.time);
    if (!id)
        return false;
    for (const auto& s : catalogue.subscribers) {
        if (s == *id)
            return true;
    }
    return false;
}

std::string programmeInsert(const CatalogueProgramme& p) {
    return "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, FILENAME, SUBVARIANT, "
           "KATEGORY, NUM, SHIFTTIME, STATUS, COUNTS, TYPES) VALUES (" +
           std::to_string(p.key) + ", " + sqlText(p.date) + ", " + sqlText(p.channel) + ", " +
           sqlText(p.variant) + ", " + sqlTextOrNull(p.fileName) + ", " +
           sqlTextOrNull(p.subvariant) + ", " + sqlTextOrNull(p.category) + ", " +
           sqlNumber(p.num) + ", " + sqlNumber(p.shiftTime) + ", NULL, " + sqlNumber(p.counts) +
           ", " + sqlTextOrNull(p.types) + ");";
}

std::string newVersionSection(const NewVersion& version, std::string_view dkey) {
    const auto offset = number<size_t>(dkey);
    if (!offset || *offset >= version.bytes.size())
        return {};
    // A longer section would be cut by the client's buffer and lost.
    return version.bytes.substr(*offset, std::min(version.sectionSize, kMaxSectionSize));
}

}  // namespace

std::string unknownSubscriberMessage() {
    return cp("Абонент не найден: проверьте код подписки или обратитесь в службу поддержки.");
}

std::string newVersionMessage(int version) {
    return cp("Вышла новая версия программы (") + std::to_string(version) +
           cp(".0). Сейчас она будет загружена и установлена.");
}

std::optional<std::string> decodeIdentifier(std::string_view id, std::string_view time) {
    const int key = protocol::identifierKey(time);
    std::string decoded;
    while (!id.empty()) {
        const size_t bar = id.find('|');
        if (bar == std::string_view::npos)
            return std::nullopt;
        const auto v = number<int>(id.substr(0, bar));
        if (!v || *v % 2 != 0)
            return std::nullopt;
        const int s = *v / 2 - key;
        if (s < -128 || s > 127)
            return std::nullopt;
        decoded += static_cast<char>(s);
        id.remove_prefix(bar + 1);
    }
    return decoded;
}

std::set<int64_t> parseKeys(std::string_view dkey) {
    std::set<int64_t> keys;
    while (!dkey.empty()) {
        const size_t comma = dkey.find(',');
        if (const auto key = number<int64_t>(dkey.substr(0, comma)))
            keys.insert(*key);
        if (comma == std::string_view::npos)
            break;
        dkey.remove_prefix(comma + 1);
    }
    return keys;
}

std::string frame(std::string_view message, std::string_view payload) {
    std::string body;
    body.reserve(message.size() + payload.size() + 80);
    if (!message.empty()) {
        body += protocol::kMessageStart;
        body += message;
        body += protocol::kMessageEnd;
    }
    body += '\0';
    body += protocol::kReplyOpening;
    body += payload;
    body += protocol::kReplyClosing;
    return body;
}

std::string sqlText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string loginScript(const Catalogue& catalogue, const std::set<int64_t>& held) {
    // Nothing new gives an empty script, so that the client skips the commit
    // that would close its open lists for nothing.
    std::string script;
    for (const auto& p : catalogue.programmes) {
        if (held.count(p.key))
            continue;
        if (script.empty())
            script = kLineEnd;
        script += programmeInsert(p);
        script += kLineEnd;
    }
    return script;
}

std::string itemsScript(const CatalogueProgramme& p) {
    std::string script(kLineEnd);
    const std::string head =
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, "
        "ANONS) VALUES (" +
        std::to_string(p.key) + ", ";
    for (const auto& i : p.items) {
        script += head + sqlText(i.date) + ", " + sqlText(i.time) + ", " + sqlText(i.title) + ", " +
                  sqlText(i.type) + ", " + sqlText(i.name) + ", " + sqlText(i.anons) + ");";
        script += kLineEnd;
    }
    return script;
}

std::string sokrScript() {
    // find text, type to assign, zone (0 outside quotes, 1 inside, 2 whole
    // line), action (0 none, D delete, N type only, " drop the quotes).
    struct Rule {
        const char* find;
        const char* type;
        char zone;
        char action;
    };
    static const Rule kRules[] = {
        {"Х/ф", "Х/ф", '0', '0'},
        {"Художественный фильм", "Х/ф", '0', '0'},
        {"Сериал", "Т/с", '0', '0'},
        {"Т/с", "Т/с", '0', '0'},
        {"Телесериал", "Т/с", '0', '0'},
        {"Мультсериал", "М/с", '0', '0'},
        {"М/с", "М/с", '0', '0'},
        {"М/ф", "М/ф", '0', '0'},
        {"Мультфильм", "М/ф", '0', '0'},
        {"Д/ф", "Д/ф", '0', '0'},
        {"Документальный фильм", "Д/ф", '0', '0'},
        {"Д/с", "Д/с", '0', '0'},
        {"Документальный сериал", "Д/с", '0', '0'},
        {"Ток-шоу", "Ток-шоу", '0', '"'},
        {"Телеигра", "Телеигра", '0', '"'},
        {"Концерт", "Концерт", '0', '0'},
        {"Новости", "Новости", '2', 'N'},
        {"\"Вести\"", "Новости", '1', 'N'},
        {"Погода", "Погода", '2', 'N'},
        {"Футбол", "Футбол", '2', '0'},
        {"Хоккей", "Хоккей", '2', '0'},
        {"Биатлон", "Биатлон", '2', '0'},
        {"Теннис", "Теннис", '2', '0'},
        {"Спокойной ночи, малыши!", "Для детей", '1', '"'},
        {"\"Улицы разбитых фонарей\":", "Т/с", '2', 'D'},
    };
    std::string script(kLineEnd);
    script += "DELETE FROM SOKR;";
    script += kLineEnd;
    int prior = 1;
    for (const Rule& r : kRules) {
        script += "INSERT INTO SOKR (FIND_TYPE, SP_TYPE, PRIOR, DEYSTVIE, ZONE_FIND) VALUES (" +
                  sqlText(cp(r.find)) + ", " + sqlTextOrNull(cp(r.type)) + ", " +
                  std::to_string(prior++) + ", " + sqlText(std::string(1, r.action)) + ", " +
                  sqlText(std::string(1, r.zone)) + ");";
        script += kLineEnd;
    }
    return script;
}

std::string loginMessage(const Catalogue& catalogue, std::string_view prog) {
    std::string message = catalogue.message;
    if (catalogue.newVersion && catalogue.newVersion->version > number<int>(prog).value_or(0)) {
        if (!message.empty())
            message += "\r\n";
        message += newVersionMessage(catalogue.newVersion->version);
    }
    return message;
}

void checkRepliesFit(const Catalogue& catalogue) {
    // The client runs a script only up to its first zero byte and reads the
    // message only up to one, so neither may hold one.
    const auto hasZero = [](const std::string& text) {
        return text.find('\0') != std::string::npos;
    };
    const std::string listing = loginScript(catalogue, {});
    if (listing.size() > kMaxPayload) {
        throw CatalogueError("the login listing of all " +
                             std::to_string(catalogue.programmes.size()) +
                             " programmes is longer than one reply can carry (" +
                             std::to_string(kMaxPayload) + " bytes)");
    }
    if (hasZero(listing))
        throw CatalogueError("programmes.tsv: a zero byte in a programme's fields");
    for (const auto& p : catalogue.programmes) {
        const bool tab = p.types == "TAB";
        const std::string script = tab ? itemsScript(p) : std::string();
        const size_t size = tab ? script.size() : p.content.size();
        const std::string name = "programme " + std::to_string(p.key);
        if (size > kMaxPayload) {
            throw CatalogueError(name + ": its reply of " + std::to_string(size) +
                                 " bytes is longer than one reply can carry (" +
                                 std::to_string(kMaxPayload) + " bytes)");
        }
        if (hasZero(script))
            throw CatalogueError(name + ": a zero byte in its items");
    }
    // The oldest client version is offered the notice too.
    const std::string message = loginMessage(catalogue, "0");
    if (message.size() > kMaxMessage) {
        throw CatalogueError("message.txt: the login message is longer than the client reads (" +
                             std::to_string(kMaxMessage) + " bytes with the new-version notice)");
    }
    if (hasZero(message))
        throw CatalogueError("message.txt: a zero byte in the message");
}

ServiceReply answer(const Catalogue& catalogue, std::string_view requestName,
                    const RequestParams& params) {
    ServiceReply reply;
    const bool login = requestName == "login";
    if (!login && requestName != "getprogram" && requestName != "sokr" &&
        requestName != "newversion") {
        reply.status = 404;
        reply.body = frame("", "");
        return reply;
    }
    if (!knownSubscriber(catalogue, params)) {
        reply.body = frame(unknownSubscriberMessage(), "");
        return reply;
    }
    if (login) {
        reply.body = frame(loginMessage(catalogue, params.prog),
                           loginScript(catalogue, parseKeys(params.dkey)));
    } else if (requestName == "getprogram") {
        const auto key = number<int64_t>(params.dkey);
        const CatalogueProgramme* p = key ? catalogue.find(*key) : nullptr;
        std::string payload;
        if (p)
            payload = p->types == "TAB" ? itemsScript(*p) : p->content;
        reply.body = frame("", payload);
    } else if (requestName == "sokr") {
        reply.body = frame("", sokrScript());
    } else {
        reply.body =
            frame("", catalogue.newVersion ? newVersionSection(*catalogue.newVersion, params.dkey)
                                           : std::string());
    }
    return reply;
}

}  // namespace mirvaly::reference
