// The contact form over real vCard folders: what is typed is checked before anything is written, a
// new contact lands in the folder chosen for new contacts, an edit rewrites only the lines it
// changes, and the card's destructive commands delete the file or only Pemmo's record.
#include "App/AppEnvironment.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ContactFormViewModel.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/SettingsStore.h"
#include "Shell/ActionPanelViewModel.h"
#include "Shell/AppRouter.h"
#include "Store/PemmoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace pemmo;
using test::await;

namespace {

QByteArray card(const QByteArray& uid, const QByteArray& family, const QByteArray& given) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nN:" + family + ";" + given +
           ";;;\r\nFN:" + given + " " + family + "\r\nEMAIL;TYPE=HOME:" + given.toLower() +
           "@example.org\r\nEND:VCARD\r\n";
}

QByteArray corpusFile(const QString& name) {
    QFile file(qEnvironmentVariable("PEMMO_TEST_DATA") + u"/vcard/"_qs + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return file.readAll();
}

// The lines of `after` that are not in `before`, and the other way round.
QByteArrayList changedLines(const QByteArray& before, const QByteArray& after) {
    const QByteArrayList old = before.split('\n');
    const QByteArrayList now = after.split('\n');
    QByteArrayList changed;
    for (const QByteArray& line : now) {
        if (!old.contains(line))
            changed.append(line.trimmed());
    }
    for (const QByteArray& line : old) {
        if (!now.contains(line))
            changed.append(line.trimmed());
    }
    return changed;
}

} // namespace

class TestContactFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> m_home;
    std::unique_ptr<AppEnvironment> m_env;

    QString home(const QString& path) const { return m_home->filePath(path); }

    // Two address books: "personal" (first, holding Ada and John Doe from the corpus) and "work".
    void start() {
        m_home = std::make_unique<test::TempDir>();
        QDir().mkpath(home(u"books/personal"_qs));
        QDir().mkpath(home(u"books/work"_qs));
        m_home->write(u"books/personal/ada.vcf"_qs, card("ada", "Lovelace", "Ada"));
        m_home->write(u"books/personal/john.vcf"_qs, corpusFile(u"John_Doe_EVOLUTION.vcf"_qs));
        {
            DefaultsFileStore file(home(u"defaults.json"_qs));
            SettingsStore(file).setContactFolders({home(u"books/personal"_qs)});
        }
        AppEnvironment::LiveOptions options;
        options.directory = home(u"data"_qs);
        options.defaultsPath = home(u"defaults.json"_qs);
        options.wordTable = QString(); // no semantic tier
        m_env = AppEnvironment::live(options);
        await(m_env->sync().start());
        QCOMPARE(m_env->sync().profiles().size(), 2);
    }

    // The one .vcf of `folder` that is not among `known`.
    QString newFile(const QString& folder, const QStringList& known = {}) {
        const QStringList files = QDir(home(folder)).entryList({u"*.vcf"_qs}, QDir::Files);
        for (const QString& file : files) {
            if (!known.contains(file))
                return home(folder) + u'/' + file;
        }
        return {};
    }

    QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init() { start(); }
    void cleanup() {
        if (m_env)
            m_env->sync().stop();
        m_env.reset();
        m_home.reset();
    }

    void aTypedNameIsSplitAtItsLastWord_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("family");
        QTest::newRow("two words") << u"Zed Newperson"_qs << u"Zed"_qs << u"Newperson"_qs;
        QTest::newRow("several, extra spaces")
            << u"  Ana  María de la Cruz "_qs << u"Ana María de la"_qs << u"Cruz"_qs;
        QTest::newRow("one word") << u"Cher"_qs << u"Cher"_qs << QString();
        QTest::newRow("nothing") << u"  "_qs << QString() << QString();
    }
    void aTypedNameIsSplitAtItsLastWord() {
        QFETCH(QString, typed);
        QFETCH(QString, given);
        QFETCH(QString, family);
        ContactFormViewModel form(*m_env, QString(), typed);
        QCOMPARE(form.givenName(), given);
        QCOMPARE(form.familyName(), family);
    }

    void aQueryThatIsAnAddressOrANumberFillsItsOwnField() {
        ContactFormViewModel byMail(*m_env, QString(), u"zed@example.org"_qs);
        QCOMPARE(byMail.email(), u"zed@example.org"_qs);
        QVERIFY(byMail.givenName().isEmpty());
        ContactFormViewModel byPhone(*m_env, QString(), u"+44 20 7946 0000"_qs);
        QCOMPARE(byPhone.phone(), u"+44 20 7946 0000"_qs);
        QVERIFY(byPhone.givenName().isEmpty());
    }

    void problemsAreShownBesideTheirFieldsAndNothingIsWritten_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("organization");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("day");
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("field");
        QTest::newRow("no name") << u"  "_qs << QString() << QString() << QString() << QString() << 0
                                 << QString() << u"givenName"_qs;
        QTest::newRow("not an address") << u"Zed"_qs << QString() << u"zed at example"_qs << QString()
                                        << QString() << 0 << QString() << u"email"_qs;
        QTest::newRow("phone without digits") << u"Zed"_qs << QString() << QString() << u"call me"_qs
                                              << QString() << 0 << QString() << u"phone"_qs;
        QTest::newRow("day without month") << u"Zed"_qs << QString() << QString() << QString() << u"12"_qs
                                           << 0 << QString() << u"birthday"_qs;
        QTest::newRow("31 April") << u"Zed"_qs << QString() << QString() << QString() << u"31"_qs << 4
                                  << QString() << u"birthday"_qs;
        QTest::newRow("29 February 2023") << u"Zed"_qs << QString() << QString() << QString() << u"29"_qs << 2
                                          << u"2023"_qs << u"birthday"_qs;
        QTest::newRow("two-digit year")
            << u"Zed"_qs << QString() << QString() << QString() << u"3"_qs << 5 << u"87"_qs << u"birthday"_qs;
        QTest::newRow("in the future") << u"Zed"_qs << QString() << QString() << QString() << u"1"_qs << 1
                                       << u"2999"_qs << u"birthday"_qs;
    }
    void problemsAreShownBesideTheirFieldsAndNothingIsWritten() {
        QFETCH(QString, given);
        QFETCH(QString, organization);
        QFETCH(QString, email);
        QFETCH(QString, phone);
        QFETCH(QString, day);
        QFETCH(int, month);
        QFETCH(QString, year);
        QFETCH(QString, field);
        m_env->router().push(Route::contactFormCreate());
        ContactFormViewModel form(*m_env, QString());
        form.setGivenName(given);
        form.setOrganization(organization);
        form.setEmail(email);
        form.setPhone(phone);
        form.setBirthdayDay(day);
        form.setBirthdayMonth(month);
        form.setBirthdayYear(year);
        await(form.save());
        QCOMPARE(form.errors().keys(), QStringList{field});
        QVERIFY(!form.errors().value(field).isEmpty());
        QCOMPARE(QDir(home(u"books/personal"_qs)).entryList({u"*.vcf"_qs}).size(), 2);
        QCOMPARE(m_env->router().topRoute(), Route::contactFormCreate()); // the form stays
        // Correcting the field takes its message away.
        if (field == u"givenName")
            form.setGivenName(u"Zed"_qs);
        else if (field == u"email")
            form.setEmail(u"zed@example.org"_qs);
        else if (field == u"phone")
            form.setPhone(u"0123"_qs);
        else
            form.setBirthdayDay(QString());
        QVERIFY(form.errors().isEmpty());
    }

    void aBirthdayMayLeaveOutTheYear() {
        const auto parsed = ContactFormViewModel::parseBirthday(u"29"_qs, 2, QString(), QDate(2026, 1, 1));
        QVERIFY(parsed.error.isEmpty());
        QCOMPARE(parsed.date, (DateComponents{std::nullopt, 2, 29}));
        QCOMPARE(ContactFormViewModel::parseBirthday(u""_qs, 0, u""_qs, QDate(2026, 1, 1)).date,
                 std::nullopt);
    }

    void aNewContactIsWrittenToTheFolderChosenForNewContacts() {
        // Two address books, the second chosen for new contacts.
        m_env->settings().setContactFolders({home(u"books/personal"_qs), home(u"books/work"_qs)});
        m_env->settings().setNewContactsFolder(home(u"books/work"_qs));
        auto& router = m_env->router();
        router.setPendingSuggestedName(u"Zed Newperson"_qs);
        router.push(Route::contactFormCreate());
        ContactFormViewModel form(*m_env, QString(), router.takePendingSuggestedName().value_or(QString()));
        QCOMPARE(form.title(), u"New contact"_qs);
        form.setEmail(u"  zed@example.org "_qs);
        form.setPhone(u"+1 555 0100"_qs);
        form.setBirthdayDay(u"17"_qs);
        form.setBirthdayMonth(5);
        form.setCircles(u"Climbing, climbing ,Family"_qs);
        form.setAbout(u"Met at the crag."_qs);
        form.setDetail(u"howWeMet"_qs, u"Bouldering gym"_qs);
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));

        const QString path = newFile(u"books/work"_qs);
        QVERIFY(!path.isEmpty());
        QCOMPARE(QDir(home(u"books/personal"_qs)).entryList({u"*.vcf"_qs}).size(), 2);
        const QByteArray written = readFile(path);
        QVERIFY(written.contains("\r\nN:Newperson;Zed;;;\r\n"));
        QVERIFY(written.contains("\r\nFN:Zed Newperson\r\n"));
        QVERIFY(written.contains(":zed@example.org\r\n")); // trimmed
        QVERIFY(written.contains("EMAIL;"));
        QVERIFY(written.contains(":+1 555 0100\r\n"));
        QVERIFY(written.contains("BDAY:--05-17\r\n")); // no year

        // The card of the new person replaces the form, and the record carries Pemmo's half.
        QCOMPARE(router.topRoute().routeKind(), Route::Kind::Profile);
        const QString id = *router.topRoute().contactID();
        const auto profile = m_env->sync().profile(id);
        QVERIFY(profile);
        QCOMPARE(profile->person.displayName(), u"Zed Newperson"_qs);
        QVERIFY(profile->person.birthday == (DateComponents{std::nullopt, 5, 17}));
        QCOMPARE(profile->record.tags, (QStringList{u"climbing"_qs, u"family"_qs}));
        QCOMPARE(profile->record.about, u"Met at the crag."_qs);
        QCOMPARE(profile->record.details.howWeMet, std::optional<QString>(u"Bouldering gym"_qs));
        QVERIFY(await(m_env->store().record(id)));
    }

    void withoutAChoiceNewContactsGoToTheFirstFolder() {
        m_env->settings().setContactFolders({home(u"books/personal"_qs), home(u"books/work"_qs)});
        // A folder outside the book is not where a contact could be found again.
        QDir().mkpath(home(u"elsewhere"_qs));
        m_env->settings().setNewContactsFolder(home(u"elsewhere"_qs));
        ContactFormViewModel form(*m_env, QString(), u"Nia Park"_qs);
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
        QVERIFY(!newFile(u"books/personal"_qs, {u"ada.vcf"_qs, u"john.vcf"_qs}).isEmpty());
        QVERIFY(newFile(u"books/work"_qs).isEmpty());
        QVERIFY(newFile(u"elsewhere"_qs).isEmpty());
    }

    void anEditOfTheFamilyNameRewritesOnlyTheNameLines() {
        const QString path = home(u"books/personal/john.vcf"_qs);
        const QByteArray before = readFile(path);
        const QString id = u"477343c8e6bf375a9bac1f96a5000837"_qs;
        m_env->router().push(Route::profile(id));
        m_env->router().push(Route::contactFormEdit(id));
        ContactFormViewModel form(*m_env, id);
        QVERIFY(form.isEditing());
        QCOMPARE(form.familyName(), u"Doe"_qs);
        QCOMPARE(form.birthdayYear(), u"1980"_qs);
        form.setFamilyName(u"Dough"_qs);
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
        const QByteArrayList changed = changedLines(before, readFile(path));
        QVERIFY(!changed.isEmpty());
        for (const QByteArray& line : changed)
            QVERIFY2(line.startsWith("N:") || line.startsWith("FN:"), line.constData());
        QCOMPARE(m_env->sync().profile(id)->person.familyName, u"Dough"_qs);
        QCOMPARE(m_env->router().topRoute(), Route::profile(id)); // back on the card
    }

    void clearingTheBirthdayRemovesOnlyItsLine() {
        const QString path = home(u"books/personal/john.vcf"_qs);
        const QByteArray before = readFile(path);
        const QString id = u"477343c8e6bf375a9bac1f96a5000837"_qs;
        ContactFormViewModel form(*m_env, id);
        form.setBirthdayDay(QString());
        form.setBirthdayMonth(0);
        form.setBirthdayYear(QString());
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
        QCOMPARE(changedLines(before, readFile(path)), QByteArrayList{"BDAY:1980-03-22"});
        QCOMPARE(m_env->sync().profile(id)->person.birthday, std::nullopt);
    }

    void anEmptiedEmailLeavesTheAddressesAndChangesNothing() {
        const QString path = home(u"books/personal/ada.vcf"_qs);
        const QByteArray before = readFile(path);
        ContactFormViewModel form(*m_env, u"ada"_qs);
        QCOMPARE(form.email(), u"ada@example.org"_qs);
        form.setEmail(QString());
        QVERIFY(!form.emailNote().isEmpty());
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
        QCOMPARE(readFile(path), before);
    }

    void anEditOfPemmosHalfLeavesTheFileAlone() {
        const QString path = home(u"books/personal/ada.vcf"_qs);
        const QByteArray before = readFile(path);
        {
            ContactFormViewModel form(*m_env, u"ada"_qs);
            form.setCircles(u"Mathematics"_qs);
            form.setMessageHandle(u"  @ada  "_qs);
            await(form.save());
        }
        QCOMPARE(readFile(path), before);
        const auto record = m_env->sync().profile(u"ada"_qs)->record;
        QCOMPARE(record.tags, QStringList{u"mathematics"_qs});
        QCOMPARE(record.messageHandle, std::optional<QString>(u"@ada"_qs));
        // Opened again, the form shows what was saved; removing the circle removes it.
        ContactFormViewModel again(*m_env, u"ada"_qs);
        QCOMPARE(again.circles(), u"Mathematics"_qs);
        again.setCircles(QString());
        await(again.save());
        QVERIFY(m_env->sync().profile(u"ada"_qs)->record.tags.isEmpty());
    }

    void anOrganisationEditedOverPemmosOwnReachesTheCard() {
        await(m_env->sync().setField(u"ada"_qs, WritableField::Company, u"Analytical Engines"_qs));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        QCOMPARE(form.organization(), u"Analytical Engines"_qs); // what the card shows
        form.setOrganization(u"Babbage & Co"_qs);
        await(form.save());
        const auto profile = m_env->sync().profile(u"ada"_qs);
        QCOMPARE(profile->person.organization, std::optional<QString>(u"Babbage & Co"_qs));
        QCOMPARE(profile->company(), std::optional<QString>(u"Babbage & Co"_qs));
    }

    void deletingFromTheActionPanelRemovesTheFileAndTheRecord() {
        await(m_env->sync().addTag(u"ada"_qs, u"friends"_qs));
        await(m_env->store().flush());
        m_env->router().push(Route::profile(u"ada"_qs));
        ActionPanelViewModel panel(ActionContext::profile(u"ada"_qs), *m_env);
        QVERIFY(panel.performID(u"delete-contact"_qs));
        QVERIFY(m_env->router().showsConfirm());
        m_env->router().confirm();
        QTRY_VERIFY(!m_env->sync().profile(u"ada"_qs));
        QVERIFY(!m_home->exists(u"books/personal/ada.vcf"_qs));
        QVERIFY(!await(m_env->store().record(u"ada"_qs)));
        QCOMPARE(m_env->router().depth(), 1);
    }

    void aDeletionThatFailsSaysSoAndKeepsTheCard() {
        m_env->router().push(Route::profile(u"ada"_qs));
        // The file goes behind Pemmo's back, so the address book cannot delete it.
        QFile::remove(home(u"books/personal/ada.vcf"_qs));
        ActionPanelViewModel panel(ActionContext::profile(u"ada"_qs), *m_env);
        panel.performID(u"delete-contact"_qs);
        m_env->router().confirm();
        QTRY_COMPARE(m_env->router().bannerStyle(), u"error"_qs);
        QCOMPARE(m_env->router().bannerMessage(), u"Ada Lovelace could not be deleted."_qs);
    }

    void removingPemmosDataKeepsTheFile() {
        const QByteArray before = readFile(home(u"books/personal/ada.vcf"_qs));
        await(m_env->sync().addTag(u"ada"_qs, u"friends"_qs));
        ActionPanelViewModel panel(ActionContext::profile(u"ada"_qs), *m_env);
        panel.performID(u"remove-data"_qs);
        m_env->router().confirm();
        QTRY_VERIFY(m_env->sync().profile(u"ada"_qs)->record.tags.isEmpty());
        QVERIFY(!await(m_env->store().record(u"ada"_qs)));
        QCOMPARE(readFile(home(u"books/personal/ada.vcf"_qs)), before);
    }
};

QTEST_MAIN(TestContactFormViewModel)
#include "TestContactFormViewModel.moc"
