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

} // namespace pemmo
