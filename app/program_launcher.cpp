#include "app/program_launcher.h"

#include <QProcess>
#include <QString>

namespace mirvaly {
namespace {

class DetachedProcessLauncher : public ProgramLauncher {
public:
    bool start(const std::string& program, const std::string& workingDirectory) override {
        return QProcess::startDetached(QString::fromLocal8Bit(program), {},
                                       QString::fromLocal8Bit(workingDirectory));
    }
};

}  // namespace

std::unique_ptr<ProgramLauncher> systemProgramLauncher() {
    return std::make_unique<DetachedProcessLauncher>();
}

}  // namespace mirvaly
