// pemmo: the command line (and, later, the tray application).
#include "App/CommandLine.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Pemmo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("dorvane.com"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PEMMO_VERSION));
    return pemmo::CommandLine::run(QCoreApplication::arguments().mid(1));
}
