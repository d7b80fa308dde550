#pragma once

// Fixtures of the refresh tests: a scripted service on two loopback ports, a
// status log that records, the main window's part over a real programme
// list, and the statements the scripted replies are made of.

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window_hooks.h"
#include "app/programme_list.h"
#include "common/codec.h"
#include "common/status_log.h"
#include "service/exchange_protocol.h"
#include "tests/support/loopback_server.h"

namespace mirvaly::test {

// What the scripted service answers to one request.
struct Answer {
    Answer(std::string payload = {}, std::string message = {}, bool drop = false,
           std::chrono::milliseconds delay = {})
        : payload(std::move(payload)), message(std::move(message)), drop(drop), delay(delay) {}
    std::string payload;  // the reply script or content, framed by the markers
    std::string message;  // a message block, when not empty
    bool drop = false;    // close the connection without a byte
    // Waits this long before answering (while the client holds on).
    std::chrono::milliseconds delay{0};
};

// Two hosts (two loopback ports) with one table of answers: keyed by
// "name:dkey", else by "name"; anything else gets an empty reply. Every
// request is recorded as "name:dkey".
class ScriptedService {
public:
    ScriptedService()
        : m_primary([this](LoopbackConnection& c) { serve(c); }),
          m_alternate([this](LoopbackConnection& c) { serve(c); }) {}

    void set(const std::string& key, Answer answer) {
        std::lock_guard lock(m_mutex);
        m_answers[key] = std::move(answer);
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    std::string primary() const { return m_primary.hostAndPort(); }
    std::string alternate() const { return m_alternate.hostAndPort(); }

private:
    void serve(LoopbackConnection& c) {
        const std::string request = c.readRequest();
        const size_t slash = request.find('/', request.find("//") + 2);
        const size_t dot = request.find(".php", slash);
        const std::string name = request.substr(slash + 1, dot - slash - 1);
        const std::string marker = "name=\"dkey\"\r\n\r\n";
        const size_t start = request.find(marker) + marker.size();
        const size_t end = request.rfind("\r\n--" + std::string(protocol::kRequestBoundary));
        const std::string dkey = request.substr(start, end - start);
        Answer answer;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(name + ":" + dkey);
            auto it = m_answers.find(name + ":" + dkey);
            if (it == m_answers.end())
                it = m_answers.find(name);
            if (it != m_answers.end())
                answer = it->second;
        }
        if (answer.delay.count() > 0 && c.waitForPeerClose(answer.delay))
            return;
        if (answer.drop)
            return;
        std::string body = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
        if (!answer.message.empty())
            body += "MsG>" + answer.message + "<MsG";
        body += '\0';
        body += protocol::kReplyOpening;
        body += answer.payload;
        body += protocol::kReplyClosing;
        c.send(body);
    }

    mutable std::mutex m_mutex;
    std::map<std::string, Answer> m_answers;
    std::vector<std::string> m_requests;
    LoopbackServer m_primary;
    LoopbackServer m_alternate;
};

class RecordingStatus : public StatusLog {
public:
    std::vector<std::string> lines;
    std::vector<std::pair<int, int>> progress;
    void clear() override { lines.clear(); }
    void addLine(const std::string& line) override { lines.push_back(line); }
    void setProgress(int done, int total) override { progress.emplace_back(done, total); }
};

// The main window's part in a refresh, over the real programme list.
class ListHost : public ProgrammeListHost {
public:
    ListHost(Database& db, StatusLog& log) : list(db), m_log(log) {}
    ProgrammeList& programmeList() override { return list; }
    void refilter() override {
        ++refilters;
        list.filter();
    }
    void restoreListPosition() override { list.restorePosition(); }
    std::vector<int> markedRows() const override { return {}; }
    StatusLog& statusLog() override { return m_log; }
    void setWindowTitle1251(const std::string& text) override { title = text; }

    ProgrammeList list;
    std::string title;
    int refilters = 0;

private:
    StatusLog& m_log;
};

inline std::string programmeRow(int64_t key, const std::string& date, const std::string& channel,
                                const std::string& types, const std::string& variant = "R") {
    return "INSERT INTO PROGRAM (DATEKEY, DATEPROG, CHENELID, VARIANT, TYPES) VALUES (" +
           std::to_string(key) + ", '" + date + "', '" + channel + "', '" + variant + "', '" +
           types + "');\r\n";
}

inline std::string itemRow(int64_t key, const std::string& title) {
    return "INSERT INTO P (DATEKEY, DATEPROG, EFIRTIME, TEXT, TYPES, NAME, ANONS) VALUES (" +
           std::to_string(key) + ", '07.12.2026', '9.30', '" + title + "', 'x', 'n', '');\r\n";
}

inline std::string noConnectionText(const std::string& host) {
    return cp("Сервер: [") + host + cp("] недоступен, попробуйте нажать ОБНОВИТЬ еще раз.");
}

}  // namespace mirvaly::test
