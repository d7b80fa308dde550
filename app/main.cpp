// Mirvaly: the entry point. Builds the platform layers, runs the start-up,
// creates the main window and runs the message loop until it closes.

#include <QApplication>
#include <QDir>
#include <QFile>

#include "app/application_shell.h"
#include "app/error_text.h"
#include "app/message_box_prompts_window.h"
#include "app/programme_list_window.h"
#include "app/qsettings_config_store.h"
#include "app/refresh_controller.h"
#include "app/termination_signals.h"
#include "store/database.h"

using namespace mirvaly;

namespace {

int runApplication(QApplication& app, MessageBoxPrompts& prompts) {
    QSettingsConfigStore config;
    auto processes = systemProcessList();
    auto launcher = systemProgramLauncher();
    auto store = embeddedStoreOpener();
    ApplicationShell shell({
        QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString(),
        QFile::encodeName(QDir::currentPath()).toStdString(),
        config,
        *processes,
        *launcher,
        prompts,
        *store,
        {},
    });
    if (!shell.construct() || !shell.show())
        return 0;

    ProgrammeListWindow mainWindow(shell.settings(), *shell.database(), prompts);
    prompts.setParentWidget(&mainWindow);
    // Closing the main window ends the application, whatever else is open.
    mainWindow.setCloseHandler([&] {
        shell.close();
        QCoreApplication::exit(0);
    });
    ServiceRefreshController refresh(shell.settings(), *shell.database(), mainWindow, prompts,
                                     shell.executablePath());
    mainWindow.setRefreshController(&refresh);
    // The store is open, so the engine's own signal handlers are in place and
    // these replace them: a termination signal closes the window instead.
    TerminationSignals termination([&](int) { mainWindow.closeOnTermination(); });
    mainWindow.start();
    mainWindow.show();
    int result = app.exec();
    prompts.setParentWidget(nullptr);
    shell.close();
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    MessageBoxPrompts prompts;
    int result = 1;
    try {
        result = runApplication(app, prompts);
    } catch (const std::exception& e) {
        prompts.showError(errorTextForDisplay(e.what()));
    }
    shutdownDatabaseEngine();
    return result;
}
