#include "Platform/SoftwareRendering.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

namespace pemmo::SoftwareRendering {

namespace {
const QString kQuickBackend = QStringLiteral("QT_QUICK_BACKEND");
const QString kRhiBackend = QStringLiteral("QSG_RHI_BACKEND");
constexpr const char* kGLIntegration = "QT_XCB_GL_INTEGRATION";

bool setGLIntegration = false;
} // namespace

bool isChosen(const QProcessEnvironment& environment) {
    const QString backend = environment.value(kQuickBackend);
    if (!backend.isEmpty() && backend != u"software")
        return false;
    return environment.value(kRhiBackend).isEmpty();
}

void chooseUnlessNamed() {
    if (!isChosen(QProcessEnvironment::systemEnvironment()))
        return;
    // Without this the X11 platform loads the OpenGL driver as it starts, whether or not any
    // window ever draws with it. It reads the variable only then.
    if (!qEnvironmentVariableIsSet(kGLIntegration))
        setGLIntegration = qputenv(kGLIntegration, "none");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void restoreEnvironment() {
    if (setGLIntegration)
        qunsetenv(kGLIntegration);
    setGLIntegration = false;
}

} // namespace pemmo::SoftwareRendering
