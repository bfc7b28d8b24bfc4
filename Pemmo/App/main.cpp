// pemmo: the tray application, `pemmo toggle`, and the command line.
#include "App/CommandLine.h"
#include "Platform/DisplayCheck.h"
#include "Platform/MemoryRelease.h"
#include "Platform/SoftwareRendering.h"
#include "Settings/OutlineStyle.h"
#include "Shell/AppDelegate.h"
#include "Shell/PanelController.h"
#include "Shell/SingleInstance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QLoggingCategory>
#include <QTimer>
#include <QWindow>
#include <cstdio>

namespace {

void describeApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Pemmo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("dorvane.com"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PEMMO_VERSION));
    // Vendors' address-book exports carry slightly broken photos; the decoder's complaints about
    // them mean nothing to the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// `showPanel`: open the panel once Pemmo runs, as `pemmo toggle` does when it has to start it.
int runTray(int argc, char* argv[], bool showPanel) {
    pemmo::SingleInstance instance;
    // Another Pemmo is running: it shows its panel, and this process has nothing more to do.
    if (instance.send("show", std::chrono::milliseconds(300)))
        return 0;

    pemmo::MemoryRelease::limitRetention();
    pemmo::SoftwareRendering::chooseUnlessNamed();
    QApplication app(argc, argv);
    pemmo::SoftwareRendering::restoreEnvironment();
    pemmo::OutlineStyle::installOverFusion();
    describeApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral("pemmo"));

    pemmo::AppDelegate delegate;
    if (!instance.becomePrimary(
            [&delegate](QByteArray command) { return delegate.handleCommand(command); })) {
        // Lost a race with another Pemmo starting at the same moment: let that one show itself.
        if (instance.send("show"))
            return 0;
        std::fprintf(stderr, "pemmo: cannot start: %s\n", qUtf8Printable(instance.errorString()));
        return 1;
    }
    QString error;
    if (!delegate.start(&error)) {
        std::fprintf(stderr, "pemmo: %s\n", qUtf8Printable(error));
        return 1;
    }
    if (showPanel)
        QTimer::singleShot(0, delegate.panel(), &pemmo::PanelController::show);
    return app.exec();
}

// A desktop shortcut bound to `pemmo toggle` must work from a fresh login, before anything started
// Pemmo: with nobody to answer, this process becomes Pemmo, with its panel open.
int toggle(int argc, char* argv[]) {
    if (pemmo::SingleInstance().send("toggle"))
        return 0;
    const QString problem = pemmo::DisplayCheck::problem();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "pemmo: Pemmo is not running, and it cannot start here: %s.\n",
                     qUtf8Printable(problem));
        return 1;
    }
    return runTray(argc, argv, true);
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    if (arguments.isEmpty() && hasDisplay())
        return runTray(argc, argv, false);
    if (arguments == QStringList{QStringLiteral("toggle")})
        return toggle(argc, argv);

    // Everything else works without a display.
    QCoreApplication app(argc, argv);
    describeApplication();
    return pemmo::CommandLine::run(QCoreApplication::arguments().mid(1), stdout, stderr,
                                   pemmo::Console::Ending::Quick);
}
