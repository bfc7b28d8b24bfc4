// Guessing the user's own addresses from who takes part in their events.
#include "Calendar/SelfAddresses.h"

#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(QList<QSet<QString>>)

namespace {

QSet<QString> series(std::initializer_list<const char*> addresses) {
    QSet<QString> set;
    for (const char* a : addresses)
        set.insert(QString::fromLatin1(a));
    return set;
}

} // namespace

class TestSelfAddresses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void infer_data() {
        QTest::addColumn<QList<QSet<QString>>>("events");
        QTest::addColumn<QStringList>("hints");
        QTest::addColumn<QStringList>("self");

        QTest::newRow("the one in every meeting")
            << QList{series({"me@x", "ada@x"}), series({"me@x", "alan@x"}),
                     series({"me@x", "grace@x", "ada@x"})}
            << QStringList() << QStringList{u"me@x"_qs};
        QTest::newRow("a work and a personal address")
            << QList{series({"me@work", "ada@x"}), series({"me@work", "alan@x"}),
                     series({"me@work", "grace@x"}), series({"me@home", "sis@x"}),
                     series({"me@home", "mum@x"})}
            << QStringList() << QStringList{u"me@work"_qs, u"me@home"_qs};
        QTest::newRow("a single one-on-one tells nothing")
            << QList{series({"me@x", "ada@x"})} << QStringList() << QStringList();
        QTest::newRow("one person in every meeting too is a tie")
            << QList{series({"me@x", "ada@x"}), series({"me@x", "ada@x"})} << QStringList() << QStringList();
        QTest::newRow("events without others do not count")
            << QList{series({"me@x"}), series({"me@x"}), series({"ada@x"})} << QStringList() << QStringList();
        QTest::newRow("the calendar's name is the address")
            << QList{series({"me@gmail.example", "ada@x"})} << QStringList{u"Me@Gmail.example"_qs, u"Work"_qs}
            << QStringList{u"me@gmail.example"_qs};
        QTest::newRow("a name that takes part in nothing is no hint")
            << QList{series({"me@x", "ada@x"}), series({"me@x", "alan@x"})} << QStringList{u"team@x"_qs}
            << QStringList{u"me@x"_qs};
        QTest::newRow("strangers' meetings do not make them the user")
            << QList{series({"me@x", "ada@x"}), series({"me@x", "alan@x"}), series({"me@x", "bob@x"}),
                     series({"carol@x", "dan@x"})}
            << QStringList() << QStringList{u"me@x"_qs};
    }
    void infer() {
        QFETCH(QList<QSet<QString>>, events);
        QFETCH(QStringList, hints);
        QFETCH(QStringList, self);
        QCOMPARE(SelfAddresses::infer(events, hints), self);
    }
};

QTEST_GUILESS_MAIN(TestSelfAddresses)
#include "TestSelfAddresses.moc"
