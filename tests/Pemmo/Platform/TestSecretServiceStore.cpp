// The cloud key in a real keyring: run under scripts/with-test-services (as `make test` does), which
// gives this test a private session bus and a throwaway, unlocked gnome-keyring.
#include "Platform/SecretServiceStore.h"
#include "Settings/KeychainError.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QUuid>
#include <cstdio>

using namespace pemmo;

namespace {

constexpr const char* kChildFlag = "--read-without-a-bus";

// A service name of this run's own, so that even a keyring that is not throwaway keeps its items.
QString testService() {
    static const QString service =
        QStringLiteral("com.dorvane.Pemmo.test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    return service;
}

} // namespace

class TestSecretServiceStore : public QObject {
    Q_OBJECT

    SecretServiceStore m_store{testService()};

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus with a keyring: run it under scripts/with-test-services");
    }

    void cleanup() {
        m_store.remove(u"anthropic"_qs);
        m_store.remove(u"other"_qs);
    }

    // The names every saved key is filed under: a rename would leave each user's key behind, unread.
    void theApplicationFilesTheKeyUnderItsOwnService() {
        QCOMPARE(SecretServiceStore().service(), u"com.dorvane.Pemmo.ai"_qs);
        QCOMPARE(SecretStore::cloudKeyAccount(), u"anthropic"_qs);
    }

    void keysAreKeptPerAccountAndServiceAndAWriteReplacesOne() {
        m_store.write(u"sk-ant-\u00E9\u263A-1"_qs, u"anthropic"_qs);
        m_store.write(u"two"_qs, u"other"_qs);
        QCOMPARE(m_store.read(u"anthropic"_qs), u"sk-ant-\u00E9\u263A-1"_qs);
        m_store.write(u"sk-ant-2"_qs, u"anthropic"_qs);
        QCOMPARE(m_store.read(u"anthropic"_qs), u"sk-ant-2"_qs);
        QCOMPARE(m_store.read(u"other"_qs), u"two"_qs);
        // A second store object sees the same item: it lives in the keyring, not in the object.
        QCOMPARE(SecretServiceStore(testService()).read(u"anthropic"_qs), u"sk-ant-2"_qs);
        QCOMPARE(SecretServiceStore(testService() + u".elsewhere"_qs).read(u"anthropic"_qs), std::nullopt);
    }

    void deletingRemovesTheKeyAndDeletingAgainSucceeds() {
        m_store.write(u"secret"_qs, u"anthropic"_qs);
        m_store.remove(u"anthropic"_qs);
        QCOMPARE(m_store.read(u"anthropic"_qs), std::nullopt);
        m_store.remove(u"anthropic"_qs);
        m_store.remove(u"never-stored"_qs);
    }

    void withoutAKeyringFailuresCarryItsDescription() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_qs, u"unix:path=/nonexistent/pemmo-test-bus"_qs);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag)});
        QVERIFY(child.waitForFinished(30000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(out.startsWith(u"KeychainError: "_qs), qPrintable(out));
        // GDBus's own words ("Could not connect: No such file or directory"), not a text of ours.
        QVERIFY2(out.contains(u"connect"_qs, Qt::CaseInsensitive), qPrintable(out));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], kChildFlag) == 0) {
        // Child: a read must fail with the keyring's description, not crash or read as absent.
        try {
            const auto value = SecretServiceStore(testService()).read(u"anthropic"_qs);
            std::printf("no failure: %s\n", value ? "a value" : "absent");
        } catch (const KeychainError& error) {
            std::printf("KeychainError: %s\n", error.what());
        }
        return 0;
    }
    TestSecretServiceStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestSecretServiceStore.moc"
