#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Store/StoreFile.h"

#include <QTest>

namespace pemmo {
namespace {

const QDateTime kNow = QDateTime(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

QuickLink link(QuickLink::Kind kind, const QString& title) {
    return QuickLink{QUuid(), kind, title, u"https://example.com/"_qs + title};
}

} // namespace
} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::WritableField)

namespace pemmo {

class TestRecordEdits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A field set to a value: trimmed, and a change logged unless the value stays as it was.
    void setFieldLogsWhatChanged_data() {
        QTest::addColumn<WritableField>("field");
        QTest::addColumn<QString>("before"); // empty: unset
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after"); // empty: unset
        QTest::newRow("set, trimmed") << WritableField::Company << QString() << u"  Acme \n"_qs << u"Acme"_qs;
        QTest::newRow("the same, trimmed")
            << WritableField::MessageHandle << u"+1 555 0100"_qs << u" +1 555 0100 "_qs << u"+1 555 0100"_qs;
        QTest::newRow("blank clears")
            << WritableField::FindMyURL << u"https://example.com/find"_qs << u"   "_qs << QString();
    }
    void setFieldLogsWhatChanged() {
        QFETCH(WritableField, field);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        const auto value = [](const QString& text) {
            return text.isEmpty() ? std::nullopt : std::optional(text);
        };
        PemmoRecord record = PemmoRecord::fresh(kNow);
        WritableFields::slot(record, field) = value(before);
        const bool changed = before != after;
        QCOMPARE(RecordEdits::setField(record, field, typed, Interaction::Source::ai(u"model-x"_qs), kNow),
                 changed);
        QCOMPARE(WritableFields::slot(record, field), value(after));
        QCOMPARE(record.changes.size(), changed ? 1 : 0);
        if (!changed)
            return;
        const FieldChange& change = record.changes.first();
        QCOMPARE(change.field, WritableFields::name(field));
        QCOMPARE(change.oldValue, value(before));
        QCOMPARE(change.newValue, value(after));
        QCOMPARE(change.date, kNow);
        QVERIFY(change.source == Interaction::Source::ai(u"model-x"_qs));
        QVERIFY(!change.id.isNull());
    }

    void sixthCustomLinkIsRefused() {
        PemmoRecord record = PemmoRecord::fresh(kNow);
        for (int i = 0; i < RecordEdits::customLinkLimit; ++i)
            QVERIFY(RecordEdits::addLink(record, link(QuickLink::Kind::Custom, QString::number(i))));
        // Links of the other kinds do not count against the limit.
        QVERIFY(RecordEdits::addLink(record, link(QuickLink::Kind::LinkedIn, u"in"_qs)));
        try {
            RecordEdits::addLink(record, link(QuickLink::Kind::Custom, u"six"_qs));
            QFAIL("the sixth custom link was accepted");
        } catch (const PemmoError& error) {
            QCOMPARE(error, PemmoError::customLinkLimitReached(5));
        }
        QCOMPARE(record.links.size(), 6);
        // Nor may a link become the sixth custom one by editing.
        QuickLink edited = record.links.last();
        edited.kind = QuickLink::Kind::Custom;
        QVERIFY_THROWS_EXCEPTION(PemmoError, RecordEdits::updateLink(record, edited));
    }

    void linksGetIDsAndAreEditedByID() {
        PemmoRecord record = PemmoRecord::fresh(kNow);
        RecordEdits::addLink(record, link(QuickLink::Kind::X, u"x"_qs));
        QuickLink stored = record.links.first();
        QVERIFY(!stored.id.isNull());
        stored.title = u"renamed"_qs;
        QVERIFY(RecordEdits::updateLink(record, stored));
        QCOMPARE(record.links.first().title, u"renamed"_qs);
        QVERIFY(!RecordEdits::updateLink(record, link(QuickLink::Kind::X, u"unknown"_qs)));
        QVERIFY(RecordEdits::removeLink(record, stored.id));
        QVERIFY(record.links.isEmpty());
    }

    void interactionsAreAddedEditedAndRemovedByID() {
        PemmoRecord record = PemmoRecord::fresh(kNow);
        Interaction note;
        note.date = kNow;
        note.text = u"Coffee"_qs;
        QVERIFY(RecordEdits::addInteraction(record, note));
        Interaction stored = record.interactions.first();
        QVERIFY(!stored.id.isNull());
        QVERIFY(!RecordEdits::updateInteraction(record, stored));
        stored.text = u"Long coffee"_qs;
        QVERIFY(RecordEdits::updateInteraction(record, stored));
        QCOMPARE(record.interactions.first().text, u"Long coffee"_qs);
        QVERIFY(RecordEdits::removeInteraction(record, stored.id));
        QVERIFY(!RecordEdits::removeInteraction(record, stored.id));
    }

    void appendAboutAddsAParagraph_data() {
        QTest::addColumn<QString>("about");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("changed");
        QTest::newRow("to empty") << QString() << u" Likes tea "_qs << u"Likes tea"_qs << true;
        QTest::newRow("to blank") << u" \n"_qs << u"Likes tea"_qs << u"Likes tea"_qs << true;
        QTest::newRow("to text") << u"Knows Rust\n"_qs << u"Likes tea"_qs << u"Knows Rust\n\nLikes tea"_qs
                                 << true;
        QTest::newRow("blank addition") << u"Knows Rust"_qs << u"  "_qs << u"Knows Rust"_qs << false;
    }

    void appendAboutAddsAParagraph() {
        QFETCH(QString, about);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(bool, changed);
        PemmoRecord record = PemmoRecord::fresh(kNow);
        record.about = about;
        QCOMPARE(RecordEdits::appendAbout(record, text), changed);
        QCOMPARE(record.about, expected);
    }

    // Circles are kept once; every plain edit reports whether it changed anything.
    void plainEditsReportChange() {
        PemmoRecord record = PemmoRecord::fresh(kNow);
        QVERIFY(RecordEdits::addTag(record, u"family"_qs));
        QVERIFY(!RecordEdits::addTag(record, u"family"_qs));
        QCOMPARE(record.tags, QStringList{u"family"_qs});
        QVERIFY(RecordEdits::removeTag(record, u"family"_qs));
        QVERIFY(!RecordEdits::removeTag(record, u"family"_qs));
        QVERIFY(record.tags.isEmpty());
        QVERIFY(RecordEdits::setAICloudOptOut(record, true));
        QVERIFY(!RecordEdits::setAICloudOptOut(record, true));
        QVERIFY(RecordEdits::setBirthday(record, DateComponents{std::nullopt, 4, 1}));
        QVERIFY(!RecordEdits::setBirthday(record, DateComponents{std::nullopt, 4, 1}));
        QVERIFY(RecordEdits::setBirthday(record, std::nullopt));
        BriefingCache briefing{u"hash"_qs, u"summary"_qs, u"opener"_qs, kNow, u"model"_qs, false, QString()};
        QVERIFY(RecordEdits::setBriefing(record, briefing));
        QVERIFY(!RecordEdits::setBriefing(record, briefing));
        QCOMPARE(record.briefingCache, std::optional<BriefingCache>(briefing));
    }

    // A birthday the file cannot hold is refused when it is set: stored, it would make the whole
    // store unreadable at the next start.
    void birthdaysThatAreNoDayAreRefused_data() {
        QTest::addColumn<int>("year"); // 0: no year
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ordinary") << 1990 << 7 << 14 << true;
        QTest::newRow("without a year") << 0 << 12 << 31 << true;
        QTest::newRow("29 February without a year") << 0 << 2 << 29 << true;
        QTest::newRow("29 February of a leap year") << 2024 << 2 << 29 << true;
        QTest::newRow("first and last years") << 9999 << 1 << 1 << true;
        QTest::newRow("29 February of another year") << 2023 << 2 << 29 << false;
        QTest::newRow("31 April") << 1990 << 4 << 31 << false;
        QTest::newRow("month 13") << 0 << 13 << 1 << false;
        QTest::newRow("month 0") << 1990 << 0 << 5 << false;
        QTest::newRow("day 0") << 1990 << 5 << 0 << false;
        QTest::newRow("day 32") << 0 << 1 << 32 << false;
        QTest::newRow("year 10000") << 10000 << 1 << 1 << false;
        QTest::newRow("negative year") << -44 << 3 << 15 << false;
    }
    void birthdaysThatAreNoDayAreRefused() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(bool, valid);
        const DateComponents birthday{year == 0 ? std::nullopt : std::optional<int>(year), month, day};
        QCOMPARE(RecordEdits::isValidBirthday(birthday), valid);

        PemmoRecord record = PemmoRecord::fresh(kNow);
        record.birthday = DateComponents{1980, 1, 2};
        const PemmoRecord before = record;
        try {
            RecordEdits::setBirthday(record, birthday);
            QVERIFY2(valid, "an impossible birthday was taken");
        } catch (const PemmoError& error) {
            QVERIFY2(!valid, "a real birthday was refused");
            QCOMPARE(error.errorCase(), PemmoError::Case::InvalidBirthday);
            QCOMPARE(record, before);
            return;
        }
        // What was taken reads back from the store file.
        const RecordMap written{{u"A"_qs, record}};
        QCOMPARE(StoreFile::decode(QByteArray::fromStdString(StoreFile::encode(written)), kNow), written);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestRecordEdits)
#include "TestRecordEdits.moc"
