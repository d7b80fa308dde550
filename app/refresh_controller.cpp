#include "app/refresh_controller.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>

#include "app/error_text.h"
#include "app/qt_text.h"

namespace mirvaly {
namespace {

std::string localeShortDate(const Date& date) {
    return fromQString(
        QLocale::system().toString(QDate(date.year, date.month, date.day), QLocale::ShortFormat));
}

}  // namespace

void ProgrammeListRefreshView::savePosition() {
    m_host.programmeList().savePosition();
}

void ProgrammeListRefreshView::closeList() {
    m_host.programmeList().close();
}

void ProgrammeListRefreshView::refilter() {
    m_host.refilter();
}

void ProgrammeListRefreshView::restorePosition() {
    m_host.restoreListPosition();
}

void ProgrammeListRefreshView::setWindowTitle(const std::string& title) {
    m_host.setWindowTitle1251(title);
}

std::optional<ListedProgramme> ProgrammeListRefreshView::currentProgramme() const {
    const ProgrammeList& list = m_host.programmeList();
    const int row = list.currentRow();
    if (row < 0 || row >= list.rowCount())
        return std::nullopt;
    return ListedProgramme{list.key(row), list.field(row, "CHENELID").asText(),
                           list.field(row, "VARIANT").asText(), list.field(row, "TYPES").asText()};
}

void ProgrammeListRefreshView::showCurrentStatus(const std::string& status) {
    ProgrammeList& list = m_host.programmeList();
    const int row = list.currentRow();
    list.setField(row, "STATUS", Value::text(status));
    list.post(row);
}

void ProgrammeListRefreshView::storeCurrentText(const std::string& bytes) {
    ProgrammeList& list = m_host.programmeList();
    const int row = list.currentRow();
    list.setField(row, "TEXT", Value::blob(bytes));
    list.post(row);
}

void DisplayedErrorPrompts::showError(const std::string& text) {
    m_prompts.showError(errorTextForDisplay(text));
}

class ServiceRefreshController::Session {
public:
    explicit Session(ServiceRefreshController& c) : m_c(c) {
        const ConnectionSettings& s = m_c.m_settings.connection;
        TConnectHTTP& r = m_c.m_connection;
        r.Host = s.host;
        r.ProgVersion = s.progVersion;
        r.ProxyHost = s.proxyHost;
        r.ProxyPort = s.proxyPort;
        r.ProxyUser = s.proxyUser;
        r.ProxyPassword = s.proxyPassword;
        r.SubscriberId = s.subscriberId;
    }
    ~Session() { m_c.m_settings.connection.host = m_c.m_connection.Host; }

private:
    ServiceRefreshController& m_c;
};

ServiceRefreshController::ServiceRefreshController(AppSettings& settings, Database& database,
                                                   ProgrammeListHost& host, UserPrompts& prompts,
                                                   std::string executablePath)
    : m_settings(settings),
      m_executablePath(std::move(executablePath)),
      m_prompts(prompts),
      m_exchange(m_transport, m_prompts, [] { QCoreApplication::processEvents(); }),
      m_view(host),
      m_flow(RefreshContext{
          database,
          m_connection,
          [this](TConnectHTTP& c) { return m_exchange(c); },
          m_prompts,
          host.statusLog(),
          m_view,
          {settings.primaryHost, settings.alternateHost},
          [] { QCoreApplication::processEvents(); },
          localeShortDate,
          {},
      }) {}

// A request that comes while an operation runs is refused by the flow before
// anything is copied.
void ServiceRefreshController::refresh() {
    if (m_flow.running()) {
        m_flow.refresh();
        return;
    }
    Session session(*this);
    m_flow.refresh();
}

void ServiceRefreshController::startupPrompt() {
    if (m_flow.running()) {
        m_flow.startupPrompt(m_executablePath);
        return;
    }
    Session session(*this);
    m_flow.startupPrompt(m_executablePath);
}

void ServiceRefreshController::autoCheck() {
    refresh();
}

void ServiceRefreshController::refetchCurrent() {
    if (m_flow.running()) {
        m_flow.refetchCurrent();
        return;
    }
    Session session(*this);
    m_flow.refetchCurrent();
}

void ServiceRefreshController::resetStore() {
    m_flow.reset();
}

}  // namespace mirvaly
