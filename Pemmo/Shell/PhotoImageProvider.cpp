#include "Shell/PhotoImageProvider.h"

#include "App/AppEnvironment.h"
#include "Screens/ProfileViewModel.h"

#include <QThread>
#include <QUrl>

namespace pemmo {

PhotoImageProvider::PhotoImageProvider(AppEnvironment& environment)
    : QQuickImageProvider(QQuickImageProvider::Image)
    , m_env(&environment) {}

QImage PhotoImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    // Asynchronous loading would call this from another thread, away from the models.
    if (!m_env || QThread::currentThread() != m_env->thread())
        return {};
    const QString prefix = QStringLiteral("photo/");
    if (!id.startsWith(prefix))
        return {};
    QString encoded = id.mid(prefix.size());
    encoded = encoded.left(encoded.indexOf(u'?'));
    const QString contactID = QUrl::fromPercentEncoding(encoded.toUtf8());
    QImage image = QImage::fromData(m_env->profileModel(contactID).photoData());
    if (image.isNull())
        return {};
    if (size)
        *size = image.size();
    if (requestedSize.isValid() && !requestedSize.isEmpty())
        image = image.scaled(requestedSize, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return image;
}

} // namespace pemmo
