// Serves people's photos to the panel's avatars as "image://pemmo/photo/<contact id>?v=<n>": Pemmo's
// own photo when there is one, else the address book's. Images are made on the GUI thread (the
// avatars load them synchronously), where the card models live.
#pragma once

#include <QPointer>
#include <QQuickImageProvider>

namespace pemmo {

class AppEnvironment;

class PhotoImageProvider : public QQuickImageProvider {
public:
    // The environment is not owned; the provider serves nothing once it is gone.
    explicit PhotoImageProvider(AppEnvironment& environment);

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    QPointer<AppEnvironment> m_env;
};

} // namespace pemmo
