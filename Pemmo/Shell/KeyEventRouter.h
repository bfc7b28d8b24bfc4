// Hands each key press in the panel to the screens stacked in it, highest priority first and,
// among equals, the screen that registered last, so a form pushed over the search screen gets the
// keys until it goes away.
#pragma once

#include "Shell/KeyEvent.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QWindow>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace pemmo {

class KeyEventRouter : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The key router belongs to the environment.")

public:
    struct Registration {
        QUuid id;
        int priority = 0;
        bool operator==(const Registration&) const = default;
    };
    using Handler = std::function<KeyResult(const KeyEvent&)>;

    explicit KeyEventRouter(QObject* parent = nullptr);
    ~KeyEventRouter() override;

    // Routes the key presses of `window`, and only those; installing again moves to a new window.
    void install(QWindow* window);
    void uninstall();
    QWindow* targetWindow() const { return m_target; }

    Registration registerHandler(int priority, Handler handler);
    void unregister(const Registration& registration);
    qsizetype count() const { return m_entries.size(); }

    // Offers `event` to the handlers in order; Handled when one of them took it.
    KeyResult dispatch(const KeyEvent& event);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        Registration registration;
        Handler handler;
    };

    QList<Entry> m_entries;
    QPointer<QWindow> m_target;
};

} // namespace pemmo
