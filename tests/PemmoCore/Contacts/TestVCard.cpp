// The corners of the vCard grammar, and edits that touch only what they change.
#include "Contacts/ContactDraftRules.h"
#include "Contacts/Thumbnail.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardEditor.h"
#include "Contacts/VCardReader.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTimeZone>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::ContactDraft)

namespace {

QByteArray card(const QByteArray& body, const QByteArray& version = "3.0") {
    QByteArray bytes = "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body;
    if (!body.isEmpty() && !body.endsWith('\n'))
        bytes += "\r\n";
    return bytes + "END:VCARD\r\n";
}

Person personOf(const QByteArray& bytes) {
    const VCard::Document document = VCard::parse(bytes);
    if (document.cards.size() != 1)
        qFatal("expected one card, got %lld", qlonglong(document.cards.size()));
    return VCard::toPerson(document.cards.first(), u"id"_qs);
}

QString describeEntries(const QList<LabeledValue>& entries) {
    QStringList parts;
    for (const LabeledValue& entry : entries)
        parts.append(entry.label + u'=' + entry.value);
    return parts.join(u" | ");
}

QString describeDate(const std::optional<DateComponents>& date) {
    if (!date)
        return u"none"_qs;
    const QString monthDay =
        u"%1-%2"_qs.arg(date->month, 2, 10, QLatin1Char('0')).arg(date->day, 2, 10, QLatin1Char('0'));
    if (date->year)
        return QString::number(*date->year) + u'-' + monthDay;
    return u"--"_qs + monthDay;
}

// One field of a person as text, so that rows of different fields share one column.
QString describe(const Person& person, const QString& field) {
    if (field == u"given")
        return person.givenName;
    if (field == u"family")
        return person.familyName;
    if (field == u"nickname")
        return person.nickname;
    if (field == u"organization")
        return person.organization.value_or(u"<absent>"_qs);
    if (field == u"jobTitle")
        return person.jobTitle.value_or(u"<absent>"_qs);
    if (field == u"emails")
        return describeEntries(person.emails);
    if (field == u"phones")
        return describeEntries(person.phones);
    if (field == u"birthday")
        return describeDate(person.birthday);
    qFatal("unknown field %s", qUtf8Printable(field));
}

QByteArray pngOfSize(int width, int height, bool transparent = false) {
    QImage image(width, height, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(transparent ? QColor(10, 20, 30, 100) : QColor(200, 100, 50));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray folded(const QByteArray& line, const QByteArray& continuation = "\r\n ") {
    QByteArray out;
    for (qsizetype i = 0; i < line.size(); i += 60) {
        if (i > 0)
            out += continuation;
        out += line.mid(i, 60);
    }
    return out;
}

const QByteArray base = "BEGIN:VCARD\r\n"
                        "VERSION:3.0\r\n"
                        "UID:1\r\n"
                        "N:Doe;John;;;\r\n"
                        "FN:John Doe\r\n"
                        "ORG:Acme;Sales\r\n"
                        "TITLE:Boss\r\n"
                        "item1.EMAIL;TYPE=INTERNET:john@acme.com\r\n"
                        "item1.X-ABLabel:_$!<Other>!$_\r\n"
                        "TEL;TYPE=CELL:123\r\n"
                        "BDAY:1980-03-22\r\n"
                        "X-UNKNOWN;FOO=bar:keep me\r\n"
                        "END:VCARD\r\n";

ContactDraft draftOf(const QByteArray& bytes) {
    const Person person = personOf(bytes);
    return ContactDraft{.givenName = person.givenName,
                        .familyName = person.familyName,
                        .nickname = person.nickname,
                        .organization = person.organization.value_or(QString()),
                        .jobTitle = person.jobTitle.value_or(QString())};
}

} // namespace

class TestVCard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheGrammar_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        // Line folding and line breaks.
        QTest::newRow("fold with a blank") << card("N:Do\r\n e;John;;;") << u"family"_qs << u"Doe"_qs;
        QTest::newRow("fold with a tab") << card("N:Do\r\n\te;John;;;") << u"family"_qs << u"Doe"_qs;
        QTest::newRow("fold keeps the blank after the first")
            << card("TITLE:Chief\r\n  Officer") << u"jobTitle"_qs << u"Chief Officer"_qs;
        QTest::newRow("LF only") << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Doe;\n Jane;;;\nEND:VCARD\n")
                                 << u"given"_qs << u"Jane"_qs;
        QTest::newRow("CR CR LF")
            << QByteArray("BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nN:Doe;Jane;;;\r\r\nEND:VCARD\r\r\n")
            << u"given"_qs << u"Jane"_qs;
        QTest::newRow("CR only") << QByteArray("BEGIN:VCARD\rVERSION:3.0\rN:Doe;Jane;;;\rEND:VCARD\r")
                                 << u"family"_qs << u"Doe"_qs;
        QTest::newRow("byte order mark")
            << QByteArray("\xEF\xBB\xBF") + card("N:Doe;Jane;;;") << u"given"_qs << u"Jane"_qs;
        QTest::newRow("no line break at the end")
            << QByteArray("BEGIN:VCARD\r\nN:Doe;Jane;;;\r\nEND:VCARD") << u"given"_qs << u"Jane"_qs;

        // Escapes.
        QTest::newRow("escaped comma and semicolon")
            << card("ORG:Smith\\, Jones \\; Co;Sales") << u"organization"_qs << u"Smith, Jones ; Co"_qs;
        QTest::newRow("escaped line break")
            << card("TITLE:Line one\\nLine two") << u"jobTitle"_qs << u"Line one\nLine two"_qs;
        QTest::newRow("upper-case line break") << card("TITLE:a\\Nb") << u"jobTitle"_qs << u"a\nb"_qs;
        QTest::newRow("escaped backslash")
            << card("TITLE:back\\\\slash") << u"jobTitle"_qs << u"back\\slash"_qs;
        QTest::newRow("escaped colon") << card("NICKNAME:a\\:b") << u"nickname"_qs << u"a:b"_qs;
        QTest::newRow("escaped semicolon splits no component")
            << card("N:Doe\\;Smith;Jane;;;") << u"family"_qs << u"Doe;Smith"_qs;

        // Quoted-printable and charsets.
        QTest::newRow("quoted-printable soft breaks")
            << card("TITLE;ENCODING=QUOTED-PRINTABLE:Chief=\r\nExecutive=\r\n Officer", "2.1")
            << u"jobTitle"_qs << u"ChiefExecutive Officer"_qs;
        QTest::newRow("quoted-printable bare encoding word")
            << card("TITLE;QUOTED-PRINTABLE:caf=C3=A9", "2.1") << u"jobTitle"_qs << u"café"_qs;
        QTest::newRow("soft break before a blank line")
            << card("ORG;ENCODING=QUOTED-PRINTABLE:Ac=\r\nme=\r\n\r\nTITLE:Boss", "2.1") << u"organization"_qs
            << u"Acme"_qs;
        QTest::newRow("quoted-printable line break")
            << card("TITLE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab", "2.1") << u"jobTitle"_qs << u"a\r\nb"_qs;
        QTest::newRow("broken quoted-printable kept")
            << card("TITLE;ENCODING=QUOTED-PRINTABLE:100=%", "2.1") << u"jobTitle"_qs << u"100=%"_qs;
        QTest::newRow("declared Latin-1")
            << card("TITLE;CHARSET=ISO-8859-1:caf\xE9", "2.1") << u"jobTitle"_qs << u"café"_qs;
        QTest::newRow("quoted-printable Latin-1")
            << card("TITLE;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:caf=E9", "2.1") << u"jobTitle"_qs
            << u"café"_qs;
        QTest::newRow("undeclared Windows bytes")
            << card("TITLE:5 \x80", "2.1") << u"jobTitle"_qs << u"5 €"_qs;
        QTest::newRow("undeclared UTF-8") << card("TITLE:caf\xC3\xA9") << u"jobTitle"_qs << u"café"_qs;

        // Parameters.
        QTest::newRow("quoted parameter with separators")
            << card("EMAIL;X-NOTE=\"a;b:c,d\";TYPE=WORK:x@example.org") << u"emails"_qs
            << u"work=x@example.org"_qs;
        QTest::newRow("iPhone") << card("TEL;TYPE=IPHONE;TYPE=CELL:1") << u"phones"_qs << u"iPhone=1"_qs;
        QTest::newRow("unknown type lower-cased") << card("TEL;TYPE=X-CAR:1") << u"phones"_qs << u"car=1"_qs;
        QTest::newRow("names in any case")
            << card("tel;Type=Cell:1\r\nn:Doe;Jane;;;") << u"phones"_qs << u"mobile=1"_qs;
        QTest::newRow("4.0 caret escapes")
            << card("EMAIL;X-L=a^'b^';TYPE=work:a@b", "4.0") << u"emails"_qs << u"work=a@b"_qs;
        QTest::newRow("blank e-mail dropped") << card("EMAIL:  \r\nEMAIL:a@b") << u"emails"_qs << u"=a@b"_qs;

        // Groups and Apple's labels.
        QTest::newRow("Apple label") << card("item1.TEL:1\r\nitem1.X-ABLabel:_$!<Mobile>!$_") << u"phones"_qs
                                     << u"mobile=1"_qs;
        QTest::newRow("label beats types") << card("item2.TEL;TYPE=HOME:1\r\nitem2.X-ABLabel:_$!<WorkFAX>!$_")
                                           << u"phones"_qs << u"work fax=1"_qs;
        QTest::newRow("custom label as written") << card("item1.EMAIL:a@b\r\nitem1.X-ABLabel:Grandma's inbox")
                                                 << u"emails"_qs << u"Grandma's inbox=a@b"_qs;
        QTest::newRow("group names ignore case")
            << card("ITEM1.TEL:1\r\nitem1.x-ablabel:_$!<Main>!$_") << u"phones"_qs << u"main=1"_qs;
        QTest::newRow("label of another group ignored")
            << card("item1.TEL;TYPE=HOME:1\r\nitem2.X-ABLabel:_$!<Mobile>!$_") << u"phones"_qs
            << u"home=1"_qs;

        // Birthdays.
        QTest::newRow("extended date") << card("BDAY:1980-03-22") << u"birthday"_qs << u"1980-03-22"_qs;
        QTest::newRow("date and time")
            << card("BDAY:1980-03-22T10:00:00Z") << u"birthday"_qs << u"1980-03-22"_qs;
        QTest::newRow("no year, extended") << card("BDAY:--03-22") << u"birthday"_qs << u"--03-22"_qs;
        QTest::newRow("no year, 29 February")
            << card("BDAY:--0229", "4.0") << u"birthday"_qs << u"--02-29"_qs;
        QTest::newRow("Apple's omitted year")
            << card("BDAY;X-APPLE-OMIT-YEAR=1604:1604-03-22") << u"birthday"_qs << u"--03-22"_qs;
        QTest::newRow("year zero") << card("BDAY:0000-03-22") << u"birthday"_qs << u"--03-22"_qs;
        QTest::newRow("text date is no birthday")
            << card("BDAY;VALUE=text:1980-03-22", "4.0") << u"birthday"_qs << u"none"_qs;
        QTest::newRow("first date wins over text")
            << card("BDAY;VALUE=text:circa 1980\r\nBDAY:1980-03-22", "4.0") << u"birthday"_qs
            << u"1980-03-22"_qs;
        QTest::newRow("impossible day") << card("BDAY:1981-02-29") << u"birthday"_qs << u"none"_qs;
        QTest::newRow("year only") << card("BDAY:1980", "4.0") << u"birthday"_qs << u"none"_qs;

        // Phone numbers written as tel: URIs.
        QTest::newRow("tel uri with escapes")
            << card("TEL;VALUE=uri:tel:+1%20555%200100", "4.0") << u"phones"_qs << u"=+1 555 0100"_qs;
        QTest::newRow("tel uri without VALUE")
            << card("TEL:tel:+15550100", "4.0") << u"phones"_qs << u"=+15550100"_qs;

        // Names, organisation, title.
        QTest::newRow("given and family") << card("N:Doe;Jane;Q;Dr.;PhD") << u"given"_qs << u"Jane"_qs;
        QTest::newRow("short N") << card("N:Doe") << u"family"_qs << u"Doe"_qs;
        QTest::newRow("names from FN") << card("FN:Jane van Doe") << u"given"_qs << u"Jane van"_qs;
        QTest::newRow("family from FN") << card("FN:Jane van Doe") << u"family"_qs << u"Doe"_qs;
        QTest::newRow("company card has no names")
            << card("N:;;;;\r\nFN:Acme\r\nORG:Acme") << u"given"_qs << u""_qs;
        QTest::newRow("empty organisation is absent")
            << card("ORG:;Sales") << u"organization"_qs << u"<absent>"_qs;
        QTest::newRow("empty title is absent") << card("TITLE:") << u"jobTitle"_qs << u"<absent>"_qs;
        QTest::newRow("first ORG counts") << card("ORG:One\r\nORG:Two") << u"organization"_qs << u"One"_qs;

        // Cards inside cards.
        QTest::newRow("embedded agent card stays out")
            << card(
                   "N:Doe;Jane;;;\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:Friday;Fred\r\nTEL:999\r\nEND:"
                   "VCARD\r\nTEL:1",
                   "2.1")
            << u"phones"_qs << u"=1"_qs;
        QTest::newRow("2.1 base64 without indent")
            << card("PHOTO;ENCODING=BASE64:QUJD\r\nREVG\r\n\r\nN:Doe;Jane;;;", "2.1") << u"given"_qs
            << u"Jane"_qs;
    }
    void readsTheGrammar() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        QCOMPARE(describe(personOf(bytes), field), expected);
    }

    void appleLabelsArePlainWords_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("label");
        QTest::newRow("home") << u"_$!<Home>!$_"_qs << u"home"_qs;
        QTest::newRow("home fax") << u"_$!<HomeFAX>!$_"_qs << u"home fax"_qs;
        QTest::newRow("iPhone") << u"_$!<iPhone>!$_"_qs << u"iPhone"_qs;
        QTest::newRow("homepage") << u"_$!<HomePage>!$_"_qs << u"homepage"_qs;
        QTest::newRow("unknown built-in") << u"_$!<CompanyMain>!$_"_qs << u"company main"_qs;
        QTest::newRow("custom with blanks") << u"  Studio  "_qs << u"Studio"_qs;
        QTest::newRow("empty built-in") << u"_$!<>!$_"_qs << u""_qs;
    }
    void appleLabelsArePlainWords() {
        QFETCH(QString, written);
        QFETCH(QString, label);
        QCOMPARE(VCard::appleLabel(written), label);
    }

    void identifiers_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("UID as written") << card("UID:urn:uuid:6B29A774-D124-4822-B8D0-2780EC117F60", "4.0")
                                        << QStringList{"urn:uuid:6B29A774-D124-4822-B8D0-2780EC117F60"};
        QTest::newRow("UID trimmed") << card("UID:  abc  ") << QStringList{"abc"};
        QTest::newRow("no UID: file name") << card("N:Doe;Jane;;;") << QStringList{"jane"};
        QTest::newRow("blank UID: file name") << card("UID: ") << QStringList{"jane"};
        QTest::newRow("several cards: position")
            << card("UID:x") + card("N:Doe;Jane;;;") + card("N:Roe;Rick;;;")
            << QStringList{"x", "jane#2", "jane#3"};
        QTest::newRow("broken card keeps its position")
            << QByteArray("BEGIN:VCARD\r\nN:Broken;;;;\r\n") + card("N:Doe;Jane;;;") << QStringList{"jane#2"};
    }
    void identifiers() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, ids);
        const VCard::Document document = VCard::parse(bytes);
        QStringList found;
        for (const VCard::Card& each : document.cards)
            found.append(VCard::identifier(each, u"jane"_qs, document.cardCount));
        QCOMPARE(found, ids);
    }

    void damagedFilesAreDescribedNotFatal_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cards");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("not a vCard") << QByteArray("hello world\r\n") << 0;
        QTest::newRow("binary") << QByteArray("\x00\x01\xFF\xFE:;=\r\n", 9) << 0;
        QTest::newRow("no END") << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\n") << 0;
        QTest::newRow("second card without END")
            << card("N:Doe;Jane;;;") + QByteArray("BEGIN:VCARD\r\nN:Roe;;;;\r\n") << 1;
        QTest::newRow("END without BEGIN") << QByteArray("END:VCARD\r\n") + card("N:Doe;Jane;;;") << 1;
    }
    void damagedFilesAreDescribedNotFatal() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, cards);
        const VCard::Document document = VCard::parse(bytes);
        QCOMPARE(document.cards.size(), cards);
        QVERIFY(!document.problems.isEmpty() || cards == document.cardCount);
        if (cards == 0)
            QVERIFY(!document.problems.isEmpty());
    }

    void textAroundCardsIsIgnored() {
        const QByteArray bytes =
            "Exported by a program\r\n\r\n" + card("N:Doe;Jane;;;") + "trailing junk\r\n";
        const VCard::Document document = VCard::parse(bytes);
        QCOMPARE(document.cards.size(), 1);
        QVERIFY(document.problems.isEmpty());
        QCOMPARE(VCard::toPerson(document.cards.first(), {}).givenName, u"Jane");
    }

    void filesJoinedWithTheirMarksReadEveryCard() {
        const QByteArray mark("\xEF\xBB\xBF");
        const QByteArray bytes = mark + card("N:Doe;Jane;;;") + mark + card("N:Roe;Rich;;;");
        const VCard::Document document = VCard::parse(bytes);
        QCOMPARE(document.cards.size(), 2);
        QCOMPARE(VCard::toPerson(document.cards.at(1), {}).familyName, u"Roe");
        // Removing the first card leaves the second's mark at the start: still one card.
        QCOMPARE(VCard::parse(VCard::removeCard(bytes, document, 0, u"f"_qs)).cards.size(), 1);
    }

    void filesMixingLineBreaksReadEveryCard() {
        const QByteArray bytes =
            card("N:Doe;Jane;;;") + "BEGIN:VCARD\rVERSION:3.0\rN:Roe;Rich;;;\rEND:VCARD\r";
        const VCard::Document document = VCard::parse(bytes);
        QCOMPARE(document.cards.size(), 2);
        QCOMPARE(VCard::toPerson(document.cards.at(1), {}).givenName, u"Rich");
        // Without the first card's LFs the rest must still split where it did.
        const QByteArray rest = VCard::removeCard(bytes, document, 0, u"f"_qs);
        QCOMPARE(VCard::parse(rest).cards.size(), 1);
        const QByteArray edited = VCard::applyDraft(bytes, document.cards.at(1),
                                                    ContactDraft{.givenName = "Rick", .familyName = "Roe"});
        QCOMPARE(VCard::toPerson(VCard::parse(edited).cards.at(1), {}).givenName, u"Rick");
        QVERIFY(edited.startsWith(
            QByteArray(card("N:Doe;Jane;;;") + "BEGIN:VCARD\rVERSION:3.0\rN:Roe;Rick;;;\r")));
    }

    void photos_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("hasPhoto");
        const QByteArray png = pngOfSize(20, 10);
        const QByteArray b64 = png.toBase64();
        QTest::newRow("2.1 unindented base64")
            << card("PHOTO;ENCODING=BASE64:" + folded(b64, "\r\n") + "\r\n", "2.1") << true;
        QTest::newRow("data URI") << card("PHOTO:data:image/png;base64," + folded(b64), "4.0") << true;
        QTest::newRow("empty") << card("PHOTO;ENCODING=b:") << false;
        QTest::newRow("not an image")
            << card("PHOTO;ENCODING=b:" + QByteArray("not an image").toBase64()) << false;
    }
    void photos() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, hasPhoto);
        const Person person = personOf(bytes);
        QCOMPARE(person.hasFullImage, hasPhoto);
        QCOMPARE(person.thumbnail.has_value(), hasPhoto);
        if (hasPhoto) {
            QCOMPARE(*person.thumbnail, pngOfSize(20, 10)); // small enough to pass unchanged
            QCOMPARE(VCard::photo(VCard::parse(bytes).cards.first()), pngOfSize(20, 10));
        }
    }

    void skippingPhotosDecodesNothing() {
        const QByteArray bytes = card("PHOTO;ENCODING=b:" + QByteArray("not an image").toBase64());
        const Person person = VCard::toPerson(VCard::parse(bytes).cards.first(), {}, VCard::Photos::Skip);
        QVERIFY(person.hasFullImage);
        QVERIFY(!person.thumbnail);
    }

    void thumbnailsAreScaledDown_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << pngOfSize(400, 200) << QSize(128, 64);
        QTest::newRow("tall") << pngOfSize(300, 600) << QSize(64, 128);
        QTest::newRow("already small") << pngOfSize(100, 50) << QSize(100, 50);
        QTest::newRow("transparent") << pngOfSize(512, 512, true) << QSize(128, 128);
        QTest::newRow("garbage") << QByteArray("garbage") << QSize();
        QTest::newRow("empty") << QByteArray() << QSize();
    }
    void thumbnailsAreScaledDown() {
        QFETCH(QByteArray, image);
        QFETCH(QSize, size);
        const std::optional<QByteArray> thumbnail = Thumbnail::make(image);
        QCOMPARE(thumbnail.has_value(), size.isValid());
        if (!thumbnail)
            return;
        QCOMPARE(QImage::fromData(*thumbnail).size(), size);
        QVERIFY(thumbnail->size() <= image.size() || size == QImage::fromData(image).size());
    }

    void editsChangeOnlyTheirLines_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<ContactDraft>("draft");
        QTest::addColumn<QByteArray>("after");

        const ContactDraft same = draftOf(base);
        auto with = [&](auto change) {
            ContactDraft draft = same;
            change(draft);
            return draft;
        };
        auto replaced = [](QByteArray bytes, const QByteArray& from, const QByteArray& to) {
            return bytes.replace(from, to);
        };

        QTest::newRow("nothing changes") << base << same << base;
        QTest::newRow("blanks are trimmed")
            << base << with([](ContactDraft& d) { d.givenName = "  John\n"; }) << base;
        QTest::newRow("given name") << base << with([](ContactDraft& d) {
            d.givenName = "Jon";
        }) << replaced(replaced(base, "N:Doe;John;;;", "N:Doe;Jon;;;"), "FN:John Doe", "FN:Jon Doe");
        QTest::newRow("nickname added") << base << with([](ContactDraft& d) { d.nickname = "JD"; })
                                        << replaced(base, "END:VCARD", "NICKNAME:JD\r\nEND:VCARD");
        QTest::newRow("organisation keeps its department")
            << base << with([](ContactDraft& d) { d.organization = "Initech"; })
            << replaced(base, "ORG:Acme;Sales", "ORG:Initech;Sales");
        QTest::newRow("organisation cleared, department kept")
            << base << with([](ContactDraft& d) { d.organization = " "; })
            << replaced(base, "ORG:Acme;Sales", "ORG:;Sales");
        QTest::newRow("title cleared") << base << with([](ContactDraft& d) { d.jobTitle.clear(); })
                                       << replaced(base, "TITLE:Boss\r\n", "");
        QTest::newRow("title escaped") << base << with([](ContactDraft& d) { d.jobTitle = "A, B; C\\D"; })
                                       << replaced(base, "TITLE:Boss", "TITLE:A\\, B\\; C\\\\D");
        QTest::newRow("e-mail keeps group and label")
            << base << with([](ContactDraft& d) { d.email = " new@acme.com "; })
            << replaced(base, "john@acme.com", "new@acme.com");
        QTest::newRow("same e-mail changes nothing")
            << base << with([](ContactDraft& d) { d.email = "john@acme.com"; }) << base;
        QTest::newRow("phone keeps its type") << base << with([](ContactDraft& d) { d.phone = "456"; })
                                              << replaced(base, "TEL;TYPE=CELL:123", "TEL;TYPE=CELL:456");
        QTest::newRow("birthday cleared") << base << with([](ContactDraft& d) {
            d.clearBirthday = true;
            d.birthday = DateComponents{2000, 1, 1};
        }) << replaced(base, "BDAY:1980-03-22\r\n", "");
        QTest::newRow("birthday without year") << base << with([](ContactDraft& d) {
            d.birthday = DateComponents{std::nullopt, 12, 24};
        }) << replaced(base, "BDAY:1980-03-22", "BDAY:--12-24");
        QTest::newRow("same birthday changes nothing") << base << with([](ContactDraft& d) {
            d.birthday = DateComponents{1980, 3, 22};
        }) << base;

        const QByteArray bare = card("N:Doe;John;;;\r\nFN:John Doe");
        QTest::newRow("new e-mail is work")
            << bare << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "j@d.org"}
            << replaced(bare, "END:VCARD", "EMAIL;TYPE=WORK:j@d.org\r\nEND:VCARD");
        QTest::newRow("new phone is mobile")
            << bare << ContactDraft{.givenName = "John", .familyName = "Doe", .phone = "+1 555"}
            << replaced(bare, "END:VCARD", "TEL;TYPE=CELL:+1 555\r\nEND:VCARD");
        QTest::newRow("new birthday")
            << bare
            << ContactDraft{.givenName = "John", .familyName = "Doe", .birthday = DateComponents{1990, 1, 2}}
            << replaced(bare, "END:VCARD", "BDAY:1990-01-02\r\nEND:VCARD");

        const QByteArray unlabelled = card("N:Doe;John;;;\r\nEMAIL;TYPE=INTERNET:a@b\r\nEMAIL;TYPE=HOME:c@d");
        QTest::newRow("unlabelled first e-mail becomes work")
            << unlabelled << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "x@y"}
            << replaced(unlabelled, "EMAIL;TYPE=INTERNET:a@b", "EMAIL;TYPE=INTERNET;TYPE=WORK:x@y");

        const QByteArray emptyApple = card("N:Doe;John;;;\r\nitem1.EMAIL:a@b\r\nitem1.X-ABLabel:");
        QTest::newRow("empty Apple label becomes work")
            << emptyApple << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "x@y"}
            << replaced(replaced(emptyApple, "item1.EMAIL:a@b", "item1.EMAIL:x@y"),
                        "item1.X-ABLabel:", "item1.X-ABLabel:_$!<Work>!$_");

        const QByteArray sharedGroup =
            card("N:Doe;John;;;\r\nitem1.EMAIL:a@b\r\nitem1.X-ABLabel:\r\nitem1.EMAIL:c@d");
        QTest::newRow("shared empty Apple label stays with the other entry")
            << sharedGroup << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "x@y"}
            << replaced(sharedGroup, "item1.EMAIL:a@b", "EMAIL;TYPE=WORK:x@y");

        const QByteArray lower = card("n:Doe;John;;;\r\nitem1.tel;type=cell:1");
        QTest::newRow("names keep their spelling")
            << lower << ContactDraft{.givenName = "John", .familyName = "Doe", .phone = "2"}
            << replaced(lower, "item1.tel;type=cell:1", "item1.tel;type=cell:2");

        const QByteArray runOn =
            card("N:Doe;John;;;\r\nORG;ENCODING=QUOTED-PRINTABLE:Ac=\r\nme\r\n Corp", "2.1");
        QTest::newRow("folded lines after soft breaks go with the value")
            << runOn << ContactDraft{.givenName = "John", .familyName = "Doe", .organization = "New"}
            << replaced(runOn, "ORG;ENCODING=QUOTED-PRINTABLE:Ac=\r\nme\r\n Corp", "ORG:New");

        const QByteArray dangling = card("N:Doe;John;;;\r\nNOTE;ENCODING=QUOTED-PRINTABLE:abc=", "2.1");
        QTest::newRow("no line after a dangling soft break")
            << dangling << ContactDraft{.givenName = "John", .familyName = "Doe", .nickname = "JD"}
            << replaced(dangling, "NOTE;", "NICKNAME:JD\r\nNOTE;");

        // Files joined with `cat` can leave a byte order mark in front of END:VCARD.
        const QByteArray danglingBeforeMark = replaced(dangling, "END:VCARD",
                                                       "\xEF\xBB\xBF"
                                                       "END:VCARD");
        QTest::newRow("no line after a dangling soft break and a byte order mark")
            << danglingBeforeMark << ContactDraft{.givenName = "John", .familyName = "Doe", .nickname = "JD"}
            << replaced(danglingBeforeMark, "NOTE;", "NICKNAME:JD\r\nNOTE;");

        const QByteArray danglingEmail =
            card("N:Doe;John;;;\r\nEMAIL;TYPE=HOME;ENCODING=QUOTED-PRINTABLE:a@b=", "2.1");
        QTest::newRow("lines added before a dangling line that is replaced too")
            << danglingEmail
            << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "x@y", .phone = "1"}
            << replaced(danglingEmail, "EMAIL;TYPE=HOME;ENCODING=QUOTED-PRINTABLE:a@b=",
                        "TEL;CELL:1\r\nEMAIL;TYPE=HOME:x@y");

        const QByteArray noName = card("FN:Jane Doe\r\nTEL:1");
        QTest::newRow("N added after VERSION")
            << noName << ContactDraft{.givenName = "Janet", .familyName = "Doe"}
            << replaced(replaced(noName, "FN:Jane Doe", "FN:Janet Doe"), "VERSION:3.0\r\n",
                        "VERSION:3.0\r\nN:Doe;Janet;;;\r\n");

        const QByteArray company = card("N:;;;;\r\nFN:Acme\r\nORG:Acme");
        QTest::newRow("company card renamed")
            << company << ContactDraft{.organization = "Acme Corp"}
            << replaced(replaced(company, "FN:Acme", "FN:Acme Corp"), "ORG:Acme\r\n", "ORG:Acme Corp\r\n");

        const QByteArray lists = card("N:Doe;John;Richter,James;Mr.;Sr.\r\nFN:x");
        QTest::newRow("untouched components stay as written")
            << lists << ContactDraft{.givenName = "Jon", .familyName = "Doe"}
            << replaced(replaced(lists, "N:Doe;John;", "N:Doe;Jon;"), "FN:x",
                        "FN:Mr. Jon Richter James Doe Sr.");

        const QByteArray old = card("N:Doe;John;;;\r\nFN:John Doe\r\nTEL;CELL:1", "2.1");
        QTest::newRow("2.1 goes quoted-printable when it must")
            << old << ContactDraft{.givenName = "Jörg", .familyName = "Doe"}
            << replaced(replaced(old, "N:Doe;John;;;",
                                 "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Doe;J=C3=B6rg;;;"),
                        "FN:John Doe", "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=B6rg=20Doe");
        QTest::newRow("2.1 rewrite drops the old encoding")
            << card("N;ENCODING=QUOTED-PRINTABLE:Doe;J=\r\nohn;;;\r\nFN:John Doe", "2.1")
            << ContactDraft{.givenName = "Jon", .familyName = "Doe"}
            << card("N:Doe;Jon;;;\r\nFN:Jon Doe", "2.1");
        QTest::newRow("2.1 new e-mail")
            << old << ContactDraft{.givenName = "John", .familyName = "Doe", .email = "j@d.org"}
            << replaced(old, "END:VCARD", "EMAIL;WORK:j@d.org\r\nEND:VCARD");

        const QByteArray v4 = card("N:Doe;John;;;\r\nFN:John Doe\r\nBDAY:19800322", "4.0");
        QTest::newRow("4.0 birthday without year")
            << v4
            << ContactDraft{.givenName = "John",
                            .familyName = "Doe",
                            .birthday = DateComponents{std::nullopt, 12, 24}}
            << replaced(v4, "BDAY:19800322", "BDAY:--1224");
        const QByteArray uri = card("N:Doe;John;;;\r\nTEL;VALUE=uri;TYPE=cell:tel:+1-555", "4.0");
        QTest::newRow("tel uri rewritten as text")
            << uri << ContactDraft{.givenName = "John", .familyName = "Doe", .phone = "+1 556"}
            << replaced(uri, "TEL;VALUE=uri;TYPE=cell:tel:+1-555", "TEL;TYPE=cell:+1 556");

        const QByteArray apple = card("N:Doe;John;;;\r\nBDAY;X-APPLE-OMIT-YEAR=1604;VALUE=date:1604-03-22");
        QTest::newRow("Apple birthday rewritten plainly")
            << apple
            << ContactDraft{.givenName = "John", .familyName = "Doe", .birthday = DateComponents{1990, 3, 22}}
            << replaced(apple, "BDAY;X-APPLE-OMIT-YEAR=1604;VALUE=date:1604-03-22", "BDAY:1990-03-22");

        const QByteArray lf = QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;;;\nFN:John Doe\nEND:VCARD\n");
        QTest::newRow("line breaks as the file has them")
            << lf << ContactDraft{.givenName = "John", .familyName = "Doe", .nickname = "JD"}
            << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Doe;John;;;\nFN:John Doe\nNICKNAME:JD\nEND:VCARD\n");

        const QByteArray longTitle = QByteArray("Ä").repeated(50);
        QTest::newRow("long lines folded between characters")
            << bare
            << ContactDraft{.givenName = "John",
                            .familyName = "Doe",
                            .jobTitle = QString::fromUtf8(longTitle)}
            << replaced(bare, "END:VCARD",
                        "TITLE:" + QByteArray("Ä").repeated(34) + "\r\n " + QByteArray("Ä").repeated(16) +
                            "\r\nEND:VCARD");
    }
    void editsChangeOnlyTheirLines() {
        QFETCH(QByteArray, before);
        QFETCH(ContactDraft, draft);
        QFETCH(QByteArray, after);
        const VCard::Document document = VCard::parse(before);
        QCOMPARE(document.cards.size(), 1);
        const QByteArray written = VCard::applyDraft(before, document.cards.first(), draft);
        QCOMPARE(written, after);
        // What was written reads back as the shared rules say.
        const Person old = VCard::toPerson(document.cards.first(), u"id"_qs);
        QCOMPARE(personOf(written), ContactDraftRules::apply(old, draft));
    }

    // A card that says when it was last revised says so after Pemmo's change too, in its own
    // style; nothing changed, or no REV line, and nothing is added.
    void aChangeRevisesTheCardsRevision_data() {
        QTest::addColumn<QByteArray>("rev");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("extended") << QByteArray("REV:2025-11-02T09:14:30Z\r\n") << u"Chef"_qs
                                  << QByteArray("REV:2026-12-07T17:30:05Z\r\n");
        QTest::newRow("basic") << QByteArray("REV:20251102T091430Z\r\n") << u"Chef"_qs
                               << QByteArray("REV:20261207T173005Z\r\n");
        QTest::newRow("no change") << QByteArray("REV:2025-11-02T09:14:30Z\r\n") << u"Cook"_qs
                                   << QByteArray("REV:2025-11-02T09:14:30Z\r\n");
        QTest::newRow("no REV") << QByteArray() << u"Chef"_qs << QByteArray();
    }
    void aChangeRevisesTheCardsRevision() {
        QFETCH(QByteArray, rev);
        QFETCH(QString, title);
        QFETCH(QByteArray, written);
        const QByteArray before = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jo;;;\r\nFN:Jo Doe\r\nTITLE:Cook\r\n" +
                                  rev + "END:VCARD\r\n";
        const VCard::Document document = VCard::parse(before);
        const QByteArray after =
            VCard::applyDraft(before, document.cards.first(),
                              ContactDraft{.givenName = "Jo", .familyName = "Doe", .jobTitle = title},
                              QDateTime(QDate(2026, 12, 7), QTime(18, 30, 5), QTimeZone(3600)));
        QByteArray expected = before;
        expected.replace("TITLE:Cook", ("TITLE:" + title).toUtf8());
        if (!rev.isEmpty())
            expected.replace(rev, written);
        QCOMPARE(after, expected);
    }

    void newCardReadsBackAsTheDraft_data() {
        QTest::addColumn<ContactDraft>("draft");
        QTest::newRow("everything") << ContactDraft{.givenName = " Ada ",
                                                    .familyName = "Lovelace",
                                                    .nickname = "Countess",
                                                    .organization = "Engines, Ltd",
                                                    .jobTitle = "Programmer",
                                                    .email = "ada@example.org",
                                                    .phone = "+44 20",
                                                    .birthday = DateComponents{1815, 12, 10}};
        QTest::newRow("names only") << ContactDraft{.givenName = "Zoë", .familyName = "Ångström"};
        QTest::newRow("company only") << ContactDraft{.organization = "Acme"};
        QTest::newRow("nothing") << ContactDraft{};
        QTest::newRow("birthday without year")
            << ContactDraft{.givenName = "A", .birthday = DateComponents{std::nullopt, 2, 29}};
    }
    void newCardReadsBackAsTheDraft() {
        QFETCH(ContactDraft, draft);
        const QByteArray bytes = VCard::newCard(draft, u"ABC-123"_qs);
        QVERIFY(bytes.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ABC-123\r\n"));
        QVERIFY(bytes.endsWith("END:VCARD\r\n"));
        QVERIFY(bytes.contains("\r\nN:"));
        QVERIFY(bytes.contains("\r\nFN:"));
        const VCard::Document document = VCard::parse(bytes);
        QVERIFY(document.problems.isEmpty());
        QCOMPARE(document.cards.size(), 1);
        const VCard::Card& parsed = document.cards.first();
        QCOMPARE(VCard::identifier(parsed, u"file"_qs, 1), u"ABC-123");
        Person expected = ContactDraftRules::apply(Person{}, draft);
        expected.id = u"ABC-123"_qs;
        QCOMPARE(VCard::toPerson(parsed, u"ABC-123"_qs), expected);
    }

    void companyCardIsFiledUnderItsName() {
        const QByteArray bytes = VCard::newCard(ContactDraft{.organization = "Acme"}, u"x"_qs);
        QVERIFY(bytes.contains("\r\nFN:Acme\r\n"));
        QVERIFY(bytes.contains("\r\nN:;;;;\r\n"));
    }

    // A card without a UID is known by its place in the file: removing another card gives every
    // such card its id as its UID, so nobody takes someone else's id (and Pemmo record).
    void removingACardKeepsTheOthersIds_data() {
        QTest::addColumn<int>("removed");
        QTest::newRow("the first of three") << 0;
        QTest::newRow("the middle one") << 1;
        QTest::newRow("the last, leaving two") << 2;
    }
    void removingACardKeepsTheOthersIds() {
        QFETCH(int, removed);
        const QByteArray file = card("N:A;Al;;;") + card("UID:b\r\nN:B;Bo;;;") +
                                "BEGIN:VCARD\nVERSION:3.0\nN:C;Cy;;;\nEND:VCARD\n";
        const VCard::Document before = VCard::parse(file);
        const QStringList ids{u"book#1"_qs, u"b"_qs, u"book#3"_qs};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(VCard::identifier(before.cards.at(i), u"book"_qs, before.cardCount), ids.at(i));
        const VCard::Document after = VCard::parse(VCard::removeCard(file, before, removed, u"book"_qs));
        QStringList kept = ids;
        kept.removeAt(removed);
        QStringList found;
        for (const VCard::Card& each : after.cards)
            found.append(VCard::identifier(each, u"book"_qs, after.cardCount));
        QCOMPARE(found, kept);
        QVERIFY(after.problems.isEmpty());
    }

    // Removing or editing one card of several keeps the others byte for byte.
    void oneCardOfSeveralChangesAlone() {
        const QByteArray first = card("UID:a\r\nN:A;Al;;;\r\nFN:Al A");
        const QByteArray second = card("UID:b\r\nN:B;Bo;;;\r\nFN:Bo B");
        const QByteArray third = card("UID:c\r\nN:C;;;;");
        const QByteArray file = first + second + third;
        const VCard::Document document = VCard::parse(file);
        QCOMPARE(VCard::removeCard(file, document, 1, u"f"_qs), first + third);
        QCOMPARE(VCard::removeCard(file, document, 0, u"f"_qs), second + third);
        const QByteArray written = VCard::applyDraft(file, document.cards.at(1),
                                                     ContactDraft{.givenName = "Bob", .familyName = "B"});
        QCOMPARE(written, first + card("UID:b\r\nN:B;Bob;;;\r\nFN:Bob B") + third);
    }
};

QTEST_GUILESS_MAIN(TestVCard)
#include "TestVCard.moc"
