// The X11 key grab against a real X server (the test services' Xvfb): it fires from anywhere,
// whatever the lock keys, and says so plainly when another program holds the key.
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

} // namespace

class TestX11HotKey : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

        press({u"Caps_Lock"_qs});
        press({u"ctrl+k"_qs});
        press({u"Caps_Lock"_qs});
        QTRY_COMPARE(activated.count(), 2);

        press({u"Num_Lock"_qs});
        press({u"ctrl+k"_qs});
        press({u"Num_Lock"_qs});
        QTRY_COMPARE(activated.count(), 3);
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
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"Another program already uses"_qs));
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
