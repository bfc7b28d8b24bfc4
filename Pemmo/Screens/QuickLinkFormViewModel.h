// The quick-link form: a new link on a person's card or a change to one. The address is checked
// as it will be opened, the site is recognised from it (or named), and the custom-link limit is
// enforced, each refused inline. Control-Return saves, Escape cancels.
#pragma once

#include "Records/QuickLink.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class QuickLinkFormViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Forms come from Shell.quickLinkForm(…).")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString personName READ personName CONSTANT)
    Q_PROPERTY(bool isEditing READ isEditing CONSTANT)
    Q_PROPERTY(QString url READ url WRITE setURL NOTIFY urlChanged)
    Q_PROPERTY(QString linkTitle READ linkTitle WRITE setLinkTitle NOTIFY linkTitleChanged)
    Q_PROPERTY(QStringList kindTitles READ kindTitles CONSTANT)
    Q_PROPERTY(int kindIndex READ kindIndex WRITE setKindIndex NOTIFY kindIndexChanged)
    // What the link will be saved as ("Instagram", "Example.org"), or empty while the address is
    // not one.
    Q_PROPERTY(QString preview READ preview NOTIFY urlChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)

public:
    // Choices of the kind menu: recognised from the address, or named.
    enum KindChoice { Automatic, Instagram, LinkedIn, X, Custom };

    // What the form's fields hold for a link: the address, the title typed (empty for the site's
    // own), and the kind menu's choice.
    struct Fields {
        QString url;
        QString title;
        int kindIndex = Automatic;
    };
    // The fields that show `link` for a change.
    static Fields fieldsOf(const QuickLink& link);
    // The link `fields` describe, under `id`, or absent when the address is not one.
    static std::optional<QuickLink> makeLink(const Fields& fields, const QUuid& id);

    QuickLinkFormViewModel(AppEnvironment& environment, const QString& contactID,
                           std::optional<QUuid> linkID = std::nullopt, QObject* parent = nullptr);

    QString title() const;
    const QString& personName() const { return m_personName; }
    bool isEditing() const { return m_original.has_value(); }
    const QString& url() const { return m_url; }
    void setURL(const QString& url);
    const QString& linkTitle() const { return m_linkTitle; }
    void setLinkTitle(const QString& title);
    static QStringList kindTitles();
    int kindIndex() const { return m_kindIndex; }
    void setKindIndex(int index);
    QString preview() const;
    const QString& error() const { return m_error; }
    bool isSaving() const { return m_isSaving; }

    // The link as it would be saved, or absent when the address is not one.
    std::optional<QuickLink> link() const;

    QCoro::Task<void> save();
    Q_INVOKABLE void submit() { save(); }
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void urlChanged();
    void linkTitleChanged();
    void kindIndexChanged();
    void errorChanged();
    void isSavingChanged();

private:
    void setError(const QString& error);

    AppEnvironment& m_env;
    const QString m_contactID;
    std::optional<QuickLink> m_original;
    QString m_personName;
    QString m_url;
    QString m_linkTitle;
    int m_kindIndex = Automatic;
    QString m_error;
    bool m_isSaving = false;
};

} // namespace pemmo
