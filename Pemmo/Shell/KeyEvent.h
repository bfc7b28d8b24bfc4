// A key press as the panel's screens see it, independent of the window system's event class.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <QtGlobal>

namespace pemmo {

enum class KeyResult { Handled, Pass };

struct KeyEvent {
    // The hardware key code, for handlers that care about the physical key.
    quint16 keyCode = 0;
    // Qt's key, so that handlers read Qt::Key_Up and Qt::Key_Enter rather than codes of one layout.
    int key = 0;
    // What the key types without modifiers, lower case for letters ("k" for Control-K).
    QString characters;
    // Control, Alt, Shift, Meta and Keypad; nothing else.
    Qt::KeyboardModifiers modifiers;

    bool operator==(const KeyEvent&) const = default;

    static KeyEvent from(const QKeyEvent& event);
    // A Control-command as tests and the global shortcut make it: Control and `c` ("k", "1", ",").
    static KeyEvent command(QChar c);

    bool hasControl() const { return modifiers.testFlag(Qt::ControlModifier); }
    // Control with `c` and no Alt or Meta (Shift is allowed: what it types is ignored).
    bool isCommand(QChar c) const;
    // `k` with neither Control, Alt nor Meta.
    bool isPlain(int k) const;
    // Control-Return or Control-Enter: what saves a form.
    bool isControlReturn() const { return (key == Qt::Key_Return || key == Qt::Key_Enter) && hasControl(); }
    // The key and its Control, Alt, Shift and Meta, as a shortcut is written.
    QKeyCombination combination() const;
};

// The keys of a plain form: Control-Return submits, Escape cancels, everything else is typing.
template <class Submit, class Cancel>
KeyResult handleFormKey(const KeyEvent& event, Submit submit, Cancel cancel) {
    if (event.isControlReturn()) {
        submit();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        cancel();
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
