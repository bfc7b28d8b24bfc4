// The X11 key grab against a real X server (the test services' Xvfb): it fires from anywhere,
// whatever the lock keys, a held key only once, and says so plainly when another program holds the key.
#include "Platform/X11HotKey.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

using namespace pemmo;

namespace {

const QKeySequence kControlK(Qt::ControlModifier | Qt::Key_K);

// Presses keys as a user would, through the XTest extension.
void press(const QStringList& keys) {
    QProcess xdotool;
    xdotool.start(u"xdotool"_qs, QStringList{u"key"_qs} + keys);
    QVERIFY(xdotool.waitForFinished(5000));
    QCOMPARE(xdotool.exitCode(), 0);
}

// Another program on the same display that grabs Control-K for itself.
class OtherProgram {
public:
    OtherProgram() {
        m_connection = xcb_connect(nullptr, nullptr);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 'k');
        m_keycode = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, 1, m_root, XCB_MOD_MASK_CONTROL, m_keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        m_grabbed = error == nullptr;
        std::free(error);
    }
    ~OtherProgram() { xcb_disconnect(m_connection); }
    bool grabbed() const { return m_grabbed; }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_keycode_t m_keycode;
    bool m_grabbed = false;
};

// The keys that bear `keysym` on the display's keyboard.
QList<xcb_keycode_t> keycodesOf(xcb_key_symbols_t* symbols, std::uint32_t keysym) {
    QList<xcb_keycode_t> keys;
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    for (const xcb_keycode_t* k = codes; k && *k != XCB_NO_SYMBOL; ++k)
        keys.append(*k);
    std::free(codes);
    return keys;
}

// The key events the X server sends for `events`, Control held throughout: "a+100" is the first key
// bearing the shortcut's sign pressed at 100 ms, "b-130" the second such key released at 130 ms,
// and "x" a key outside the shortcut. Empty when the keyboard lacks one of those keys.
QList<xcb_key_press_event_t> keyEvents(const QKeySequence& shortcut, const QString& events) {
    xcb_connection_t* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    const QList<xcb_keycode_t> keys = keycodesOf(symbols, X11HotKey::keysymFor(shortcut[0].key()));
    const xcb_keycode_t other = keycodesOf(symbols, 'j').value(0);
    xcb_key_symbols_free(symbols);
    QList<xcb_key_press_event_t> sent;
    for (const QString& step : events.split(u' ')) {
        xcb_key_press_event_t event{};
        event.response_type = step[1] == u'+' ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
        event.detail = step[0] == u'x' ? other : keys.value(step[0].unicode() - u'a');
        if (event.detail == 0)
            return {};
        event.time = step.mid(2).toUInt();
        event.root = event.event = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        event.state = XCB_MOD_MASK_CONTROL;
        sent.append(event);
    }
    return sent;
}

} // namespace

class TestX11HotKey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The X11 grab only where the whole session is X11; in a Wayland session, also under
    // XWayland, the desktop portal.
    void theHotKeyFollowsTheSession_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<int>("kind");
        QTest::newRow("X11") << u"xcb"_qs << false << int(GlobalHotKey::Kind::X11Grab);
        QTest::newRow("XWayland") << u"xcb"_qs << true << int(GlobalHotKey::Kind::Portal);
        QTest::newRow("Wayland") << u"wayland-egl"_qs << true << int(GlobalHotKey::Kind::Portal);
        QTest::newRow("offscreen") << u"offscreen"_qs << false << int(GlobalHotKey::Kind::None);
    }
    void theHotKeyFollowsTheSession() {
        QFETCH(QString, platform);
        QFETCH(bool, wayland);
        QFETCH(int, kind);
        QCOMPARE(int(GlobalHotKey::kindFor(platform, wayland)), kind);
    }

    void initTestCase() {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("needs an X server (scripts/with-test-services starts one)");
        if (QStandardPaths::findExecutable(u"xdotool"_qs).isEmpty())
            QSKIP("needs xdotool (scripts/install-deps)");
    }

    void keysymsOfLettersDigitsAndFunctionKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<uint>("keysym");
        QTest::newRow("K") << int(Qt::Key_K) << uint('k');
        QTest::newRow("5") << int(Qt::Key_5) << uint('5');
        QTest::newRow("F12") << int(Qt::Key_F12) << 0xffc9u;
        QTest::newRow("space") << int(Qt::Key_Space) << 0x20u;
        QTest::newRow("comma") << int(Qt::Key_Comma) << uint(',');
        QTest::newRow("unknown") << int(Qt::Key_VolumeUp) << 0u;
    }
    void keysymsOfLettersDigitsAndFunctionKeys() {
        QFETCH(int, key);
        QFETCH(uint, keysym);
        QCOMPARE(X11HotKey::keysymFor(key), keysym);
    }

    void grabbedShortcutFiresWhateverTheLockKeys() {
        X11HotKey hotKey;
        hotKey.bind(kControlK);
        QCOMPARE(hotKey.status(), GlobalHotKey::Status::Active);
        QVERIFY(hotKey.problem().isEmpty());
        QSignalSpy activated(&hotKey, &GlobalHotKey::activated);

        press({u"ctrl+k"_qs});
        QTRY_COMPARE(activated.count(), 1);
        for (const QString& lock : {u"Caps_Lock"_qs, u"Num_Lock"_qs}) {
            press({lock});
            press({u"ctrl+k"_qs});
            press({lock});
            QTRY_COMPARE(activated.count(), lock == u"Caps_Lock" ? 2 : 3);
        }
    }

    void otherCombinationsDoNotFire() {
        X11HotKey hotKey;
        hotKey.bind(kControlK);
        QSignalSpy activated(&hotKey, &GlobalHotKey::activated);
        press({u"ctrl+shift+k"_qs, u"ctrl+j"_qs});
        hotKey.bind(QKeySequence(Qt::ControlModifier | Qt::Key_J)); // a marker that the keys were read
        press({u"ctrl+j"_qs});
        QTRY_COMPARE(activated.count(), 1);
    }

    // X repeats a held key as a release and a press with one time stamp; only the first press counts.
    void aHeldKeyFiresOnce_data() {
        const QKeySequence controlLess(Qt::ControlModifier | Qt::Key_Less); // two keys on a pc105 keyboard
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<QString>("events");
        QTest::addColumn<int>("activations");
        QTest::newRow("held") << kControlK << u"a+0 a-500 a+500 a-530 a+530 a-900"_qs << 1;
        QTest::newRow("pressed again") << kControlK << u"a+0 a-100 a+130 a-200"_qs << 2;
        QTest::newRow("after another key's release") << kControlK << u"x-100 a+100 a-200"_qs << 1;
        QTest::newRow("after the other key of its sign") << controlLess << u"a+0 a-100 b+100 b-200"_qs << 2;
    }
    void aHeldKeyFiresOnce() {
        QFETCH(QKeySequence, shortcut);
        QFETCH(QString, events);
        QFETCH(int, activations);
        X11HotKey hotKey;
        hotKey.bind(shortcut);
        QCOMPARE(hotKey.status(), GlobalHotKey::Status::Active);
        QList<xcb_key_press_event_t> sent = keyEvents(shortcut, events);
        if (sent.isEmpty())
            QSKIP("this keyboard lacks a key the case needs");
        QSignalSpy activated(&hotKey, &GlobalHotKey::activated);
        for (xcb_key_press_event_t& event : sent)
            hotKey.nativeEventFilter("xcb_generic_event_t", &event, nullptr);
        QCOMPARE(activated.count(), activations);
    }

    void unbindReleasesTheKeyForOthers() {
        {
            X11HotKey hotKey;
            hotKey.bind(kControlK);
            hotKey.unbind();
            QCOMPARE(hotKey.status(), GlobalHotKey::Status::Inactive);
            OtherProgram other;
            QVERIFY(other.grabbed());
        }
        X11HotKey again;
        again.bind(kControlK);
        QCOMPARE(again.status(), GlobalHotKey::Status::Active);
    }

    void keyHeldByAnotherProgramIsReportedPlainly() {
        OtherProgram other;
        QVERIFY(other.grabbed());
        X11HotKey hotKey;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(u"Another program already uses"_qs));
        hotKey.bind(kControlK);
        QCOMPARE(hotKey.status(), GlobalHotKey::Status::Failed);
        QVERIFY2(hotKey.problem().contains(u"Another program already uses"_qs), qPrintable(hotKey.problem()));
        QVERIFY(hotKey.problem().contains(u"pemmo toggle"_qs));
    }
};

int main(int argc, char* argv[]) {
    // The test environment asks for the offscreen platform; this test needs the real display.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    TestX11HotKey test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestX11HotKey.moc"
