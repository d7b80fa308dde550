#include "service/exchange_protocol.h"

#include <gtest/gtest.h>

#include "common/codec.h"

namespace mirvaly::protocol {
namespace {

TEST(TimeValue, DecimalWithoutSignOrPadding) {
    EXPECT_EQ(timeValue(1765432107), "1765432107");
    EXPECT_EQ(timeValue(7), "7");
    EXPECT_EQ(timeValue(-5), "0");
}

TEST(IdentifierKey, LastTwoDigits) {
    EXPECT_EQ(identifierKey("1765432107"), 7);
    EXPECT_EQ(identifierKey("1765432100"), 0);
    EXPECT_EQ(identifierKey("1765432199"), 99);
    EXPECT_EQ(identifierKey("5"), 5);
}

TEST(EncodeIdentifier, TableOfBytesAndKeys) {
    struct Case {
        std::string id;
        int key;
        std::string expected;
    };
    const Case cases[] = {
        {"7", 42, "194|"},
        {"", 42, ""},
        {"demo", 0, "200|202|218|222|"},
        {"demo", 7, "214|216|232|236|"},
        // Bytes of 0x80 and above count as negative: 0xFF is -1, 0x80 is -128.
        {"\xFF", 0, "-2|"},
        {"\xFF", 7, "12|"},
        {"\x80", 0, "-256|"},
        {"\x80", 99, "-58|"},
        {cp("Ая"), 7, "-114|12|"},  // 0xC0 = -64, 0xFF = -1
        {std::string("a\0b", 3), 0, "194|0|196|"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeIdentifier(c.id, c.key), c.expected) << "key " << c.key;
    }
}

TEST(Base64, StandardAlphabetWithPadding) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64("user:pass"), "dXNlcjpwYXNz");
    EXPECT_EQ(base64("\xFF\xFE\xFD"), "//79");
    EXPECT_EQ(base64(std::string(60, 'a')).find('\n'), std::string::npos);
}

TEST(RequestBody, EmptyDkeyGives97Bytes) {
    const std::string body = requestBody("");
    EXPECT_EQ(body.size(), 97u);
    EXPECT_EQ(body,
              "--4PML8H13ON338QS041G\r\n"
              "Content-Disposition: form-data; name=\"dkey\"\r\n\r\n"
              "\r\n--4PML8H13ON338QS041G--\r\n");
}

TConnectHTTP& sampleRecord(TConnectHTTP& c) {
    c.Host = "tv.example.net";
    c.RequestName = "login";
    c.ProgVersion = "17";
    c.SubscriberId = "7";
    return c;
}

TEST(BuildRequest, GoldenBytesWithoutProxyUser) {
    TConnectHTTP c;
    sampleRecord(c);
    c.ProxyPassword = "secret";  // a password without a user sends no line
    EXPECT_EQ(buildRequest(c, "1765432142"),
              "POST http://tv.example.net/login.php?id=194|&prog=17&time=1765432142 HTTP/1.0\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n"
              "Accept: */*\r\n"
              "Host: tv.example.net\r\n"
              "Referer: http://tv.example.net\r\n"
              "Content-Type: multipart/form-data; boundary=4PML8H13ON338QS041G\r\n"
              "Content-Length: 97\r\n"
              "\r\n"
              "--4PML8H13ON338QS041G\r\n"
              "Content-Disposition: form-data; name=\"dkey\"\r\n\r\n"
              "\r\n--4PML8H13ON338QS041G--\r\n");
}

TEST(BuildRequest, GoldenBytesWithProxyUserAndDkey) {
    TConnectHTTP c;
    sampleRecord(c);
    c.Host = "127.0.0.1:8080";
    c.RequestName = "getprogram";
    c.SubscriberId = "";
    c.ProxyUser = "user";
    c.ProxyPassword = "pass";  // sent even without a proxy host
    c.DKey = "1700000000,1700000001";
    EXPECT_EQ(buildRequest(c, "1765432100"),
              "POST http://127.0.0.1:8080/getprogram.php?id=&prog=17&time=1765432100 "
              "HTTP/1.0\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\r\n"
              "Accept: */*\r\n"
              "Host: 127.0.0.1:8080\r\n"
              "Referer: http://127.0.0.1:8080\r\n"
              "Content-Type: multipart/form-data; boundary=4PML8H13ON338QS041G\r\n"
              "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n"
              "Content-Length: 118\r\n"
              "\r\n"
              "--4PML8H13ON338QS041G\r\n"
              "Content-Disposition: form-data; name=\"dkey\"\r\n\r\n"
              "1700000000,1700000001\r\n--4PML8H13ON338QS041G--\r\n");
}

TEST(BuildRequest, BytesPassUnencoded) {
    TConnectHTTP c;
    sampleRecord(c);
    c.DKey = std::string("a b\0\xFF", 5);
    const std::string request = buildRequest(c, "1765432100");
    EXPECT_NE(request.find("Content-Length: 102\r\n\r\n"), std::string::npos);
    EXPECT_NE(request.find(std::string("\r\n\r\na b\0\xFF\r\n--", 13)), std::string::npos);
}

TEST(ChooseTarget, PortAndHostRules) {
    struct Case {
        std::string host, proxyHost, proxyPort;
        TargetError error;
        std::string targetHost;
        uint16_t port;
    };
    const Case cases[] = {
        {"svc.example", "", "", TargetError::None, "svc.example", 80},
        {"svc.example", "", "8", TargetError::None, "svc.example", 80},  // one character: ignored
        {"svc.example", "", "80", TargetError::None, "svc.example", 80},
        {"svc.example", "", "8080", TargetError::None, "svc.example", 8080},  // port without proxy
        {"svc.example", "p", "", TargetError::None, "svc.example", 80},  // one character: ignored
        {"svc.example", "proxy.lan", "", TargetError::None, "proxy.lan", 80},
        {"svc.example", "10.0.0.1", "3128", TargetError::None, "10.0.0.1", 3128},
        {"127.0.0.1:8081", "", "", TargetError::None, "127.0.0.1", 8081},
        {"127.0.0.1:8081", "", "3128", TargetError::None, "127.0.0.1", 3128},
        {"127.0.0.1:8081", "proxy.lan", "", TargetError::None, "proxy.lan", 80},
        {"svc.example:abc", "", "", TargetError::None, "svc.example:abc", 80},
        {"svc.example", "proxy.lan", "abc", TargetError::BadProxyPort, "", 0},
        {"svc.example", "", "80a", TargetError::BadProxyPort, "", 0},
        {"svc.example", "proxy.lan", "70000", TargetError::BadProxyPort, "", 0},
        {"svc.example", "proxy.lan", "00", TargetError::BadProxyPort, "", 0},
        {"svc.example", "proxy.lan", " 8080", TargetError::BadProxyPort, "", 0},
    };
    for (const Case& c : cases) {
        TConnectHTTP record;
        record.Host = c.host;
        record.ProxyHost = c.proxyHost;
        record.ProxyPort = c.proxyPort;
        const TargetChoice choice = chooseTarget(record);
        SCOPED_TRACE(c.host + " | " + c.proxyHost + " | " + c.proxyPort);
        EXPECT_EQ(choice.error, c.error);
        if (c.error == TargetError::None) {
            EXPECT_EQ(choice.target.host, c.targetHost);
            EXPECT_EQ(choice.target.port, c.port);
        }
    }
}

TEST(BadProxyPortText, NamesTheSettingsItem) {
    const std::string text = badProxyPortText("abc");
    EXPECT_NE(text.find(cp("Настройка соединения")), std::string::npos);
    EXPECT_NE(text.find("abc"), std::string::npos);
}

const std::string kOpen(kReplyOpening);
const std::string kClose(kReplyClosing);

TEST(FrameReply, Cases) {
    struct Case {
        const char* name;
        std::string response, expected;
    };
    const Case cases[] = {
        {"one section", "HTTP/1.1 200 OK\r\n\r\n" + kOpen + "\r\nSELECT 1;\r\n" + kClose + "\r\n",
         "\r\nSELECT 1;\r\n"},
        {"two sections", "head" + kOpen + "A" + kClose + "mid" + kOpen + "B" + kClose + "tail",
         "A" + kClose + "mid" + kOpen + "B"},
        {"no markers", "HTTP/1.1 404 Not Found\r\n\r\nnothing here", ""},
        {"only a closing marker", "head" + kClose + "tail", ""},
        {"only an opening marker", "head" + kOpen + "body", ""},
        {"empty section", kOpen + kClose, ""},
        {"zero bytes kept", kOpen + std::string("a\0b", 3) + kClose, std::string("a\0b", 3)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameReply(c.response), c.expected) << c.name;
}

TEST(MessageBlock, Cases) {
    struct Case {
        const char* name;
        std::string response, expected;
    };
    const std::string longHead(2100, 'x');
    const Case cases[] = {
        {"block", "HTTP/1.1 200 OK\r\n\r\nMsG>Hello there<MsG" + kOpen, "Hello there"},
        {"none", "HTTP/1.1 200 OK\r\n\r\nplain", ""},
        {"empty block", "MsG><MsG", ""},
        {"end before start", "<MsG text MsG>", ""},
        {"start without end", "abc MsG>text", ""},
        // Without "MsG>" the text runs from the fourth character to "<MsG".
        {"end without start", "HTTP/1.1 200 OK text<MsG", "P/1.1 200 OK text"},
        {"stops at a zero byte", std::string("MsG>ab\0c<MsG", 12), ""},
        {"only the first 2048 bytes", longHead + "MsG>late<MsG", ""},
        {"block straddling 2048", std::string(2040, 'x') + "MsG>abcdefgh<MsG", ""},
        {"first markers win", "MsG>one<MsG MsG>two<MsG", "one"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messageBlock(c.response), c.expected) << c.name;
}

TEST(ProxyRefusal, Within200BytesAfterTheFirst) {
    EXPECT_TRUE(isProxyRefusal("HTTP/1.0 407 Proxy Authentication Required\r\n"));
    EXPECT_FALSE(isProxyRefusal("HTTP/1.0 200 OK\r\n\r\n"));
    EXPECT_FALSE(isProxyRefusal(" 407 rest"));  // starts at the first byte: outside
    EXPECT_TRUE(isProxyRefusal("x 407 rest"));
    std::string late(196, 'x');
    EXPECT_TRUE(isProxyRefusal(late + " 407 "));  // bytes 196..200
    late += 'x';
    EXPECT_FALSE(isProxyRefusal(late + " 407 "));  // ends at byte 201
}

TEST(InterpretResponse, ProxyRefusalSkipsTheMessage) {
    const std::string response = "HTTP/1.0 407 Proxy Authentication Required\r\n\r\nMsG>hi<MsG";
    const ResponseMeaning m = interpretResponse(response);
    EXPECT_EQ(m.kind, ResponseMeaning::Kind::ProxyRefusal);
    EXPECT_EQ(m.message, "");
    EXPECT_EQ(m.reply, response);
}

TEST(InterpretResponse, NewVersionNoticeKeepsTheRawResponse) {
    const std::string message = cp("Внимание! Вышла новая версия программы.");
    const std::string response =
        "HTTP/1.1 200 OK\r\n\r\nMsG>" + message + "<MsG" + kOpen + "\r\nX;\r\n" + kClose;
    const ResponseMeaning m = interpretResponse(response);
    EXPECT_EQ(m.kind, ResponseMeaning::Kind::NewVersion);
    EXPECT_EQ(m.message, message);
    EXPECT_EQ(m.reply, response);
}

TEST(InterpretResponse, MessageWithoutBoundaryGivesEmptyScript) {
    const ResponseMeaning m = interpretResponse("HTTP/1.1 200 OK\r\n\r\nMsG>note<MsG");
    EXPECT_EQ(m.kind, ResponseMeaning::Kind::Framed);
    EXPECT_EQ(m.message, "note");
    EXPECT_EQ(m.reply, "");
}

}  // namespace
}  // namespace mirvaly::protocol
