// A system-wide key combination that reaches Pemmo whichever application is in front. One
// implementation per display protocol; the shell sees only this.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <memory>

namespace pemmo {

class GlobalHotKey : public QObject {
    Q_OBJECT

public:
    enum class Status { Inactive, Pending, Active, Failed };
    Q_ENUM(Status)

    using QObject::QObject;

    // The hot key the running display system offers: the X11 key grab, the desktop portal on
    // Wayland, or null where neither exists (then only `pemmo toggle` remains).
    static std::unique_ptr<GlobalHotKey> forPlatform(QObject* parent = nullptr);
    // Which of them, for Qt's platform plugin and whether the session is a Wayland one. A Wayland
    // session asks the portal even when Pemmo draws through XWayland: a key grab there only sees
    // the keys while an X11 window has the focus.
    enum class Kind { X11Grab, Portal, None };
    static Kind kindFor(QStringView platform, bool waylandSession);

    // Asks for `shortcut` (one key with modifiers). The answer may come later, by statusChanged.
    virtual void bind(const QKeySequence& shortcut) = 0;
    virtual void unbind() = 0;

    Status status() const { return m_status; }
    // Why the shortcut is not active, in words for the user; empty when it is.
    QString problem() const { return m_problem; }
    // The display protocol's name, for logs and diagnostics ("X11", "desktop portal").
    virtual QString mechanism() const = 0;

Q_SIGNALS:
    void activated();
    void statusChanged();

protected:
    void setStatus(Status status, const QString& problem = {});

private:
    Status m_status = Status::Inactive;
    QString m_problem;
};

} // namespace pemmo
