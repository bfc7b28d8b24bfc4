// One link per site, five custom links at most, and the digits that open links from the card.
#include "Links/QuickLinkPolicy.h"
#include "Records/PemmoError.h"

#include <QTest>

using namespace pemmo;

namespace {

QuickLink link(QuickLink::Kind kind, const QString& title) {
    return QuickLink{QUuid::createUuid(), kind, title, u"https://example.org/"_qs + title};
}

QStringList titles(const QList<QuickLink>& links) {
    QStringList out;
    for (const QuickLink& l : links)
        out.append(l.title);
    return out;
}

} // namespace

class TestQuickLinkPolicy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aSecondSiteLinkReplacesTheFirstInPlaceAndANewKindIsAppended() {
        QList<QuickLink> links = {link(QuickLink::Kind::LinkedIn, u"old"_qs),
                                  link(QuickLink::Kind::Custom, u"blog"_qs)};
        links = QuickLinkPolicy::upsert(link(QuickLink::Kind::LinkedIn, u"new"_qs), links);
        QCOMPARE(titles(links), (QStringList{u"new"_qs, u"blog"_qs}));
        links = QuickLinkPolicy::upsert(link(QuickLink::Kind::X, u"x"_qs), links);
        QCOMPARE(titles(links), (QStringList{u"new"_qs, u"blog"_qs, u"x"_qs}));
    }

    void theSixthCustomLinkIsRefusedAndSiteLinksDoNotCount() {
        QList<QuickLink> links = {link(QuickLink::Kind::Instagram, u"ig"_qs),
                                  link(QuickLink::Kind::X, u"x"_qs)};
        for (int i = 1; i <= 5; ++i)
            links = QuickLinkPolicy::upsert(link(QuickLink::Kind::Custom, QString::number(i)), links);
        QCOMPARE(links.size(), 7);
        try {
            QuickLinkPolicy::upsert(link(QuickLink::Kind::Custom, u"6"_qs), links);
            QFAIL("a sixth custom link was accepted");
        } catch (const PemmoError& error) {
            QCOMPARE(error, PemmoError::customLinkLimitReached(5));
            QCOMPARE(error.message(), u"You can add up to 5 custom links."_qs);
        }
        // A site link still goes in.
        links = QuickLinkPolicy::upsert(link(QuickLink::Kind::LinkedIn, u"in"_qs), links);
        QCOMPARE(links.size(), 8);
    }

    // A changed link keeps its place; turned into a site link it pushes out that site's other link.
    void aChangedLinkKeepsItsPlace_data() {
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("custom stays custom") << 1 << int(QuickLink::Kind::Custom)
                                             << QStringList{u"in"_qs, u"changed"_qs, u"x"_qs, u"notes"_qs};
        QTest::newRow("custom becomes X")
            << 3 << int(QuickLink::Kind::X) << QStringList{u"in"_qs, u"blog"_qs, u"changed"_qs};
        QTest::newRow("LinkedIn becomes custom")
            << 0 << int(QuickLink::Kind::Custom)
            << QStringList{u"changed"_qs, u"blog"_qs, u"x"_qs, u"notes"_qs};
    }
    void aChangedLinkKeepsItsPlace() {
        QFETCH(int, changed);
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        const QList<QuickLink> links = {
            link(QuickLink::Kind::LinkedIn, u"in"_qs), link(QuickLink::Kind::Custom, u"blog"_qs),
            link(QuickLink::Kind::X, u"x"_qs), link(QuickLink::Kind::Custom, u"notes"_qs)};
        QuickLink edited = links[changed];
        edited.kind = QuickLink::Kind(kind);
        edited.title = u"changed"_qs;
        QCOMPARE(titles(QuickLinkPolicy::replace(edited, links)), expected);
    }

    void aSiteLinkTurnedCustomCountsAgainstTheLimit() {
        QList<QuickLink> links = {link(QuickLink::Kind::Instagram, u"insta"_qs)};
        for (int i = 0; i < QuickLinkPolicy::customLinkLimit; ++i)
            links.append(link(QuickLink::Kind::Custom, QString::number(i)));
        QuickLink edited = links.first();
        edited.kind = QuickLink::Kind::Custom;
        QVERIFY_THROWS_EXCEPTION(PemmoError, QuickLinkPolicy::replace(edited, links));
        // An unknown id is added as a new link would be.
        const QuickLink other = link(QuickLink::Kind::Instagram, u"other"_qs);
        QCOMPARE(titles(QuickLinkPolicy::replace(other, links)).first(), u"other"_qs);
    }

    void digitsCountOnlyXAndCustomLinksInCardOrder() {
        QList<QuickLink> links = {link(QuickLink::Kind::Instagram, u"ig"_qs),
                                  link(QuickLink::Kind::Custom, u"a"_qs),
                                  link(QuickLink::Kind::LinkedIn, u"in"_qs),
                                  link(QuickLink::Kind::X, u"x"_qs), link(QuickLink::Kind::Custom, u"b"_qs)};
        const QList<std::optional<int>> digits{std::nullopt, 1, std::nullopt, 2, 3};
        for (qsizetype i = 0; i < links.size(); ++i)
            QCOMPARE(QuickLinkPolicy::digitShortcut(links[i].id, links), digits[i]);
        QCOMPARE(QuickLinkPolicy::digitShortcut(QUuid::createUuid(), links), std::nullopt);
        QCOMPARE(QuickLinkPolicy::linkForDigit(2, links)->title, u"x"_qs);
        QVERIFY(!QuickLinkPolicy::linkForDigit(4, links));
        QVERIFY(!QuickLinkPolicy::linkForDigit(0, links));
    }

    void theTenthLinkHasNoDigit() {
        QList<QuickLink> links;
        for (int i = 1; i <= 10; ++i)
            links.append(link(i % 2 ? QuickLink::Kind::X : QuickLink::Kind::Custom, QString::number(i)));
        QCOMPARE(QuickLinkPolicy::digitShortcut(links[8].id, links), 9);
        QCOMPARE(QuickLinkPolicy::digitShortcut(links[9].id, links), std::nullopt);
        QCOMPARE(QuickLinkPolicy::linkForDigit(9, links)->title, u"9"_qs);
    }
};

QTEST_GUILESS_MAIN(TestQuickLinkPolicy)
#include "TestQuickLinkPolicy.moc"
