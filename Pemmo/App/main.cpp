// pemmo: the command line (and, later, the tray application).
#include "App/CommandLine.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Pemmo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("dorvane.com"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PEMMO_VERSION));
    // Vendors' address-book exports carry slightly broken photos; the decoder's complaints about
    // them mean nothing to the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    return pemmo::CommandLine::run(QCoreApplication::arguments().mid(1));
}
