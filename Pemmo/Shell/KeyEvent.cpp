#include "Shell/KeyEvent.h"

namespace pemmo {

KeyEvent KeyEvent::from(const QKeyEvent& event) {
    KeyEvent result;
    result.keyCode = quint16(event.nativeScanCode());
    result.key = event.key();
    result.modifiers = event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                            Qt::MetaModifier | Qt::KeypadModifier);
    // With Control held, text() is a control character; the key itself says what was typed.
    const int key = event.key();
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        result.characters = QString(QChar(key)).toLower();
    else if (!event.text().isEmpty() && event.text().at(0).isPrint())
        result.characters = event.text().toLower();
    return result;
}

KeyEvent KeyEvent::command(QChar c) {
    KeyEvent result;
    result.characters = QString(c).toLower();
    const QChar upper = c.toUpper();
    result.key = upper.unicode() < 0x80 ? upper.unicode() : 0;
    result.modifiers = Qt::ControlModifier;
    return result;
}

bool KeyEvent::isCommand(QChar c) const {
    const auto others = Qt::AltModifier | Qt::MetaModifier;
    return hasControl() && !(modifiers & others) && characters.size() == 1 && characters.at(0) == c.toLower();
}

bool KeyEvent::isPlain(int k) const {
    const auto commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return key == k && !(modifiers & commands);
}

QKeyCombination KeyEvent::combination() const {
    const auto kept =
        modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    return QKeyCombination(kept, Qt::Key(key));
}

} // namespace pemmo
