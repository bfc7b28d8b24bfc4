// What each prompt is made of: the context, the user's text and the variant each input selects.
#include "AI/Prompts.h"

#include <QTest>

using namespace pemmo;

namespace {

const QString kContext = QStringLiteral("{\n  \"name\": \"Ada\"\n}");

} // namespace

class TestPrompts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyPromptCarriesItsInputsAndVariant_data() {
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");

        QTest::newRow("briefing") << Prompts::briefing(kContext)
                                  << QStringList{u"one person:\n\n"_qs + kContext + u"\n\n"_qs}
                                  << QStringList();
        QTest::newRow("extract") << Prompts::extract(u"Ada Lovelace\nAnalyst"_qs)
                                 << QStringList{u"TEXT:\n\"\"\"\nAda Lovelace\nAnalyst\n\"\"\""_qs}
                                 << QStringList();
        // The fields a note may change are listed from the record's own writable fields.
        const QString fields =
            u"company, jobTitle, team, workLocation, school, major, graduationYear, howWeMet, "
            u"mutuals, hometown, currentCity, email, messageHandle, findMyURL, gmailTemplate."_qs;
        const QString note = u"NOTE:\n\"\"\"\nCoffee with Ada yesterday\n\"\"\""_qs;
        QTest::newRow("capture for a person")
            << Prompts::capture(u"Coffee with Ada yesterday"_qs, kContext, u"2026-03-04"_qs)
            << QStringList{u"Today is 2026-03-04."_qs, u"about this person:\n\n"_qs + kContext, fields, note}
            << QStringList{u"No person is selected"_qs};
        QTest::newRow("capture for nobody")
            << Prompts::capture(u"Coffee with Ada yesterday"_qs, std::nullopt, u"2026-03-04"_qs)
            << QStringList{u"No person is selected. If the note names someone, put that name in personName"_qs,
                           fields, note}
            << QStringList{u"about this person"_qs};
        QTest::newRow("draft message with a wish")
            << Prompts::draft(kContext, Channel::Message, u"  congratulate her on the launch \n"_qs)
            << QStringList{u"Draft a message from the user"_qs,
                           u"What the user wants to say: congratulate her on the launch\n\n"_qs,
                           u"Reply with the message text"_qs}
            << QStringList{u"[your name]"_qs};
        QTest::newRow("draft email with a blank wish")
            << Prompts::draft(kContext, Channel::Email, u" \n\t"_qs)
            << QStringList{u"Draft an email from the user"_qs, u"[your name]"_qs}
            << QStringList{u"wants to say"_qs};
        QTest::newRow("rank")
            << Prompts::rank(u"who plays \"jazz\"?"_qs,
                             {{u"A1"_qs, u"Ada Lovelace"_qs, u"Analyst @ Engines \u00B7 friends"_qs},
                              {u"B2"_qs, u"Grace Hopper"_qs, QString()}})
            << QStringList{u"looking for: \"who plays \"jazz\"?\"\n"_qs,
                           u"(id | name | details):\nA1 | Ada Lovelace | Analyst @ Engines \u00B7 friends\n"
                           u"B2 | Grace Hopper | \n\nChoose"_qs}
            << QStringList();
    }

    void everyPromptCarriesItsInputsAndVariant() {
        QFETCH(QString, prompt);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        for (const QString& text : present)
            QVERIFY2(prompt.contains(text), qPrintable(text));
        for (const QString& text : absent)
            QVERIFY2(!prompt.contains(text), qPrintable(text));
    }

    void aBlankWishIsNoWish() {
        QCOMPARE(Prompts::draft(kContext, Channel::Email, u" \n\t"_qs),
                 Prompts::draft(kContext, Channel::Email, std::nullopt));
    }
};

QTEST_GUILESS_MAIN(TestPrompts)
#include "TestPrompts.moc"
