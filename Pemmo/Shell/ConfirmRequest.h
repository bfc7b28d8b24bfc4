// A question the panel asks before it does something that cannot be taken back.
#pragma once

#include <QObject>
#include <QString>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace pemmo {

class ConfirmRequest {
    Q_GADGET
    QML_VALUE_TYPE(confirmRequest)
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString message MEMBER message CONSTANT)
    Q_PROPERTY(QString confirmTitle MEMBER confirmTitle CONSTANT)
    Q_PROPERTY(bool destructive MEMBER destructive CONSTANT)

public:
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
    QString confirmTitle;
    bool destructive = false;
    std::function<void()> onConfirm;

    // Two requests are the same question when they have the same id.
    bool operator==(const ConfirmRequest& other) const { return id == other.id; }
};

} // namespace pemmo
