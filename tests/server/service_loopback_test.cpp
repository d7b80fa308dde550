// The reference service over loopback, asked by the client's own exchange,
// with its reply scripts executed by the store's script runner into a real
// database.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "common/codec.h"
#include "server/generator.h"
#include "server/reference_service.h"
#include "server/replies.h"
#include "service/exchange.h"
#include "service/exchange_protocol.h"
#include "service/posix_transport.h"
#include "store/script_runner.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_database.h"

namespace mirvaly::reference {
namespace {

using namespace std::chrono_literals;

Catalogue smallWeek() {
    GeneratorOptions o;
    o.channels = 4;
    o.days = 7;
    o.itemsPerDay = 6;
    o.seed = 3;
    o.startYear = 2026, o.startMonth = 12, o.startDay = 7;
    return generateCatalogue(o);
}

// The service on a free loopback port, served from a thread of its own.
class RunningService {
public:
    explicit RunningService(Catalogue catalogue) : m_service(std::move(catalogue)) {
        port = m_service.bind("127.0.0.1", 0);
        if (port <= 0)
            throw std::runtime_error("cannot bind the reference service");
        m_thread = std::thread([this] { m_service.listen(); });
        for (int i = 0; i < 500 && !m_service.isRunning(); ++i)
            std::this_thread::sleep_for(10ms);
    }
    ~RunningService() {
        m_service.stop();
        m_thread.join();
    }
    int port = 0;

private:
    ReferenceService m_service;
    std::thread m_thread;
};

class ReferenceServiceTest : public ::testing::Test {
protected:
    explicit ReferenceServiceTest(Catalogue c = smallWeek())
        : catalogue(c), service(std::move(c)), exchange(transport, prompts) {
        transport.setConnectTimeout(5s);
        transport.setReceiveTimeout(10s);
        record.Host = "127.0.0.1:" + std::to_string(service.port);
        record.ProgVersion = "17";
        record.SubscriberId = "demo";
    }

    int ask(const std::string& name, const std::string& dkey) {
        record.RequestName = name;
        record.DKey = dkey;
        return exchange(record);
    }

    // Executes the reply as the refresh does: up to its first zero byte.
    void execute(const std::string& reply) {
        ScriptRunner runner(db.holder());
        const ScriptOutcome outcome = runner.run(reply.substr(0, reply.find('\0')));
        ASSERT_EQ(outcome.end, ScriptOutcome::End::Completed)
            << outcome.error << " at: " << outcome.stopStatement;
        db->commit();
    }

    std::string heldKeys() {
        std::string keys;
        for (const Row& row : db->query("select DATEKEY from PROGRAM order by DATEKEY").rows) {
            keys += (keys.empty() ? "" : ",") + row[0].asText();
        }
        return keys;
    }

    Catalogue catalogue;
    RunningService service;
    PosixTransport transport;
    test::ScriptedPrompts prompts;
    Exchange exchange;
    TConnectHTTP record;
    test::TempDatabase db;
};

TEST_F(ReferenceServiceTest, LoginInsertsTheMissingProgrammesWithNullStatus) {
    ASSERT_EQ(ask("login", ""), 1);
    execute(record.Reply);
    const QueryResult rows = db->query(
        "select DATEKEY, DATEPROG, CHENELID, VARIANT, FILENAME, SUBVARIANT, KATEGORY, NUM, "
        "SHIFTTIME, STATUS, COUNTS, TYPES from PROGRAM order by DATEKEY");
    ASSERT_EQ(rows.rows.size(), catalogue.programmes.size());
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const Row& r = rows.rows[i];
        const CatalogueProgramme& p = catalogue.programmes[i];
        SCOPED_TRACE(p.key);
        EXPECT_EQ(r[0].asInteger(), p.key);
        EXPECT_EQ(r[1].asText(), p.date);
        EXPECT_EQ(r[2].asText(), p.channel);
        EXPECT_EQ(r[3].asText(), p.variant);
        EXPECT_EQ(r[4].isNull(), p.fileName.empty());
        EXPECT_EQ(r[4].asText(), p.fileName);
        EXPECT_EQ(r[5].asText(), p.subvariant);
        EXPECT_EQ(r[6].asText(), p.category);
        EXPECT_EQ(r[7].asInteger(-1), p.num.value_or(-1));
        EXPECT_EQ(r[8].asInteger(-1), p.shiftTime.value_or(-1));
        EXPECT_TRUE(r[9].isNull());
        EXPECT_EQ(r[10].asInteger(-1), p.counts.value_or(-1));
        EXPECT_EQ(r[11].asText(), p.types);
    }

    // Holding them all, the next login lists nothing more.
    ASSERT_EQ(ask("login", heldKeys()), 1);
    EXPECT_EQ(record.Reply, "");
    EXPECT_EQ(db->query("select count(*) from PROGRAM").rows[0][0].asInteger(),
              static_cast<int64_t>(catalogue.programmes.size()));
    EXPECT_TRUE(prompts.recorded.empty());
}

TEST_F(ReferenceServiceTest, GetprogramDeliversItemsInOrderAndContentByteForByte) {
    ASSERT_EQ(ask("login", ""), 1);
    execute(record.Reply);
    int tab = 0, other = 0;
    for (const CatalogueProgramme& p : catalogue.programmes) {
        SCOPED_TRACE(p.key);
        ASSERT_EQ(ask("getprogram", std::to_string(p.key)), 1);
        if (p.types != "TAB") {
            EXPECT_EQ(record.Reply, p.content);
            ++other;
            continue;
        }
        execute(record.Reply);
        const QueryResult items = db->query(
            "select DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS from P where DATEKEY = ? "
            "order by ID",
            {Value::integer(p.key)});
        ASSERT_EQ(items.rows.size(), p.items.size());
        for (size_t i = 0; i < p.items.size(); ++i) {
            const Row& r = items.rows[i];
            EXPECT_EQ(r[0].asText(), p.items[i].date);
            EXPECT_EQ(r[1].asText(), p.items[i].time);
            EXPECT_EQ(r[2].asText(), p.items[i].title);
            EXPECT_EQ(r[3].asText(), p.items[i].type);
            EXPECT_EQ(r[4].asText(), p.items[i].name);
            EXPECT_EQ(r[5].asText(), p.items[i].anons);
        }
        ++tab;
    }
    EXPECT_GT(tab, 0);
    EXPECT_EQ(other, 3);  // two texts and a file
}

TEST_F(ReferenceServiceTest, SokrReplacesTheRulesWithTheStandardSet) {
    db->execute("insert into SOKR (FIND_TYPE, SP_TYPE, PRIOR) values ('mine', 'x', 99)");
    db->commit();
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(ask("sokr", ""), 1);
        execute(record.Reply);
    }
    const QueryResult rules =
        db->query("select FIND_TYPE, SP_TYPE, PRIOR, DEYSTVIE, ZONE_FIND from SOKR order by PRIOR");
    ASSERT_GE(rules.rows.size(), 20u);
    EXPECT_EQ(rules.rows[0][0].asText(), cp("Х/ф"));
    std::set<std::string> zones, actions;
    for (size_t i = 0; i < rules.rows.size(); ++i) {
        EXPECT_NE(rules.rows[i][0].asText(), "mine");
        EXPECT_EQ(rules.rows[i][2].asInteger(), static_cast<int64_t>(i + 1));
        actions.insert(rules.rows[i][3].asText());
        zones.insert(rules.rows[i][4].asText());
    }
    EXPECT_EQ(zones, (std::set<std::string>{"0", "1", "2"}));
    EXPECT_EQ(actions, (std::set<std::string>{"0", "D", "N", "\""}));
}

TEST_F(ReferenceServiceTest, UnknownSubscriberIsToldSo) {
    record.SubscriberId = cp("чужой");
    ASSERT_EQ(ask("login", ""), 1);
    EXPECT_EQ(record.Reply, "");
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].text, unknownSubscriberMessage());
    EXPECT_EQ(prompts.recorded[0].caption, cp("Сообщение."));
}

TEST_F(ReferenceServiceTest, RawReplyKeepsTheBodyOutOfTheProxyWindow) {
    record.RequestName = "sokr";
    const std::string request = protocol::buildRequest(record, "1765432100");
    const std::string response = test::rawExchange(static_cast<uint16_t>(service.port), request);
    ASSERT_EQ(response.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    const size_t body = response.find("\r\n\r\n") + 4;
    EXPECT_GT(body, 1 + protocol::kProxyRefusalWindow);
    EXPECT_EQ(response[body], '\0');
    EXPECT_EQ(response.compare(body + 1, protocol::kReplyOpening.size(), protocol::kReplyOpening),
              0);
    EXPECT_EQ(response.size() - body, frame("", sokrScript()).size());
}

Catalogue withNewVersion() {
    Catalogue c = smallWeek();
    std::string bytes(2500000, '\0');
    std::mt19937 random(5);
    for (char& b : bytes)
        b = static_cast<char>(random());
    c.newVersion = NewVersion{18, bytes, 1000000};
    return c;
}

class NewVersionTest : public ReferenceServiceTest {
protected:
    NewVersionTest() : ReferenceServiceTest(withNewVersion()) {}
};

TEST_F(NewVersionTest, LoginAnnouncesItAndSectionsRebuildTheFile) {
    ASSERT_EQ(ask("login", ""), 1);
    EXPECT_EQ(record.RequestName, "newversion");
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_NE(prompts.recorded[0].text.find(cp("Вышла новая версия")), std::string::npos);

    std::string file;
    std::vector<size_t> sections;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(ask("newversion", std::to_string(file.size())), 1);
        if (record.Reply.empty())
            break;
        sections.push_back(record.Reply.size());
        file += record.Reply;
    }
    EXPECT_EQ(sections, (std::vector<size_t>{1000000, 1000000, 500000}));
    EXPECT_TRUE(file == catalogue.newVersion->bytes);
    EXPECT_EQ(record.RequestName, "newversion");

    record.ProgVersion = "18";
    ASSERT_EQ(ask("login", ""), 1);
    EXPECT_EQ(record.RequestName, "login");
}

std::string randomBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (char& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

// A file programme of the largest payload, a login message of the largest
// size with the new-version notice, and a section setting above what one
// reply can carry.
Catalogue atTheLimits() {
    Catalogue c = smallWeek();
    CatalogueProgramme file;
    file.key = 1900000000;
    file.date = "07.12.2026";
    file.channel = "Limits";
    file.variant = "R";
    file.types = "FIL";
    file.fileName = "big.bin";
    file.content = randomBytes(kMaxPayload, 9);
    c.programmes.push_back(file);
    c.message.assign(kMaxMessage - 2 - newVersionMessage(18).size(), 'm');
    c.newVersion = NewVersion{18, randomBytes(2500000, 11), 3000000};
    return c;
}

class LimitsTest : public ReferenceServiceTest {
protected:
    LimitsTest() : ReferenceServiceTest(atTheLimits()) {}
};

TEST_F(LimitsTest, LargestPayloadAndMessageArriveWhole) {
    ASSERT_EQ(ask("login", ""), 1);
    EXPECT_EQ(record.RequestName, "newversion");
    ASSERT_EQ(prompts.recorded.size(), 1u);
    EXPECT_EQ(prompts.recorded[0].text, loginMessage(catalogue, "17"));
    EXPECT_EQ(prompts.recorded[0].text.size(), kMaxMessage);

    ASSERT_EQ(ask("getprogram", "1900000000"), 1);
    EXPECT_EQ(record.Reply.size(), kMaxPayload);
    EXPECT_TRUE(record.Reply == catalogue.programmes.back().content);
}

TEST_F(LimitsTest, SectionsStayWithinWhatTheClientReads) {
    std::string file;
    std::vector<size_t> sections;
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(ask("newversion", std::to_string(file.size())), 1);
        if (record.Reply.empty())
            break;
        sections.push_back(record.Reply.size());
        file += record.Reply;
    }
    EXPECT_EQ(sections, (std::vector<size_t>{kMaxSectionSize, 2500000 - kMaxSectionSize}));
    EXPECT_TRUE(file == catalogue.newVersion->bytes);
}

}  // namespace
}  // namespace mirvaly::reference
