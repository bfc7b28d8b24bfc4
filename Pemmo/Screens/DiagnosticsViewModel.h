// The diagnostics screen: the report `pemmo doctor` prints, made from the running application's own
// services (its store, keyring, semantic index and the global shortcut's state), refreshed each
// time the screen opens or the user asks. Control-C copies it, Control-R rebuilds the semantic
// index, Escape goes back.
#pragma once

#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace pemmo {

class AppEnvironment;
class EmbeddingMaintenance;

class DiagnosticsViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The diagnostics come from Shell.diagnostics().")
    Q_PROPERTY(QStringList lines READ lines NOTIFY linesChanged)
    Q_PROPERTY(QString text READ text NOTIFY linesChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool canRebuild READ canRebuild NOTIFY rebuildChanged)
    Q_PROPERTY(bool isRebuilding READ isRebuilding NOTIFY rebuildChanged)
    Q_PROPERTY(QString status READ status NOTIFY statusChanged)

public:
    // What only the running application knows.
    struct Sources {
        // The global shortcut's line ("Global shortcut: Ctrl+K, active (X11)"); empty: not known.
        std::function<QString()> shortcutState;
        // The keeper of the semantic index; null when there is none.
        QPointer<EmbeddingMaintenance> maintenance;
    };

    // The environment is not owned and must outlive this object.
    DiagnosticsViewModel(AppEnvironment& environment, Sources sources, QObject* parent = nullptr);

    const QStringList& lines() const { return m_lines; }
    QString text() const { return m_lines.join(u'\n'); }
    bool isLoading() const { return m_isLoading; }
    bool canRebuild() const;
    bool isRebuilding() const;
    const QString& status() const { return m_status; }

    // Gathers the report again; a refresh already running is not started twice.
    QCoro::Task<void> refresh();
    Q_INVOKABLE void startRefresh() { refresh(); }
    // Puts the report on the clipboard.
    Q_INVOKABLE void copy();
    // "Rebuild semantic index": forgets every vector and embeds everyone again.
    Q_INVOKABLE void rebuildIndex();
    Q_INVOKABLE void close();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void linesChanged();
    void isLoadingChanged();
    void rebuildChanged();
    void statusChanged();

private:
    void setStatus(const QString& status);

    AppEnvironment& m_env;
    Sources m_sources;
    QStringList m_lines;
    QString m_status;
    bool m_isLoading = false;
    bool m_refreshAgain = false;
};

} // namespace pemmo
