// What a store file's bytes are: the decision the store's owner and a reader both act on.
#include "Store/StoreClassifier.h"

#include <QTest>

using namespace pemmo;
using Kind = StoreClassifier::Kind;

Q_DECLARE_METATYPE(StoreClassifier::Kind)

namespace {

const QDateTime kNow = QDateTime(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

} // namespace

class TestStoreClassifier : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classify_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("records");

        QTest::newRow("current") << QByteArray(R"({"schema":2,"records":{"A":{},"B":{"schema":2}}})")
                                 << Kind::Current << 2;
        // Older numbers were never written by a layout that differs; they read as they are.
        QTest::newRow("older schema number")
            << QByteArray(R"({"schema":1,"records":{"A":{}}})") << Kind::Current << 1;
        QTest::newRow("newer file") << QByteArray(R"({"schema":3,"records":{"A":{}}})") << Kind::Newer << 1;
        QTest::newRow("newer record in a current file")
            << QByteArray(R"({"schema":2,"records":{"A":{},"B":{"schema":7}}})") << Kind::Newer << 2;
        QTest::newRow("newer layout that does not decode")
            << QByteArray(R"({"schema":3,"records":[{"id":"A"}]})") << Kind::Newer << 0;
        QTest::newRow("newer beyond 64 bits")
            << QByteArray(R"({"schema":18446744073709551615,"records":[]})") << Kind::Newer << 0;
        QTest::newRow("earlier layout")
            << QByteArray(R"({"A":{"pemmoData":{"company":"Acme"}}})") << Kind::Legacy << 1;
        QTest::newRow("broken record")
            << QByteArray(R"({"schema":2,"records":{"A":{"tags":"x"}}})") << Kind::Damaged << 0;
        QTest::newRow("records without schema") << QByteArray(R"({"records":{}})") << Kind::Damaged << 0;
        QTest::newRow("schema that is text")
            << QByteArray(R"({"schema":"3","records":{}})") << Kind::Damaged << 0;
        QTest::newRow("lone brace") << QByteArray("{") << Kind::Damaged << 0;
        QTest::newRow("empty") << QByteArray() << Kind::Damaged << 0;
    }

    void classify() {
        QFETCH(QByteArray, bytes);
        QFETCH(Kind, kind);
        QFETCH(int, records);
        const StoreClassifier::Result result = StoreClassifier::classify(bytes, kNow);
        QCOMPARE(result.kind, kind);
        QCOMPARE(result.records.size(), records);
        // What did not decode says why.
        const bool decoded = kind == Kind::Current || kind == Kind::Legacy || records > 0;
        QCOMPARE(result.problem.isEmpty(), decoded);
    }
};

QTEST_GUILESS_MAIN(TestStoreClassifier)
#include "TestStoreClassifier.moc"
