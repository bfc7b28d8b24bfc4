#include "Platform/X11HotKey.h"

#include "Shell/ShellLogging.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace pemmo {
namespace {

// keysyms from X11/keysymdef.h, without pulling in Xlib's headers.
constexpr std::uint32_t XK_space = 0x0020;
constexpr std::uint32_t XK_F1 = 0xffbe;
constexpr std::uint32_t XK_Num_Lock = 0xff7f;
constexpr std::uint32_t XK_Scroll_Lock = 0xff14;
constexpr std::uint32_t XK_Return = 0xff0d;
constexpr std::uint32_t XK_Escape = 0xff1b;
constexpr std::uint32_t XK_Tab = 0xff09;

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

template <class T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// The modifier bit that a keysym (Num Lock, Scroll Lock) is mapped to, or 0.
std::uint16_t modifierMaskFor(xcb_connection_t* c, xcb_key_symbols_t* symbols, std::uint32_t keysym) {
    XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym), &std::free);
    if (!codes)
        return 0;
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr), &std::free);
    if (!mapping)
        return 0;
    const xcb_keycode_t* table = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = table[modifier * perModifier + i];
            for (const xcb_keycode_t* k = codes.get(); code != 0 && *k != XCB_NO_SYMBOL; ++k)
                if (*k == code)
                    return std::uint16_t(1u << modifier);
        }
    }
    return 0;
}

QString describe(const QKeySequence& shortcut) {
    return shortcut.toString(QKeySequence::NativeText);
}

} // namespace

X11HotKey::X11HotKey(QObject* parent)
    : GlobalHotKey(parent) {}

X11HotKey::~X11HotKey() {
    releaseGrabs();
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

std::uint32_t X11HotKey::keysymFor(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return std::uint32_t('a' + (qtKey - Qt::Key_A)); // keysyms of letters are their lower case
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return std::uint32_t(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
        return XK_F1 + std::uint32_t(qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Space:
        return XK_space;
    case Qt::Key_Return:
        return XK_Return;
    case Qt::Key_Escape:
        return XK_Escape;
    case Qt::Key_Tab:
        return XK_Tab;
    default:
        break;
    }
    // The printable ASCII punctuation keys share their code with the keysym.
    if (qtKey > Qt::Key_Space && qtKey <= Qt::Key_AsciiTilde)
        return std::uint32_t(qtKey);
    return 0;
}

void X11HotKey::bind(const QKeySequence& shortcut) {
    releaseGrabs();
    xcb_connection_t* c = connection();
    if (!c) {
        setStatus(Status::Failed, QStringLiteral("The global shortcut needs an X11 display."));
        return;
    }
    if (shortcut.isEmpty()) {
        setStatus(Status::Inactive);
        return;
    }
    const QKeyCombination combination = shortcut[0];
    const std::uint32_t keysym = keysymFor(int(combination.key()));
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    if (keysym == 0) {
        setStatus(Status::Failed, u"Pemmo cannot use "_qs + describe(shortcut) +
                                      u" as a global shortcut; choose another key."_qs);
        return;
    }
    m_modifiers = 0;
    if (mods & Qt::ControlModifier)
        m_modifiers |= XCB_MOD_MASK_CONTROL;
    if (mods & Qt::ShiftModifier)
        m_modifiers |= XCB_MOD_MASK_SHIFT;
    if (mods & Qt::AltModifier)
        m_modifiers |= XCB_MOD_MASK_1;
    if (mods & Qt::MetaModifier)
        m_modifiers |= XCB_MOD_MASK_4;

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym), &std::free);
    const std::uint16_t numLock = modifierMaskFor(c, symbols, XK_Num_Lock);
    const std::uint16_t scrollLock = modifierMaskFor(c, symbols, XK_Scroll_Lock);
    xcb_key_symbols_free(symbols);
    m_keycodes.clear();
    for (const xcb_keycode_t* k = codes.get(); k && *k != XCB_NO_SYMBOL; ++k)
        if (!m_keycodes.contains(*k))
            m_keycodes.append(*k);
    if (m_keycodes.isEmpty()) {
        setStatus(Status::Failed, u"The keyboard layout has no key for "_qs + describe(shortcut) +
                                      u", so Pemmo cannot use it as its shortcut."_qs);
        return;
    }

    QList<std::uint16_t> locks{0};
    m_lockMask = XCB_MOD_MASK_LOCK | numLock | scrollLock;
    for (const std::uint16_t lock : {std::uint16_t(XCB_MOD_MASK_LOCK), numLock, scrollLock}) {
        if (lock == 0 || (lock & m_modifiers))
            continue;
        const qsizetype n = locks.size();
        for (qsizetype i = 0; i < n; ++i)
            locks.append(locks[i] | lock);
    }

    m_root = QGuiApplication::primaryScreen() ? xcb_setup_roots_iterator(xcb_get_setup(c)).data->root : 0;
    QList<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : m_keycodes) {
        for (const std::uint16_t lock : locks) {
            cookies.append(xcb_grab_key_checked(c, 1, m_root, m_modifiers | lock, code, XCB_GRAB_MODE_ASYNC,
                                                XCB_GRAB_MODE_ASYNC));
            m_grabs.append({code, std::uint16_t(m_modifiers | lock)});
        }
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookie), &std::free);
        if (error)
            refused = true;
    }
    xcb_flush(c);
    if (refused) {
        // BadAccess: another program already grabbed the combination. Holding part of it would
        // make the shortcut work only in some lock states, which is worse than not at all.
        releaseGrabs();
        setStatus(Status::Failed, u"Another program already uses "_qs + describe(shortcut) +
                                      u" as its shortcut, so Pemmo cannot. Free it there, choose another "
                                      u"shortcut in Pemmo, or bind \u201Cpemmo toggle\u201D in your "
                                      u"desktop's keyboard settings."_qs);
        return;
    }
    if (!m_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    qCInfo(lcShortcut, "global shortcut %s grabbed on X11", qUtf8Printable(describe(shortcut)));
    setStatus(Status::Active);
}

void X11HotKey::unbind() {
    releaseGrabs();
    setStatus(Status::Inactive);
}

void X11HotKey::releaseGrabs() {
    xcb_connection_t* c = connection();
    if (c) {
        for (const Grab& grab : m_grabs)
            xcb_ungrab_key(c, grab.keycode, m_root, grab.modifiers);
        xcb_flush(c);
    }
    m_grabs.clear();
}

bool X11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_grabs.isEmpty())
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != m_root || !m_keycodes.contains(key->detail))
        return false;
    if ((key->state & ~m_lockMask & 0xff) != m_modifiers)
        return false;
    // A key held down (or a release the server saw late, on a busy machine) repeats as a release
    // and a press with the same time stamp; the shortcut toggles the panel, so only the first
    // press counts.
    if (type == XCB_KEY_RELEASE) {
        m_lastRelease = {key->detail, key->time};
        return true;
    }
    if (m_lastRelease && m_lastRelease->first == key->detail && m_lastRelease->second == key->time)
        return true;
    Q_EMIT activated();
    return true;
}

} // namespace pemmo
