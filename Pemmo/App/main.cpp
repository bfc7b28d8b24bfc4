// pemmo: the tray application, `pemmo toggle`, and the command line.
#include "App/CommandLine.h"
#include "Platform/MemoryRelease.h"
#include "Shell/AppDelegate.h"
#include "Shell/SingleInstance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QLoggingCategory>
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

int toggle() {
    const auto answer = pemmo::SingleInstance().send("toggle");
    if (!answer) {
        std::fputs("pemmo: Pemmo is not running, so there is no panel to toggle. Start it with \"pemmo\".\n",
                   stderr);
        return 1;
    }
    return 0;
}

int runTray(int argc, char* argv[]) {
    pemmo::SingleInstance instance;
    // Another Pemmo is running: it shows its panel, and this process has nothing more to do.
    if (instance.send("show", std::chrono::milliseconds(300)))
        return 0;

    pemmo::MemoryRelease::limitRetention();
    QApplication app(argc, argv);
    describeApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setDesktopFileName(QStringLiteral("pemmo"));

    pemmo::AppDelegate delegate;
    if (!instance.becomePrimary(
            [&delegate](const QByteArray& command) { return delegate.handleCommand(command); })) {
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
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    if (arguments.isEmpty() && hasDisplay())
        return runTray(argc, argv);

    // Everything else works without a display.
    QCoreApplication app(argc, argv);
    describeApplication();
    if (arguments == QStringList{QStringLiteral("toggle")})
        return toggle();
    return pemmo::CommandLine::run(QCoreApplication::arguments().mid(1), stdout, stderr,
                                   pemmo::Console::Ending::Quick);
}
