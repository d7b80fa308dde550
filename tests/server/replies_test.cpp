#include "server/replies.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/codec.h"
#include "service/exchange_protocol.h"

namespace mirvaly::reference {
namespace {

TEST(DecodeIdentifier, InvertsTheClientEncoding) {
    const std::string ids[] = {"demo", "", cp("Абонент-7"), std::string("\x80\xFF\x01\x7F", 4)};
    for (const std::string time : {"1765432100", "1765432107", "1765432199"}) {
        for (const std::string& id : ids) {
            const std::string encoded =
                protocol::encodeIdentifier(id, protocol::identifierKey(time));
            EXPECT_EQ(decodeIdentifier(encoded, time), id) << encoded;
        }
    }
}

TEST(DecodeIdentifier, RefusesMalformedEncodings) {
    for (const char* id : {"194", "195|", "abc|", "194||", "-258|", "256|", "|"}) {
        EXPECT_EQ(decodeIdentifier(id, "1765432100"), std::nullopt) << id;
    }
}

TEST(ParseKeys, SkipsWhatIsNotANumber) {
    EXPECT_EQ(parseKeys(""), (std::set<int64_t>{}));
    EXPECT_EQ(parseKeys("5,3,x,,7"), (std::set<int64_t>{3, 5, 7}));
}

TEST(SqlText, DoublesQuotes) {
    EXPECT_EQ(sqlText("it's"), "'it''s'");
    EXPECT_EQ(sqlText(""), "''");
    EXPECT_EQ(sqlText("\"a;b\""), "'\"a;b\"'");
}

// What the client makes of a reply body behind a status line and headers of
// the shortest length the service sends.
protocol::ResponseMeaning clientView(const std::string& body) {
    return protocol::interpretResponse(std::string(206, 'h') + body);
}

TEST(Frame, PayloadSurvivesTheClientsFramingByteForByte) {
    const std::string open(protocol::kReplyOpening), close(protocol::kReplyClosing);
    const std::string payloads[] = {
        "",
        "\r\nINSERT INTO SOKR VALUES (1);\r\n",
        std::string("zero\0bytes\xFF", 11),
        "MsG>not a message<MsG and <MsG again",
        "holds " + close + " and " + open + " itself",
    };
    for (const std::string& payload : payloads) {
        const auto m = clientView(frame("", payload));
        EXPECT_EQ(m.kind, protocol::ResponseMeaning::Kind::Framed);
        EXPECT_EQ(m.message, "");
        EXPECT_EQ(m.reply, payload);
    }
    const auto withMessage = clientView(frame(cp("Привет"), "X<MsG"));
    EXPECT_EQ(withMessage.message, cp("Привет"));
    EXPECT_EQ(withMessage.reply, "X<MsG");
}

CatalogueProgramme tabProgramme() {
    CatalogueProgramme p;
    p.key = 1700000100;
    p.date = "07.12.2026";
    p.channel = cp("Первый канал");
    p.variant = "R";
    p.category = cp("Для газет");
    p.num = 1;
    p.shiftTime = 0;
    p.counts = 2;
    p.types = "TAB";
    p.items = {{"07.12.2026", "9.30", cp("Х/ф \"Война и мир\". 1-я серия"), cp("Х/ф"),
                cp("\"Война и мир\". 1-я серия"), ""},
               {"07.12.2026", "21:00", cp("\"ВРЕМЯ\""), "", cp("\"ВРЕМЯ\""), "it's"}};
    return p;
}

Catalogue sampleCatalogue() {
    Catalogue c;
    c.programmes.push_back(tabProgramme());
    CatalogueProgramme text;
    text.key = 1700000200;
    text.date = "08.12.2026";
    text.channel = "NTV";
    text.variant = "A";
    text.types = "TXT";
    text.content = std::string("line 1\r\nline\0 2", 15);
    c.programmes.push_back(text);
    c.subscribers = {"demo"};
    return c;
}

RequestParams params(const std::string& dkey, const std::string& id = "demo") {
    RequestParams p;
    p.time = "1765432107";
    p.id = protocol::encodeIdentifier(id, 7);
    p.prog = "17";
    p.dkey = dkey;
    return p;
}

TEST(Answer, LoginListsTheProgrammesNotHeld) {
    const Catalogue c = sampleCatalogue();
    const auto all = clientView(answer(c, "login", params("")).body);
    EXPECT_NE(
        all.reply.find("VALUES (1700000100, '07.12.2026', '" + cp("Первый канал") +
                       "', 'R', NULL, NULL, '" + cp("Для газет") + "', 1, 0, NULL, 2, 'TAB');"),
        std::string::npos)
        << all.reply;
    EXPECT_NE(all.reply.find("VALUES (1700000200, "), std::string::npos);
    const auto rest = clientView(answer(c, "login", params("1700000100,99")).body);
    EXPECT_EQ(rest.reply.find("1700000100"), std::string::npos);
    EXPECT_NE(rest.reply.find("1700000200"), std::string::npos);
    const auto none = clientView(answer(c, "login", params("1700000200,1700000100")).body);
    EXPECT_EQ(none.reply, "");
    EXPECT_EQ(none.message, "");
}

TEST(Answer, UnknownSubscriberGetsAMessageAndAnEmptyScript) {
    const Catalogue c = sampleCatalogue();
    for (const char* request : {"login", "getprogram", "sokr"}) {
        const auto m = clientView(answer(c, request, params("1700000100", "stranger")).body);
        EXPECT_EQ(m.message, unknownSubscriberMessage()) << request;
        EXPECT_EQ(m.reply, "") << request;
    }
    RequestParams garbled = params("");
    garbled.id = "1|";
    EXPECT_EQ(clientView(answer(c, "login", garbled).body).message, unknownSubscriberMessage());
}

TEST(Answer, LoginAnnouncesOnlyANewerVersion) {
    Catalogue c = sampleCatalogue();
    c.message = cp("Плановые работы в воскресенье.");
    c.newVersion = NewVersion{18, "EXE", 2};
    const auto older = clientView(answer(c, "login", params("")).body);
    EXPECT_EQ(older.kind, protocol::ResponseMeaning::Kind::NewVersion);
    EXPECT_NE(older.message.find(c.message), std::string::npos);
    EXPECT_NE(older.message.find(cp("Вышла новая версия")), std::string::npos);

    RequestParams current = params("");
    current.prog = "18";
    const auto same = clientView(answer(c, "login", current).body);
    EXPECT_EQ(same.kind, protocol::ResponseMeaning::Kind::Framed);
    EXPECT_EQ(same.message, c.message);
}

TEST(Answer, GetprogramGivesItemsAsAScriptAndContentAsItIs) {
    const Catalogue c = sampleCatalogue();
    const auto tab = clientView(answer(c, "getprogram", params("1700000100")).body);
    const std::string head =
        "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES (";
    EXPECT_EQ(tab.reply, "\r\n" + head + "1700000100, '07.12.2026', '9.30', '" +
                             cp("Х/ф \"Война и мир\". 1-я серия") + "', '" + cp("Х/ф") + "', '" +
                             cp("\"Война и мир\". 1-я серия") + "', '');\r\n" + head +
                             "1700000100, '07.12.2026', '21:00', '" + cp("\"ВРЕМЯ\"") + "', '', '" +
                             cp("\"ВРЕМЯ\"") + "', 'it''s');\r\n");
    const auto text = clientView(answer(c, "getprogram", params("1700000200")).body);
    EXPECT_EQ(text.reply, c.programmes[1].content);
    for (const char* key : {"1", "", "abc"}) {
        EXPECT_EQ(clientView(answer(c, "getprogram", params(key)).body).reply, "") << key;
    }
}

TEST(Answer, NewversionSendsSectionsFromTheOffset) {
    Catalogue c = sampleCatalogue();
    c.newVersion = NewVersion{18, std::string("ABCDE\0G", 7), 3};
    struct Case {
        std::string dkey, section;
    };
    const Case cases[] = {
        {"0", "ABC"}, {"3", std::string("DE\0", 3)}, {"6", "G"}, {"7", ""}, {"100", ""}, {"x", ""}};
    for (const Case& k : cases) {
        EXPECT_EQ(clientView(answer(c, "newversion", params(k.dkey)).body).reply, k.section)
            << k.dkey;
    }
    c.newVersion.reset();
    EXPECT_EQ(clientView(answer(c, "newversion", params("0")).body).reply, "");
}

TEST(Answer, UnknownRequestIs404) {
    EXPECT_EQ(answer(sampleCatalogue(), "other", params("")).status, 404);
    EXPECT_EQ(answer(sampleCatalogue(), "sokr", params("")).status, 200);
}

TEST(CheckRepliesFit, RefusesCataloguesWhoseRepliesTheClientWouldCutOrMiss) {
    struct Case {
        const char* name;
        std::function<void(Catalogue&)> change;
        std::string refusal;  // empty: accepted
    };
    const Case cases[] = {
        {"sample", [](Catalogue&) {}, ""},
        {"content of the largest payload",
         [](Catalogue& c) { c.programmes[1].content.assign(kMaxPayload, 'x'); }, ""},
        {"content one byte longer",
         [](Catalogue& c) { c.programmes[1].content.assign(kMaxPayload + 1, 'x'); },
         "programme 1700000200"},
        {"items script too long",
         [](Catalogue& c) { c.programmes[0].items[0].anons.assign(kMaxPayload, 'a'); },
         "programme 1700000100"},
        {"login listing too long",
         [](Catalogue& c) {
             CatalogueProgramme p = c.programmes[1];
             p.channel.assign(100, 'c');
             for (int i = 0; i < 8000; ++i) {
                 p.key = 1800000000 + i;
                 c.programmes.push_back(p);
             }
         },
         "login listing"},
        {"zero byte in an item",
         [](Catalogue& c) { c.programmes[0].items[1].title += std::string("\0tail", 5); },
         "programme 1700000100: a zero byte"},
        {"zero byte in a programme field",
         [](Catalogue& c) { c.programmes[1].channel += std::string("\0", 1); }, "zero byte"},
        {"zero bytes in content are delivered as they are",
         [](Catalogue& c) { c.programmes[1].content = std::string("a\0b", 3); }, ""},
        {"zero byte in the message", [](Catalogue& c) { c.message = std::string("hi\0there", 8); },
         "message.txt: a zero"},
        {"message of the largest size", [](Catalogue& c) { c.message.assign(kMaxMessage, 'm'); },
         ""},
        {"that message with a new version",
         [](Catalogue& c) {
             c.message.assign(kMaxMessage, 'm');
             c.newVersion = NewVersion{18, "EXE", 2};
         },
         "message.txt"},
    };
    for (const Case& k : cases) {
        Catalogue c = sampleCatalogue();
        k.change(c);
        try {
            checkRepliesFit(c);
            EXPECT_EQ(k.refusal, "") << k.name << ": accepted";
        } catch (const CatalogueError& e) {
            EXPECT_NE(k.refusal, "") << k.name << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(k.refusal), std::string::npos)
                << k.name << ": " << e.what();
        }
    }
}

TEST(SokrScript, EmptiesTheTableThenInsertsRulesInOrder) {
    const std::string script = sokrScript();
    EXPECT_EQ(script.rfind("\r\nDELETE FROM SOKR;\r\nINSERT INTO SOKR", 0), 0u);
    // Every statement on its own line, ended by ";".
    size_t lines = 0;
    for (size_t at = 2; at < script.size(); ++lines) {
        const size_t end = script.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(script[end - 1], ';');
        at = end + 2;
    }
    EXPECT_GE(lines, 20u);
    EXPECT_NE(script.find("VALUES ('" + cp("Х/ф") + "', '" + cp("Х/ф") + "', 1, '0', '0');"),
              std::string::npos);
}

}  // namespace
}  // namespace mirvaly::reference
