// The timeline form: what a saved entry holds, what is refused, and the form's keys.
#include "../Shell/KeyPress.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/InteractionFormViewModel.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::await;

Q_DECLARE_METATYPE(Interaction::Source)

namespace {
const QDateTime kNow(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);
}

class TestInteractionFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;

    QList<Interaction> timeline() { return m_env->sync().profile(u"anna"_qs)->record->interactions; }
    // An entry of three days ago already on Anna's timeline.
    Interaction logged(Interaction::Kind kind, const QString& text, Interaction::Source source) {
        const Interaction entry{QUuid::createUuid(), kNow.addDays(-3), kind, text, {}, {}, source};
        await(m_env->sync().addInteraction(u"anna"_qs, entry));
        return entry;
    }

private Q_SLOTS:
    void init() {
        m_env = test::startedEnvironment({test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs)}, kNow);
        m_env->router().push(Route::profile(u"anna"_qs));
        m_env->router().push(Route::logInteraction(u"anna"_qs));
    }
    void cleanup() { m_env.reset(); }

    void aLoggedEntryIsTheUsersWithTheKindAndTrimmedText() {
        InteractionFormViewModel form(*m_env, u"anna"_qs);
        QCOMPARE(form.title(), u"Log interaction"_qs);
        form.setKindIndex(int(Interaction::Kind::Met));
        form.setText(u"  Coffee at the station \n"_qs);
        await(form.save());
        QCOMPARE(timeline().size(), 1);
        const Interaction entry = timeline().first();
        QCOMPARE(entry.text, u"Coffee at the station"_qs);
        QCOMPARE(entry.kind, Interaction::Kind::Met);
        QCOMPARE(entry.source, Interaction::Source::user());
        QCOMPARE(entry.date, kNow);
        QVERIFY(!entry.id.isNull());
        // Back on the card, with a word that it worked.
        QCOMPARE(m_env->router().topRoute(), Route::profile(u"anna"_qs));
        QCOMPARE(m_env->router().bannerStyle(), u"success"_qs);
    }

    // The day it happened: today is now (the first test shows it), an earlier day is noon of that
    // day here; a day that cannot be read or is still to come is refused on the form and nothing is
    // written.
    void theDayItHappened_data() {
        const QDate today = kNow.toLocalTime().date();
        const auto noon = [](QDate day) { return QDateTime(day, QTime(12, 0), Qt::LocalTime).toUTC(); };
        QTest::addColumn<QString>("day");
        QTest::addColumn<QDateTime>("stored");
        QTest::newRow("yesterday, any case") << u" Yesterday "_qs << noon(today.addDays(-1));
        QTest::newRow("a date") << today.addDays(-20).toString(Qt::ISODate) << noon(today.addDays(-20));
        QTest::newRow("far past") << u"1999-12-31"_qs << noon(QDate(1999, 12, 31));
        QTest::newRow("tomorrow is refused") << today.addDays(1).toString(Qt::ISODate) << QDateTime();
        QTest::newRow("words it cannot read are refused") << u"last week"_qs << QDateTime();
        QTest::newRow("a blank day is refused") << u"  "_qs << QDateTime();
    }
    void theDayItHappened() {
        QFETCH(QString, day);
        QFETCH(QDateTime, stored);
        InteractionFormViewModel form(*m_env, u"anna"_qs);
        QSignalSpy refused(&form, &InteractionFormViewModel::saveRefused);
        QCOMPARE(form.dayText(), u"today"_qs);
        form.setText(u"Dinner at Maria's"_qs);
        form.setDayText(day);
        await(form.save());
        if (!stored.isValid()) {
            // Told beside the Day field, not under the text.
            QVERIFY(!form.dayError().isEmpty());
            QVERIFY(form.error().isEmpty());
            QCOMPARE(refused.size(), 1);
            QVERIFY(timeline().isEmpty());
            QCOMPARE(m_env->router().topRoute(), Route::logInteraction(u"anna"_qs));
            // Correcting the day takes its message away.
            form.setDayText(u"today"_qs);
            QVERIFY(form.dayError().isEmpty());
            return;
        }
        QVERIFY(form.error().isEmpty());
        QVERIFY(form.dayError().isEmpty());
        QCOMPARE(refused.size(), 0);
        QCOMPARE(timeline().size(), 1);
        QCOMPARE(timeline().first().date, stored);
    }

    void anEntryMovedToAnotherDayTakesNoonOfIt() {
        const QDate today = kNow.toLocalTime().date();
        const Interaction original = logged(Interaction::Kind::Met, u"Lunch"_qs, Interaction::Source::user());
        InteractionFormViewModel form(*m_env, u"anna"_qs, original.id);
        QCOMPARE(form.dayText(), today.addDays(-3).toString(Qt::ISODate));
        form.setDayText(u"yesterday"_qs);
        await(form.save());
        QCOMPARE(timeline().first().date, QDateTime(today.addDays(-1), QTime(12, 0), Qt::LocalTime).toUTC());
    }

    void aBlankEntryIsRefusedInline() {
        InteractionFormViewModel form(*m_env, u"anna"_qs);
        form.setText(u" \n "_qs);
        await(form.save());
        QVERIFY(!form.error().isEmpty());
        QVERIFY(form.dayError().isEmpty());
        QVERIFY(timeline().isEmpty());
        QCOMPARE(m_env->router().depth(), 3); // still on the form
        form.setText(u"Lunch"_qs);
        QVERIFY(form.error().isEmpty());
    }

    // A blank text and a day still to come are both told at once, each beside its own field; each
    // message goes as its field is corrected.
    void eachProblemIsToldBesideItsField() {
        InteractionFormViewModel form(*m_env, u"anna"_qs);
        form.setText(u"  "_qs);
        form.setDayText(u"2999-01-01"_qs);
        await(form.save());
        QCOMPARE(form.dayError(), u"2999-01-01 is still to come. The timeline keeps what has happened."_qs);
        QCOMPARE(form.error(), u"Write what happened to save it."_qs);
        form.setText(u"Coffee"_qs);
        QVERIFY(form.error().isEmpty());
        QVERIFY(!form.dayError().isEmpty());
        form.setDayText(u"yesterday"_qs);
        QVERIFY(form.dayError().isEmpty());
        await(form.save());
        QCOMPARE(timeline().size(), 1);
    }

    // An entry Pemmo logged by itself becomes the user's once they rewrite its text: their words
    // are then found by search and Ask, and the card stops calling it Pemmo's.
    void editingKeepsTheEntrysIdAndDate_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<Interaction::Source>("source");
        QTest::newRow("rewritten text makes it the user's")
            << u"Asked about the move"_qs << int(Interaction::Kind::Message) << Interaction::Source::user();
        QTest::newRow("only the kind changed keeps it Pemmo's")
            << u"Opened Messages"_qs << int(Interaction::Kind::Call) << Interaction::Source::automatic();
        QTest::newRow("white space added is no rewrite")
            << u"Opened Messages \n"_qs << int(Interaction::Kind::Message)
            << Interaction::Source::automatic();
    }
    void editingKeepsTheEntrysIdAndDate() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(Interaction::Source, source);
        const Interaction original =
            logged(Interaction::Kind::Message, u"Opened Messages"_qs, Interaction::Source::automatic());
        InteractionFormViewModel form(*m_env, u"anna"_qs, original.id);
        QVERIFY(form.isEditing());
        QCOMPARE(form.text(), u"Opened Messages"_qs);
        QCOMPARE(form.kindIndex(), int(Interaction::Kind::Message));
        form.setText(text);
        form.setKindIndex(kind);
        await(form.save());
        QCOMPARE(timeline().size(), 1);
        QCOMPARE(timeline().first().id, original.id);
        QCOMPARE(timeline().first().date, original.date);
        QCOMPARE(timeline().first().source, source);
        QCOMPARE(timeline().first().text, text.trimmed());
    }

    // Escape leaves the form without writing, and what was typed comes back the next time the
    // form opens for that person (or that entry), until it is saved or emptied.
    void escapeKeepsWhatWasTypedForNextTime() {
        InteractionFormViewModel first(*m_env, u"anna"_qs);
        first.setKindIndex(int(Interaction::Kind::Met));
        first.setText(u"Long lunch at the harbour; she is moving to Lisbon"_qs);
        first.setDayText(u"yesterday"_qs);
        QCOMPARE(first.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(m_env->router().topRoute(), Route::profile(u"anna"_qs));
        QVERIFY(timeline().isEmpty());
        QVERIFY(!m_env->router().bannerMessage().isEmpty());

        m_env->router().push(Route::logInteraction(u"anna"_qs));
        InteractionFormViewModel again(*m_env, u"anna"_qs);
        QCOMPARE(again.text(), u"Long lunch at the harbour; she is moving to Lisbon"_qs);
        QCOMPARE(again.kindIndex(), int(Interaction::Kind::Met));
        QCOMPARE(again.dayText(), u"yesterday"_qs);
        await(again.save());
        QCOMPARE(timeline().size(), 1);

        // Saved, the draft is gone.
        m_env->router().push(Route::logInteraction(u"anna"_qs));
        InteractionFormViewModel afterSaving(*m_env, u"anna"_qs);
        QVERIFY(afterSaving.text().isEmpty());
        QCOMPARE(afterSaving.dayText(), u"today"_qs);
    }

    void anEditsDraftBelongsToItsEntry() {
        const Interaction entry = logged(Interaction::Kind::Met, u"Lunch"_qs, Interaction::Source::user());
        m_env->router().push(Route::editInteraction(u"anna"_qs, entry.id));
        InteractionFormViewModel edit(*m_env, u"anna"_qs, entry.id);
        edit.setText(u"Lunch, and the long walk back along the river"_qs);
        edit.cancel();
        QCOMPARE(timeline().first().text, u"Lunch"_qs);
        InteractionFormViewModel newEntry(*m_env, u"anna"_qs);
        QVERIFY(newEntry.text().isEmpty());
        InteractionFormViewModel editAgain(*m_env, u"anna"_qs, entry.id);
        QCOMPARE(editAgain.text(), u"Lunch, and the long walk back along the river"_qs);
        // Back to the entry's own text: nothing is kept.
        editAgain.setText(u"Lunch"_qs);
        editAgain.cancel();
        InteractionFormViewModel third(*m_env, u"anna"_qs, entry.id);
        QCOMPARE(third.text(), u"Lunch"_qs);
    }

    // (Escape, which leaves without saving, is followed in escapeKeepsWhatWasTypedForNextTime.)
    void controlReturnSavesAndReturnIsANewLine() {
        InteractionFormViewModel form(*m_env, u"anna"_qs);
        form.setText(u"Walk"_qs);
        QCOMPARE(form.handleKey(test::key(Qt::Key_Return)), KeyResult::Pass); // a new line in the text
        QCOMPARE(form.handleKey(test::key(Qt::Key_Return, Qt::ControlModifier)), KeyResult::Handled);
        QTRY_COMPARE(timeline().size(), 1);
        QCOMPARE(m_env->router().topRoute(), Route::profile(u"anna"_qs));
    }
};

QTEST_MAIN(TestInteractionFormViewModel)
#include "TestInteractionFormViewModel.moc"
