#pragma once

// The refresh and its triggers in the real program: the main window's
// RefreshController, running the synchronisation flow (service/refresh_flow.h)
// over the window's programme list, the one connection record, the socket
// transport and the exchange, which keeps the window repainting by
// dispatching its events while it waits.
//
// The settings are copied into the connection record before every operation,
// and the host the refresh switched to is written back, so the settings
// always name the host in use.

#include <memory>
#include <optional>
#include <string>

#include "app/app_settings.h"
#include "app/main_window_hooks.h"
#include "common/user_prompts.h"
#include "service/connect_http.h"
#include "service/exchange.h"
#include "service/posix_transport.h"
#include "service/refresh_flow.h"
#include "store/database.h"

namespace mirvaly {

// The flow's view of the main window's list. No Qt: tests run it over a
// ProgrammeList of their own.
class ProgrammeListRefreshView : public RefreshListView {
public:
    explicit ProgrammeListRefreshView(ProgrammeListHost& host) : m_host(host) {}

    void savePosition() override;
    void closeList() override;
    void refilter() override;
    void restorePosition() override;
    void setWindowTitle(const std::string& title) override;
    std::optional<ListedProgramme> currentProgramme() const override;
    void showCurrentStatus(const std::string& status) override;
    void storeCurrentText(const std::string& bytes) override;

private:
    ProgrammeListHost& m_host;
};

// Shows the database's error texts the flow passes on in the standard error
// box as the window's own guard does (engine texts arrive in the system's
// encoding); everything else goes through unchanged.
class DisplayedErrorPrompts : public UserPrompts {
public:
    explicit DisplayedErrorPrompts(UserPrompts& prompts) : m_prompts(prompts) {}
    void inform(const std::string& text, const std::string& caption, PromptIcon icon,
                bool topmost) override {
        m_prompts.inform(text, caption, icon, topmost);
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        return m_prompts.askYesNo(text, caption);
    }
    PromptAnswer askYesNoCancel(const std::string& text, const std::string& caption) override {
        return m_prompts.askYesNoCancel(text, caption);
    }
    std::optional<std::string> chooseSaveFile(const std::string& title,
                                              const std::string& suggestedName,
                                              const std::string& filter) override {
        return m_prompts.chooseSaveFile(title, suggestedName, filter);
    }
    void showError(const std::string& text) override;

private:
    UserPrompts& m_prompts;
};

class ServiceRefreshController : public RefreshController {
public:
    // Everything passed in outlives the controller. `executablePath` is the
    // running program's file (the start-up prompt stays silent for the
    // downloaded update).
    ServiceRefreshController(AppSettings& settings, Database& database, ProgrammeListHost& host,
                             UserPrompts& prompts, std::string executablePath);

    void refresh() override;
    void startupPrompt() override;
    void autoCheck() override;
    void refetchCurrent() override;
    void resetStore() override;
    bool isBusy() const override { return m_flow.running(); }

    RefreshFlow& flow() { return m_flow; }
    TConnectHTTP& connection() { return m_connection; }
    PosixTransport& transport() { return m_transport; }

private:
    // Copies the settings in before an operation and the host back after it,
    // however the operation ends.
    class Session;

    AppSettings& m_settings;
    std::string m_executablePath;
    TConnectHTTP m_connection;
    PosixTransport m_transport;
    DisplayedErrorPrompts m_prompts;
    Exchange m_exchange;
    ProgrammeListRefreshView m_view;
    RefreshFlow m_flow;
};

}  // namespace mirvaly
