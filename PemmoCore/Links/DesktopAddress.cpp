#include "Links/DesktopAddress.h"

#include "Links/LinkRouter.h"

#include <QUrl>

namespace pemmo::DesktopAddress {
namespace {

const QString kMessages = QStringLiteral("imessage://");
const QString kTel = QStringLiteral("tel://");

enum class HandleKind { Phone, Email, Name };

bool isPhoneSeparator(QChar c) {
    return c == u' ' || c == u'(' || c == u')' || c == u'-' || c == u'.' || c == u'/';
}

HandleKind classify(const QString& handle) {
    if (handle.indexOf(u'@') > 0)
        return HandleKind::Email;
    bool digit = false;
    const QString written = handle.normalized(QString::NormalizationForm_KC);
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written.at(i);
        if (c.isDigit())
            digit = true;
        else if (!(isPhoneSeparator(c) || (i == 0 && c == u'+')))
            return HandleKind::Name;
    }
    return digit ? HandleKind::Phone : HandleKind::Name;
}

QString digitsOnly(const QString& phone) {
    QString number = LinkRouter::dialled(phone);
    if (number.startsWith(u'+'))
        number.remove(0, 1);
    return number;
}

Result forHandle(const QString& handle, SettingsStore::MessagingApp app) {
    using App = SettingsStore::MessagingApp;
    switch (classify(handle)) {
    case HandleKind::Email:
        // None of the four messages an e-mail address; a mail to it is the nearest thing.
        return {QStringLiteral("mailto:") + handle, {}};
    case HandleKind::Phone:
        switch (app) {
        case App::Sms:
            return {QStringLiteral("sms:") + LinkRouter::dialled(handle), {}};
        case App::Signal:
            return {QStringLiteral("sgnl://signal.me/#p/") + LinkRouter::dialled(handle), {}};
        case App::WhatsApp:
            return {QStringLiteral("https://wa.me/") + digitsOnly(handle), {}};
        case App::Telegram:
            return {QStringLiteral("tg://resolve?phone=") + digitsOnly(handle), {}};
        }
        break;
    case HandleKind::Name:
        if (app == App::Telegram) {
            QString name = handle;
            if (name.startsWith(u'@'))
                name.remove(0, 1);
            return {QStringLiteral("tg://resolve?domain=") +
                        QString::fromLatin1(QUrl::toPercentEncoding(name)),
                    {}};
        }
        return {std::nullopt, QStringLiteral("\u201C%1\u201D is not a phone number or e-mail address, so %2 "
                                             "cannot open a conversation with it.")
                                  .arg(handle, appName(app))};
    }
    return {std::nullopt, {}};
}

} // namespace

QString appName(SettingsStore::MessagingApp app) {
    switch (app) {
    case SettingsStore::MessagingApp::Sms:
        return QStringLiteral("the phone link");
    case SettingsStore::MessagingApp::Signal:
        return QStringLiteral("Signal");
    case SettingsStore::MessagingApp::WhatsApp:
        return QStringLiteral("WhatsApp");
    case SettingsStore::MessagingApp::Telegram:
        return QStringLiteral("Telegram");
    }
    return {};
}

Result forDesktop(const QString& address, SettingsStore::MessagingApp app) {
    if (address.startsWith(kMessages)) {
        const QString handle = QUrl::fromPercentEncoding(address.mid(kMessages.size()).toUtf8());
        return forHandle(handle, app);
    }
    if (address.startsWith(kTel))
        return {QStringLiteral("tel:") + address.mid(kTel.size()), {}};
    return {address, {}};
}

} // namespace pemmo::DesktopAddress
