// Secrets in memory behave like the keyring: missing reads as absent, deleting nothing succeeds.
#include "Settings/InMemorySecretStore.h"

#include <QTest>

using namespace pemmo;

class TestInMemorySecretStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void behavesLikeTheKeyring() {
        InMemorySecretStore secrets;
        QCOMPARE(secrets.read(u"anthropic"_qs), std::nullopt);
        secrets.remove(u"anthropic"_qs);
        secrets.write(u"one"_qs, u"anthropic"_qs);
        secrets.write(u"two"_qs, u"anthropic"_qs);
        secrets.write(u"other"_qs, u"else"_qs);
        QCOMPARE(secrets.read(u"anthropic"_qs), u"two"_qs);
        secrets.remove(u"anthropic"_qs);
        QCOMPARE(secrets.read(u"anthropic"_qs), std::nullopt);
        QCOMPARE(secrets.read(u"else"_qs), u"other"_qs);
    }
};

QTEST_GUILESS_MAIN(TestInMemorySecretStore)
#include "TestInMemorySecretStore.moc"
