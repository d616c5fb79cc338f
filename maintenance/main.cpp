#include "maintenance/MaintenanceServices.h"
#include "maintenance/cli/CommandLine.h"
#include "maintenance/frmMain.h"
#include "platform/AppInfo.h"
#include "platform/Application.h"
#include "platform/QtDesktopServices.h"
#include "platform/ReadinessNotice.h"
#include "platform/TerminationRequest.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// A command runs headless: no display is opened, no window built.
int runCommand(int argc, char** argv)
{
    // A file size limit must come back as a write error to report, not end the program half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    CommandContext context{
        [](const QString& text) { write(stdout, text); },
        [](const QString& text) { write(stderr, text); },
        ::isatty(STDERR_FILENO) == 1,
        [] { return QDateTime::currentDateTime(); },
        QCoreApplication::applicationDirPath(),
        [] {
            QFile input;
            return input.open(stdin, QIODevice::ReadOnly) ? input.readAll() : QByteArray();
        },
    };
    return CommandLine::run(arguments, context);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        return runCommand(argc, argv);

    const QString product = QStringLiteral("vaultkeep");
    Application app(argc, argv);
    app.setIdentity(product);
    QtDesktopServices desktop(AppInfo::current(product));
    app.setFatalError(&desktop.fatal());

    frmMain window({desktop.info(), desktop.messages(), desktop.fatal(), desktop.screen(), desktop.events(),
                    desktop.folders(), desktop.fileOpen(), desktop.files(), desktop.fileUi()});
    const TerminationRequest termination;
    window.show();
    // Once the event loop runs, whoever started the program may be told that its window is up.
    QTimer::singleShot(0, &window, [&window] {
        if (window.isVisible())
            ReadinessNotice::announce(QStringLiteral("The maintenance window is shown."));
    });
    return app.exec();
}
