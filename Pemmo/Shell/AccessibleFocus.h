// Tells assistive technology which row the keyboard is on when the keyboard itself stays in a
// field: a row declares
//     AccessibleFocus { when: row.selected && row.keyboardHere; name: row.accessibleName }
// and each time `when` turns true, or `name` changes while it holds (the selected row now stands
// for something else: typing narrowed the list), the row is announced as the focused object, as if
// it had taken the keyboard focus. The keyboard focus moving in the window while `when` holds (the
// panel activated again, an overlay gone) announces the row again after the field that took it. Screen
// readers follow focus, not selection, so without it a row chosen with the arrow keys while typing goes
// unspoken.
#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

namespace pemmo {

class AccessibleFocus : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(bool when READ when WRITE setWhen NOTIFY whenChanged)
    // The item to announce; the item this element sits in when not set.
    Q_PROPERTY(QQuickItem* item READ item WRITE setItem NOTIFY itemChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)

public:
    explicit AccessibleFocus(QObject* parent = nullptr);

    bool when() const { return m_when; }
    void setWhen(bool when);
    QQuickItem* item() const;
    void setItem(QQuickItem* item);
    const QString& name() const { return m_name; }
    void setName(const QString& name);

    // Announces the item now if `when` holds (a screen coming back from under an overlay says
    // again where the keyboard is).
    Q_INVOKABLE void announce();

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void whenChanged();
    void itemChanged();
    void nameChanged();

private:
    void announceLater();
    // Follows the item into its window, to hear the keyboard focus move there.
    void watchItem();
    void watchWindow(QQuickWindow* window);

    bool m_when = false;
    bool m_pending = false;
    QPointer<QQuickItem> m_item;
    QString m_name;
    QMetaObject::Connection m_windowOfItem;
    QMetaObject::Connection m_focusInWindow;
};

} // namespace pemmo
