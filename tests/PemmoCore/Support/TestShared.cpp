// Sharing what is equal: handles that copy a body only when it is edited, and equal short texts
// that are one string while decoding, only inside the scope.
#include "Records/SharedTexts.h"
#include "Support/Shared.h"

#include <QList>
#include <QString>
#include <QTest>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pemmo {
namespace {

struct Card {
    QString name;
    QList<int> numbers;

    bool operator==(const Card&) const = default;
};

} // namespace
} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::Card)

namespace pemmo {

class TestShared : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withChangesACopyAndLeavesEveryHolderItsValue() {
        const Shared<Card> original(Card{u"Ada"_qs, {1}});
        const Card* body = &*original;
        const Shared<Card> changed = original.with([](Card& card) { card.numbers.append(2); });
        QCOMPARE(changed->numbers, (QList<int>{1, 2}));
        QCOMPARE(original->numbers, QList<int>{1});
        QCOMPARE(&*original, body);
        QVERIFY(!changed.sharesBodyWith(original));
    }

    // A sole body is changed in place; one that others hold is copied first.
    void editCopiesOnlyABodyOthersHold() {
        Shared<Card> mine(Card{u"Ada"_qs, {1}});
        const Card* body = &*mine;
        mine.edit().name = u"Bea"_qs;
        QCOMPARE(&*mine, body);
        QCOMPARE(mine->name, u"Bea"_qs);

        const Shared<Card> theirs = mine;
        QCOMPARE(&*theirs, &*mine); // a copy shares the body until it is edited
        mine.edit().numbers.append(2);
        QCOMPARE(mine->numbers, (QList<int>{1, 2}));
        QCOMPARE(theirs->numbers, QList<int>{1});
        QVERIFY(!mine.sharesBodyWith(theirs));
    }

    void equalityComparesValues_data() {
        QTest::addColumn<Card>("a");
        QTest::addColumn<Card>("b");
        QTest::addColumn<bool>("equal");
        QTest::newRow("same value, two bodies") << Card{u"Ada"_qs, {1}} << Card{u"Ada"_qs, {1}} << true;
        QTest::newRow("other name") << Card{u"Ada"_qs, {1}} << Card{u"Bea"_qs, {1}} << false;
        QTest::newRow("other list") << Card{u"Ada"_qs, {1}} << Card{u"Ada"_qs, {1, 2}} << false;
    }

    void equalityComparesValues() {
        QFETCH(Card, a);
        QFETCH(Card, b);
        QFETCH(bool, equal);
        const Shared<Card> left(a);
        const Shared<Card> right(b);
        QVERIFY(!left.sharesBodyWith(right));
        QCOMPARE(left == right, equal);
        QCOMPARE(left != right, !equal);
        QCOMPARE(left == b, equal);
        QCOMPARE(a == right, equal);
    }

    void defaultHandlesHoldTheDefaultValue() {
        const Shared<Card> a;
        const Shared<Card> b;
        QCOMPARE(*a, Card{});
        QVERIFY(a.sharesBodyWith(b));
        QCOMPARE(a, Shared<Card>(Card{}));
        // Editing one leaves the default every other default handle holds alone.
        Shared<Card> edited;
        edited.edit().name = u"Ada"_qs;
        QCOMPARE(*b, Card{});
        QCOMPARE(edited->name, u"Ada"_qs);
    }

    void handlesCopiedAndDroppedOnManyThreadsKeepTheBodyAlive() {
        // Threads copy and drop handles to one body while this one drops its own; the body must
        // live until the last handle goes, and no thread may see it change.
        auto own = std::make_unique<Shared<Card>>(Card{u"Ada"_qs, QList<int>(64, 7)});
        QList<Shared<Card>> handles(4, *own);
        std::vector<int> sums(std::size_t(handles.size()), 0);
        std::vector<std::thread> threads;
        for (qsizetype i = 0; i < handles.size(); ++i) {
            threads.emplace_back([&handles, &sums, i] {
                int sum = 0;
                for (int round = 0; round < 2000; ++round) {
                    const Shared<Card> copy = handles.at(i);
                    sum += copy->numbers.value(round % 64);
                }
                sums[std::size_t(i)] = sum;
            });
        }
        own.reset();
        for (std::thread& thread : threads)
            thread.join();
        for (const int sum : sums)
            QCOMPARE(sum, 2000 * 7);
        for (const Shared<Card>& handle : std::as_const(handles))
            QCOMPARE(handle->name, u"Ada"_qs);
    }

    // Equal short texts while decoding.
    void equalShortTextsAreOneStringWhileAlive() {
        const std::string a = "Växjö";
        const std::string b = "Växjö"; // equal bytes elsewhere, as two records hold them
        SharedTexts shared;
        const QString first = SharedTexts::text(a);
        const QString second = SharedTexts::text(b);
        QCOMPARE(second, QStringLiteral("Växjö"));
        QCOMPARE(second.constData(), first.constData());
        QVERIFY(SharedTexts::text("Vaxjo").constData() != first.constData());
    }

    void valuesAreThoseOfTheBytes_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short") << QByteArray("family");
        QTest::newRow("at the limit") << QByteArray(qsizetype(SharedTexts::maximumLength), 'x');
        QTest::newRow("longer") << QByteArray("Met at the climbing gym, works on compilers");
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe");
    }
    void valuesAreThoseOfTheBytes() {
        QFETCH(QByteArray, utf8);
        const std::string_view view(utf8.constData(), std::size_t(utf8.size()));
        SharedTexts shared;
        QCOMPARE(SharedTexts::text(view), QString::fromUtf8(utf8));
        QCOMPARE(SharedTexts::text(view), QString::fromUtf8(utf8)); // and when met again
    }

    void longTextsAreMadeAfresh() {
        const std::string note(SharedTexts::maximumLength + 1, 'n');
        SharedTexts shared;
        QVERIFY(SharedTexts::text(note).constData() != SharedTexts::text(note).constData());
    }

    // Nothing is shared outside a scope, and an inner scope ends without ending the outer.
    void sharingLastsAsLongAsItsOutermostScope() {
        QVERIFY(SharedTexts::text("work").constData() != SharedTexts::text("work").constData());
        SharedTexts outer;
        const QString before = SharedTexts::text("work");
        {
            SharedTexts inner;
            QVERIFY(SharedTexts::text("work").constData() != before.constData());
        }
        QCOMPARE(SharedTexts::text("work").constData(), before.constData());
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestShared)
#include "TestShared.moc"
