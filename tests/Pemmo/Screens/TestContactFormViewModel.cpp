// The contact form over real vCard folders: what is typed is checked before anything is written, a
// new contact lands in the folder chosen for new contacts, an edit rewrites only the lines it
// changes, and the card's destructive commands delete the file or only Pemmo's record. A photo
// picked from a file and the links are edited in the form and stored only when it is saved. The
// card's own quick-link form checks an address as it will be opened, recognises or is told the
// site, and refuses a sixth custom link.
#include "../Shell/KeyPress.h"
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Links/LinkRouter.h"
#include "Links/QuickLinkPolicy.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Screens/ContactFormViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/ActionPanelViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEvent.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoImport.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TestData.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

using namespace pemmo;
using test::await;

namespace {

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

QString photo(const QString& name) {
    return test::testDataPath(u"photos/"_qs + name);
}

QuickLink link(QuickLink::Kind kind, const QString& title, const QString& url) {
    return QuickLink{QUuid::createUuid(), kind, title, url};
}

QList<QuickLink> customLinks(int count) {
    QList<QuickLink> links;
    for (int i = 1; i <= count; ++i)
        links.append(
            link(QuickLink::Kind::Custom, u"Site %1"_qs.arg(i), u"https://site%1.example.org/"_qs.arg(i)));
    return links;
}

} // namespace

class TestContactFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<test::LiveHome> m_home;
    std::unique_ptr<AppEnvironment> m_env;

    QString home(const QString& path) const { return m_home->path(path); }

    // Two address books: "personal" (first, holding Ada and John Doe from the corpus) and "work".
    void start() {
        m_home = std::make_unique<test::LiveHome>(QStringList{u"books/personal"_qs});
        QDir().mkpath(home(u"books/work"_qs));
        m_home->dir.write(u"books/personal/ada.vcf"_qs,
                          test::vcard("ada", "Ada", "Lovelace", "EMAIL;TYPE=HOME:ada@example.org\r\n"));
        m_home->dir.write(u"books/personal/john.vcf"_qs, test::testData(u"vcard/John_Doe_EVOLUTION.vcf"_qs));
        m_env = m_home->environment();
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

    std::optional<QByteArray> storedPhoto(const QString& id) {
        return await(m_env->sync().replacementPhoto(id));
    }

    void setLinks(const QString& id, const QList<QuickLink>& links) {
        await(m_env->sync().updateRecord(id, [links](PemmoRecord& record) { record.links = links; }));
    }

    void save(ContactFormViewModel& form) {
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
    }

    QList<QuickLink> savedLinks(const QString& id) { return m_env->sync().profile(id)->record->links; }
    // Adds a link to Ada's card through the quick-link form, as the card's "Add link" opens it.
    void addLink(const QString& url, int kind = QuickLinkFormViewModel::Automatic,
                 const QString& title = {}) {
        m_env->router().push(Route::quickLinkForm(u"ada"_qs));
        QuickLinkFormViewModel form(*m_env, u"ada"_qs);
        form.setURL(url);
        form.setKindIndex(kind);
        form.setLinkTitle(title);
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
    }

    // A file of `size` bytes that starts as a real picture.
    QString oversizedPicture(qint64 size) {
        const QString path = home(u"huge.jpg"_qs);
        QFile::copy(photo(u"portrait-1600x1200.jpg"_qs), path);
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) || !file.resize(size))
            qFatal("cannot make %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void init() { start(); }
    void cleanup() {
        if (m_env)
            m_env->sync().stop();
        m_env.reset();
        m_home.reset();
    }

    // What is typed in the search when the form opens fills the name, or the field it looks like.
    void aTypedQueryFillsTheNameOrItsOwnField_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("fields"); // given, family, email, phone, the avatar's letters
        QTest::newRow("two words") << u"Zed Newperson"_qs
                                   << QStringList{u"Zed"_qs, u"Newperson"_qs, {}, {}, u"ZN"_qs};
        QTest::newRow("several, extra spaces")
            << u"  Ana  María de la Cruz "_qs
            << QStringList{u"Ana María de la"_qs, u"Cruz"_qs, {}, {}, u"AC"_qs};
        QTest::newRow("one word") << u"Cher"_qs << QStringList{u"Cher"_qs, {}, {}, {}, u"CH"_qs};
        QTest::newRow("nothing") << u"  "_qs << QStringList{{}, {}, {}, {}, u"?"_qs};
        QTest::newRow("an address") << u"zed@example.org"_qs
                                    << QStringList{{}, {}, u"zed@example.org"_qs, {}, u"?"_qs};
        QTest::newRow("a number") << u"+44 20 7946 0000"_qs
                                  << QStringList{{}, {}, {}, u"+44 20 7946 0000"_qs, u"?"_qs};
    }
    void aTypedQueryFillsTheNameOrItsOwnField() {
        QFETCH(QString, typed);
        QFETCH(QStringList, fields);
        ContactFormViewModel form(*m_env, QString(), typed);
        QCOMPARE(
            (QStringList{form.givenName(), form.familyName(), form.email(), form.phone(), form.initials()}),
            fields);
    }

    // Each row breaks one rule over an otherwise good form ("Zed", nothing else); `typed` holds
    // what differs from that.
    void problemsAreShownBesideTheirFieldsAndNothingIsWritten_data() {
        QTest::addColumn<QVariantMap>("typed");
        QTest::addColumn<QString>("field");
        QTest::newRow("no name") << QVariantMap{{u"given"_qs, u"  "_qs}} << u"givenName"_qs;
        QTest::newRow("not an address") << QVariantMap{{u"email"_qs, u"zed at example"_qs}} << u"email"_qs;
        QTest::newRow("phone without digits") << QVariantMap{{u"phone"_qs, u"call me"_qs}} << u"phone"_qs;
        QTest::newRow("day without month") << QVariantMap{{u"day"_qs, u"12"_qs}} << u"birthday"_qs;
        QTest::newRow("31 April") << QVariantMap{{u"day"_qs, u"31"_qs}, {u"month"_qs, 4}} << u"birthday"_qs;
        QTest::newRow("29 February 2023")
            << QVariantMap{{u"day"_qs, u"29"_qs}, {u"month"_qs, 2}, {u"year"_qs, u"2023"_qs}}
            << u"birthday"_qs;
        QTest::newRow("two-digit year")
            << QVariantMap{{u"day"_qs, u"3"_qs}, {u"month"_qs, 5}, {u"year"_qs, u"87"_qs}} << u"birthday"_qs;
        QTest::newRow("in the future")
            << QVariantMap{{u"day"_qs, u"1"_qs}, {u"month"_qs, 1}, {u"year"_qs, u"2999"_qs}}
            << u"birthday"_qs;
        QTest::newRow("location link that is no address")
            << QVariantMap{{u"detail-findMyURL"_qs, u"find me"_qs}} << u"detail-findMyURL"_qs;
        QTest::newRow("other e-mail that is no address")
            << QVariantMap{{u"detail-email"_qs, u"q@"_qs}} << u"detail-email"_qs;
    }
    void problemsAreShownBesideTheirFieldsAndNothingIsWritten() {
        QFETCH(QVariantMap, typed);
        QFETCH(QString, field);
        m_env->router().push(Route::contactFormCreate());
        ContactFormViewModel form(*m_env, QString());
        form.setGivenName(typed.value(u"given"_qs, u"Zed"_qs).toString());
        form.setEmail(typed.value(u"email"_qs).toString());
        form.setPhone(typed.value(u"phone"_qs).toString());
        form.setBirthdayDay(typed.value(u"day"_qs).toString());
        form.setBirthdayMonth(typed.value(u"month"_qs).toInt());
        form.setBirthdayYear(typed.value(u"year"_qs).toString());
        for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
            if (it.key().startsWith(u"detail-"))
                form.setDetail(it.key().mid(7), it.value().toString());
        }
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
        else if (field.startsWith(u"detail-"))
            form.setDetail(field.mid(7), QString());
        else
            form.setBirthdayDay(QString());
        QVERIFY(form.errors().isEmpty());
    }

    void aBirthdayMayLeaveOutTheYear() {
        const auto parsed = ContactFormViewModel::parseBirthday(u"29"_qs, 2, QString(), QDate(2026, 1, 1));
        QVERIFY(parsed.error.isEmpty());
        QCOMPARE(parsed.date, (DateComponents{std::nullopt, 2, 29}));
    }

    // Two address books, named one by one or as the folder that holds them (as vdirsyncer fills
    // it). A folder outside them is not where a contact could be found again, so choosing it sends
    // new contacts to the first; "Saved in …" names the folder the card then lands in.
    void aNewContactIsWrittenToTheFolderChosenForNewContacts_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        const QStringList books{u"books/personal"_qs, u"books/work"_qs}, parent{u"books"_qs};
        QTest::newRow("the second book") << books << u"books/work"_qs << u"books/work"_qs;
        QTest::newRow("outside the books") << books << u"elsewhere"_qs << u"books/personal"_qs;
        QTest::newRow("books in a folder, no choice") << parent << QString() << u"books/personal"_qs;
        QTest::newRow("books in a folder, the second") << parent << u"books/work"_qs << u"books/work"_qs;
        QTest::newRow("books in a folder, outside") << parent << u"elsewhere"_qs << u"books/personal"_qs;
    }
    void aNewContactIsWrittenToTheFolderChosenForNewContacts() {
        QFETCH(QStringList, folders);
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        for (QString& folder : folders)
            folder = home(folder);
        m_env->settings().setContactFolders(folders);
        if (!chosen.isEmpty()) {
            QDir().mkpath(home(chosen));
            m_env->settings().setNewContactsFolder(home(chosen));
        }
        auto& router = m_env->router();
        router.setPendingSuggestedName(u"Zed Newperson"_qs);
        router.push(Route::contactFormCreate());
        ContactFormViewModel form(*m_env, QString(), router.takePendingSuggestedName().value_or(QString()));
        QCOMPARE(form.title(), u"New contact"_qs);
        QTRY_COMPARE(form.folderNote(), u"Saved in "_qs + home(written));
        form.setEmail(u"  zed@example.org "_qs);
        form.setPhone(u"+1 555 0100"_qs);
        form.setBirthdayDay(u"17"_qs);
        form.setBirthdayMonth(5);
        form.setCircles(u"Climbing, climbing ,Family"_qs);
        form.setAbout(u"Met at the crag."_qs);
        form.setDetail(u"howWeMet"_qs, u"Bouldering gym"_qs);
        QVERIFY(form.setPhotoFile(photo(u"portrait-1600x1200.jpg"_qs)));
        save(form);

        // Only the one file, only where it belongs.
        const QStringList before{u"ada.vcf"_qs, u"john.vcf"_qs};
        const QString path = newFile(written, before);
        QVERIFY(!path.isEmpty());
        for (const QString& folder : {u"books/personal"_qs, u"books/work"_qs, u"elsewhere"_qs})
            QCOMPARE(newFile(folder, before), folder == written ? path : QString());
        const QByteArray card = readFile(path);
        QVERIFY(card.contains("\r\nN:Newperson;Zed;;;\r\n"));
        QVERIFY(card.contains("\r\nFN:Zed Newperson\r\n"));
        QVERIFY(card.contains(":zed@example.org\r\n")); // trimmed
        QVERIFY(card.contains("EMAIL;"));
        QVERIFY(card.contains(":+1 555 0100\r\n"));
        QVERIFY(card.contains("BDAY:--05-17\r\n")); // no year

        // The card of the new person replaces the form, and the record carries Pemmo's half.
        QCOMPARE(router.topRoute().routeKind(), Route::Kind::Profile);
        const QString id = *router.topRoute().contactID();
        const auto profile = m_env->sync().profile(id);
        QVERIFY(profile);
        QCOMPARE(profile->person->displayName(), u"Zed Newperson"_qs);
        QVERIFY(profile->person->birthday == (DateComponents{std::nullopt, 5, 17}));
        QCOMPARE(profile->record->tags, (QStringList{u"climbing"_qs, u"family"_qs}));
        QCOMPARE(profile->record->about, u"Met at the crag."_qs);
        QCOMPARE(profile->record->details.howWeMet, std::optional<QString>(u"Bouldering gym"_qs));
        QVERIFY(await(m_env->store().record(id)));
        QCOMPARE(storedPhoto(id), form.chosenPhoto());
    }

    void anEditRewritesOnlyTheLinesOfWhatChanged() {
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
        form.setBirthdayDay(QString());
        form.setBirthdayMonth(0);
        form.setBirthdayYear(QString());
        save(form);
        // The name lines are rewritten, the birthday's line goes, the card's revision says when,
        // and nothing else changes.
        QByteArrayList changed = changedLines(before, readFile(path));
        QVERIFY(changed.removeAll("BDAY:1980-03-22") == 1);
        QVERIFY(!changed.isEmpty());
        for (const QByteArray& line : changed)
            QVERIFY2(line.startsWith("N:") || line.startsWith("FN:") || line.startsWith("REV:"),
                     line.constData());
        QCOMPARE(m_env->sync().profile(id)->person->familyName, u"Dough"_qs);
        QCOMPARE(m_env->sync().profile(id)->person->birthday, std::nullopt);
        QCOMPARE(m_env->router().topRoute(), Route::profile(id)); // back on the card
    }

    // An emptied e-mail field leaves the card's addresses alone; Pemmo's half never touches the file.
    void anEditOfPemmosHalfOrAnEmptiedEmailLeavesTheFileAlone() {
        const QString path = home(u"books/personal/ada.vcf"_qs);
        const QByteArray before = readFile(path);
        {
            ContactFormViewModel form(*m_env, u"ada"_qs);
            QCOMPARE(form.email(), u"ada@example.org"_qs);
            form.setEmail(QString());
            QVERIFY(!form.emailNote().isEmpty());
            form.setCircles(u"Mathematics"_qs);
            form.setMessageHandle(u"  @ada  "_qs);
            save(form);
        }
        QCOMPARE(readFile(path), before);
        const PemmoRecord record = *m_env->sync().profile(u"ada"_qs)->record;
        QCOMPARE(record.tags, QStringList{u"mathematics"_qs});
        QCOMPARE(record.messageHandle, std::optional<QString>(u"@ada"_qs));
        // Opened again, the form shows what was saved; removing the circle removes it.
        ContactFormViewModel again(*m_env, u"ada"_qs);
        QCOMPARE(again.circles(), u"Mathematics"_qs);
        again.setCircles(QString());
        await(again.save());
        QVERIFY(m_env->sync().profile(u"ada"_qs)->record->tags.isEmpty());
    }

    // A circle typed is catalogued with the contact, as typed; a save that fails catalogues nothing.
    // With the application's list maintenance running, which catalogues every circle a published
    // record carries (named from its id unless the catalogue knows it already).
    void aCircleIsCataloguedOnlyWhenTheSaveSucceeds() {
        AppStartup startup(*m_env);
        {
            ContactFormViewModel form(*m_env, u"ada"_qs);
            form.setCircles(u"iOS Devs, #Family,  # Book  Club "_qs);
            save(form);
        }
        QCOMPARE(m_env->sync().profile(u"ada"_qs)->record->tags,
                 (QStringList{u"ios devs"_qs, u"family"_qs, u"book club"_qs}));
        QCOMPARE(m_env->tags().tagWithID(u"ios devs"_qs).value_or(Tag()).name, u"iOS Devs"_qs);
        QCOMPARE(m_env->tags().tagWithID(u"book club"_qs).value_or(Tag()).name, u"Book Club"_qs);
        ContactFormViewModel form(*m_env, u"477343c8e6bf375a9bac1f96a5000837"_qs); // John Doe
        form.setGivenName(u"Jon"_qs);
        form.setCircles(u"Chess Club"_qs);
        QFile::remove(home(u"books/personal/john.vcf"_qs)); // behind Pemmo's back
        await(form.save());
        QVERIFY(!form.error().isEmpty());
        QVERIFY(!m_env->tags().tagWithID(u"chess club"_qs));
    }

    // Gmail and Find My are offered on every card; the form is where their addresses are given.
    void theLocationLinkAndTheWebMailTemplateAreDetailsOfTheForm() {
        QStringList keys;
        QString templatePlaceholder;
        {
            ContactFormViewModel form(*m_env, u"ada"_qs);
            for (const QVariant& detail : form.property("details").toList()) {
                const QVariantMap map = detail.toMap();
                keys.append(map.value(u"key"_qs).toString());
                if (map.value(u"key"_qs).toString() == u"gmailTemplate")
                    templatePlaceholder = map.value(u"placeholder"_qs).toString();
            }
            QVERIFY(keys.contains(u"findMyURL"_qs));
            QVERIFY(keys.contains(u"gmailTemplate"_qs));
            QCOMPARE(templatePlaceholder, LinkRouter::defaultGmailTemplate());
            form.setDetail(u"findMyURL"_qs, u"maps.example.org/ada"_qs);
            form.setDetail(u"gmailTemplate"_qs, LinkRouter::defaultGmailTemplate());
            save(form);
        }
        const PemmoRecord record = *m_env->sync().profile(u"ada"_qs)->record;
        QCOMPARE(record.findMyURL, std::optional<QString>(u"maps.example.org/ada"_qs));
        QCOMPARE(record.gmailTemplate, std::optional<QString>(LinkRouter::defaultGmailTemplate()));
        // Both land in the change log, as the user's, and nothing else does.
        QStringList logged;
        for (const FieldChange& change : record.changes) {
            QVERIFY(!change.oldValue);
            QCOMPARE(change.source, Interaction::Source::user());
            logged.append(change.field);
        }
        QCOMPARE(logged, (QStringList{u"findMyURL"_qs, u"gmailTemplate"_qs}));
    }

    void anOrganisationEditedOverPemmosOwnReachesTheCard() {
        await(m_env->sync().setField(u"ada"_qs, WritableField::Company, u"Analytical Engines"_qs));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        QCOMPARE(form.organization(), u"Analytical Engines"_qs); // what the card shows
        form.setOrganization(u"Babbage & Co"_qs);
        await(form.save());
        const auto profile = m_env->sync().profile(u"ada"_qs);
        QCOMPARE(profile->person->organization, std::optional<QString>(u"Babbage & Co"_qs));
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
        QVERIFY(!m_home->dir.exists(u"books/personal/ada.vcf"_qs));
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
        QTRY_VERIFY(m_env->sync().profile(u"ada"_qs)->record->tags.isEmpty());
        QVERIFY(!await(m_env->store().record(u"ada"_qs)));
        QCOMPARE(readFile(home(u"books/personal/ada.vcf"_qs)), before);
    }

    // --- The photo

    void aPictureIsShownAtOnceAndStoredOnlyOnSaving_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("JPEG") << u"portrait-1600x1200.jpg"_qs;
        QTest::newRow("PNG") << u"transparent-64x48.png"_qs;
    }
    void aPictureIsShownAtOnceAndStoredOnlyOnSaving() {
        QFETCH(QString, file);
        ContactFormViewModel form(*m_env, u"ada"_qs);
        QTRY_VERIFY(form.isPhotoLoaded());
        QVERIFY(!form.hasReplacementPhoto());
        const int version = m_env->sync().photoVersion();
        QVERIFY(form.setPhotoFile(photo(file)));
        QVERIFY(form.photoError().isEmpty());
        QVERIFY(form.hasReplacementPhoto());
        QVERIFY(form.photoSource().startsWith(u"data:image/jpeg;base64,"_qs));
        // Nothing is stored while the form is open: Escape must leave no trace.
        QCOMPARE(storedPhoto(u"ada"_qs), std::nullopt);
        save(form);
        QCOMPARE(storedPhoto(u"ada"_qs), form.chosenPhoto());
        QCOMPARE(QImage::fromData(*storedPhoto(u"ada"_qs)).size(),
                 QImage::fromData(PhotoImport::fromFile(photo(file)).jpeg).size());
        // The card's avatar reloads.
        QVERIFY(m_env->sync().photoVersion() > version);
    }

    void aFileThatIsNoPhotoIsRefusedAndNothingIsLost_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("problem");
        QTest::newRow("not an image")
            << photo(u"not-an-image.jpg"_qs) << int(PhotoImport::Problem::NotAnImage);
        QTest::newRow("too large") << QString() << int(PhotoImport::Problem::TooLarge);
        QTest::newRow("gone") << photo(u"missing.png"_qs) << int(PhotoImport::Problem::Unreadable);
    }
    void aFileThatIsNoPhotoIsRefusedAndNothingIsLost() {
        QFETCH(QString, file);
        QFETCH(int, problem);
        if (file.isEmpty())
            file = oversizedPicture(PhotoImport::defaultMaxFileBytes + 1);
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.setAbout(u"Wrote the first program."_qs);
        QVERIFY(form.setPhotoFile(photo(u"transparent-64x48.png"_qs)));
        const auto chosen = form.chosenPhoto();
        const QString shown = form.photoSource();
        QVERIFY(!form.setPhotoFile(file));
        QCOMPARE(form.photoError(), PhotoImport::message(PhotoImport::Problem(problem)));
        // The photo picked before and everything typed stay.
        QCOMPARE(form.chosenPhoto(), chosen);
        QCOMPARE(form.photoSource(), shown);
        QCOMPARE(form.about(), u"Wrote the first program."_qs);
        // A good file takes the message away; saving stores that photo.
        QVERIFY(form.setPhotoFile(photo(u"sideways-300x200.jpg"_qs)));
        QVERIFY(form.photoError().isEmpty());
        await(form.save());
        QCOMPARE(storedPhoto(u"ada"_qs), form.chosenPhoto());
        QCOMPARE(m_env->sync().profile(u"ada"_qs)->record->about, u"Wrote the first program."_qs);
    }

    void useContactsPhotoDropsPemmosPhotoOnSaving() {
        const QByteArray own = PhotoImport::fromFile(photo(u"transparent-64x48.png"_qs)).jpeg;
        await(m_env->sync().setPhoto(u"ada"_qs, own));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        QTRY_VERIFY(form.isPhotoLoaded());
        QVERIFY(form.hasReplacementPhoto());
        QVERIFY(form.photoSource().startsWith(u"data:image/jpeg"_qs));
        // A photo picked and then dropped drops Pemmo's photo too, not only the pick.
        QVERIFY(form.setPhotoFile(photo(u"portrait-1600x1200.jpg"_qs)));
        form.useContactsPhoto();
        QVERIFY(!form.hasReplacementPhoto());
        form.useContactsPhoto(); // a second time changes nothing more
        QVERIFY(!form.hasReplacementPhoto());
        // Ada's card has no address-book photo: the form shows the generated figure.
        QVERIFY(form.photoSource().isEmpty());
        QCOMPARE(storedPhoto(u"ada"_qs), std::optional(own));
        await(form.save());
        QCOMPARE(storedPhoto(u"ada"_qs), std::nullopt);
    }

    void controlOAsksForAFile_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("a picture") << photo(u"sideways-300x200.jpg"_qs) << true;
        QTest::newRow("cancelled") << QString() << false;
    }
    void controlOAsksForAFile() {
        QFETCH(QString, answer);
        QFETCH(bool, chosen);
        ContactFormViewModel form(*m_env, u"ada"_qs);
        int asked = 0;
        form.setPhotoChooser([&] {
            ++asked;
            return answer;
        });
        QCOMPARE(form.handleKey(KeyEvent::command(u'o')), KeyResult::Handled);
        QCOMPARE(asked, 1);
        QCOMPARE(form.chosenPhoto().has_value(), chosen);
        QVERIFY(form.photoError().isEmpty());
    }

    // --- The links

    void aLinkTheQuickLinkFormRefusesIsRefusedHereToo_data() {
        QTest::addColumn<int>("customLinks");
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("kindIndex");
        QTest::addColumn<QString>("message");
        QTest::newRow("not an address") << 0 << u"not an address"_qs << int(QuickLinkFormViewModel::Automatic)
                                        << PemmoError::invalidURL(u"not an address"_qs).message();
        QTest::newRow("sixth custom link")
            << 5 << u"https://blog.example.org"_qs << int(QuickLinkFormViewModel::Automatic)
            << PemmoError::customLinkLimitReached(QuickLinkPolicy::customLinkLimit).message();
        QTest::newRow("sixth, named custom")
            << 5 << u"instagram.com/ada"_qs << int(QuickLinkFormViewModel::Custom)
            << PemmoError::customLinkLimitReached(QuickLinkPolicy::customLinkLimit).message();
    }
    void aLinkTheQuickLinkFormRefusesIsRefusedHereToo() {
        QFETCH(int, customLinks);
        QFETCH(QString, url);
        QFETCH(int, kindIndex);
        QFETCH(QString, message);
        const QList<QuickLink> before = ::customLinks(customLinks);
        setLinks(u"ada"_qs, before);
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.setLinkURL(url);
        form.setLinkKindIndex(kindIndex);
        QVERIFY(!form.commitLink());
        QCOMPARE(form.linkError(), message);
        QCOMPARE(form.formLinks(), before);
        // The typed link stays to be corrected.
        QCOMPARE(form.linkURL(), url);
        // Saving with it still there stops, and stores nothing.
        form.setAbout(u"Not saved yet"_qs);
        await(form.save());
        QCOMPARE(form.linkError(), message);
        QCOMPARE(savedLinks(u"ada"_qs), before);
        QVERIFY(m_env->sync().profile(u"ada"_qs)->record->about.isEmpty());
    }

    void anEmptyLinkEditorIsRefusedAloneButDoesNotStopTheSave() {
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.setLinkURL(u"  "_qs);
        QVERIFY(!form.commitLink());
        QCOMPARE(form.linkError(), PemmoError::invalidURL(u"  "_qs).message());
        form.setAbout(u"Saved"_qs);
        await(form.save());
        QCOMPARE(m_env->sync().profile(u"ada"_qs)->record->about, u"Saved"_qs);
        QVERIFY(savedLinks(u"ada"_qs).isEmpty());
    }

    void escapeStopsChangingALinkBeforeItLeaves() {
        setLinks(u"ada"_qs, customLinks(1));
        m_env->router().push(Route::contactFormEdit(u"ada"_qs));
        const int depth = m_env->router().depth();
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.editLink(form.formLinks().first().id.toString());
        form.setLinkURL(u"https://elsewhere.example.org"_qs);
        form.handleKey(test::key(Qt::Key_Escape));
        QVERIFY(form.editingLinkID().isEmpty());
        QCOMPARE(form.formLinks(), savedLinks(u"ada"_qs));
        QCOMPARE(m_env->router().depth(), depth);
        form.handleKey(test::key(Qt::Key_Escape));
        QCOMPARE(m_env->router().depth(), depth - 1);
    }

    // Escape (or the form's Cancel) leaves a form that is as it opened, or changed back to it, at
    // once. With something changed it asks first on the router's card: Escape there (or Tab to
    // Cancel and Return) goes back to the form with everything in it, Return on "Discard" leaves
    // and nothing is written. `contact` empty is a new contact named "Zed Newperson".
    void escapeAsksBeforeThrowingChangesAway_data() {
        QTest::addColumn<QString>("contact");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("asks");
        for (const QString& contact : {QString(), u"ada"_qs}) {
            const QString form = contact.isEmpty() ? u"new contact: "_qs : u"edit: "_qs;
            const auto row = [&](const char* change, bool asks) {
                QTest::newRow(qPrintable(form + QString::fromLatin1(change)))
                    << contact << QString::fromLatin1(change) << asks;
            };
            row("nothing", false);
            row("a name changed back", false);
            row("a detail typed and emptied", false);
            row("a name", true);
            row("a birthday month", true);
            row("a circle", true);
            row("a detail", true);
            row("about", true);
            row("a photo", true);
            row("a link added", true);
            row("a link typed, not added", true);
        }
        QTest::newRow("edit: a link removed") << u"ada"_qs << u"a link removed"_qs << true;
        QTest::newRow("edit: a link opened for a change, unchanged")
            << u"ada"_qs << u"a link opened"_qs << false;
    }
    void escapeAsksBeforeThrowingChangesAway() {
        QFETCH(QString, contact);
        QFETCH(QString, change);
        QFETCH(bool, asks);
        setLinks(u"ada"_qs, customLinks(1));
        const QByteArray adaBefore = readFile(home(u"books/personal/ada.vcf"_qs));
        AppRouter& router = m_env->router();
        router.push(Route::profile(u"ada"_qs));
        router.push(contact.isEmpty() ? Route::contactFormCreate() : Route::contactFormEdit(contact));
        const int depth = router.depth();
        ContactFormViewModel form(*m_env, contact, u"Zed Newperson"_qs);
        QTRY_VERIFY(form.isPhotoLoaded());
        QVERIFY(!form.hasChanges());

        const QString given = form.givenName();
        if (change == u"a name changed back") {
            form.setGivenName(u"Someone else"_qs);
            form.setGivenName(given);
        } else if (change == u"a detail typed and emptied") {
            form.setDetail(u"school"_qs, u"Cambridge"_qs);
            form.setDetail(u"school"_qs, QString());
        } else if (change == u"a name") {
            form.setGivenName(given + u"a"_qs);
        } else if (change == u"a birthday month") {
            form.setBirthdayMonth(form.birthdayMonth() == 5 ? 6 : 5);
        } else if (change == u"a circle") {
            form.setCircles(u"climbing"_qs);
        } else if (change == u"a detail") {
            form.setDetail(u"school"_qs, u"Cambridge"_qs);
        } else if (change == u"about") {
            form.setAbout(u"Met at the harbour festival; moving to Lisbon in spring."_qs);
        } else if (change == u"a photo") {
            QVERIFY(form.setPhotoFile(photo(u"portrait-1600x1200.jpg"_qs)));
        } else if (change == u"a link added") {
            form.setLinkURL(u"https://example.org/zed"_qs);
            QVERIFY(form.commitLink());
        } else if (change == u"a link typed, not added") {
            form.setLinkURL(u"https://example.org/zed"_qs);
        } else if (change == u"a link removed") {
            form.removeLink(form.formLinks().first().id.toString());
        } else if (change == u"a link opened") {
            form.editLink(form.formLinks().first().id.toString());
        } else {
            QCOMPARE(change, u"nothing"_qs);
        }
        QCOMPARE(form.hasChanges(), asks);
        // What the form holds now, to find it again after the question.
        const auto held = [&form] {
            return QVariantList{
                form.givenName(), form.birthdayMonth(), form.circles(), form.detail(u"school"_qs),
                form.about(),     form.photoSource(),   form.linkURL(), form.editingLinkID()};
        };
        const QVariantList typed = held();
        const QList<QuickLink> links = form.formLinks();

        // (Escape first stops changing a link, as escapeStopsChangingALinkBeforeItLeaves shows; the
        // form's Cancel button leaves.)
        if (change == u"a link opened")
            form.cancel();
        else
            QCOMPARE(form.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        if (!asks) {
            QVERIFY(!router.hasOverlay());
            QCOMPARE(router.depth(), depth - 1);
            return;
        }
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.depth(), depth);
        const ConfirmRequest question = router.confirmRequest();
        QCOMPARE(question.title, u"Discard your changes?"_qs);
        QCOMPARE(question.message, u"What you typed in this form will be lost."_qs);
        QCOMPARE(question.confirmTitle, u"Discard"_qs);
        QVERIFY(question.destructive);

        // Escape on the card: back to the form, everything still in it.
        QCOMPARE(router.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QVERIFY(!router.hasOverlay());
        QCOMPARE(router.depth(), depth);
        QCOMPARE(held(), typed);
        QCOMPARE(form.formLinks(), links);
        // The same from the card's Cancel button, reached with Tab.
        form.cancel();
        QVERIFY(router.showsConfirm());
        router.handleKey(test::key(Qt::Key_Tab));
        QVERIFY(router.confirmFocusOnCancel());
        router.handleKey(test::key(Qt::Key_Return));
        QVERIFY(!router.hasOverlay());
        QCOMPARE(router.depth(), depth);
        QCOMPARE(held(), typed);
        QCOMPARE(form.formLinks(), links);

        // Return on "Discard" leaves, and nothing was written.
        form.handleKey(test::key(Qt::Key_Escape));
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.handleKey(test::key(Qt::Key_Return)), KeyResult::Handled);
        QVERIFY(!router.hasOverlay());
        QCOMPARE(router.depth(), depth - 1);
        QCOMPARE(router.topRoute(), Route::profile(u"ada"_qs));
        await(m_env->store().flush());
        QCOMPARE(m_env->sync().profiles().size(), 2);
        QCOMPARE(readFile(home(u"books/personal/ada.vcf"_qs)), adaBefore);
        QCOMPARE(savedLinks(u"ada"_qs).size(), 1);
        QCOMPARE(storedPhoto(u"ada"_qs), std::nullopt);
    }

    // "Discard" leaves the form it was asked about only: a stack changed under the question (the
    // form is already gone) stays as it is.
    void discardLeavesOnlyTheFormItWasAskedAbout() {
        AppRouter& router = m_env->router();
        router.push(Route::profile(u"ada"_qs));
        router.push(Route::contactFormEdit(u"ada"_qs));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.setAbout(u"Typed"_qs);
        form.cancel();
        QVERIFY(router.showsConfirm());
        router.pop();
        router.confirm();
        QCOMPARE(router.depth(), 2);
        QCOMPARE(router.topRoute(), Route::profile(u"ada"_qs));
    }

    void savingWritesExactlyTheLinksTheFormChanged() {
        const QuickLink a = link(QuickLink::Kind::Custom, u"A"_qs, u"https://a.example.org/"_qs);
        const QuickLink b = link(QuickLink::Kind::Custom, u"B"_qs, u"https://b.example.org/"_qs);
        const QuickLink c =
            link(QuickLink::Kind::LinkedIn, u"LinkedIn"_qs, u"https://linkedin.com/in/ada"_qs);
        setLinks(u"ada"_qs, {a, b, c});
        await(m_env->sync().setAbout(u"ada"_qs, u"Countess"_qs));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        // The form changes A, which changes only A, in its place.
        form.editLink(a.id.toString());
        QCOMPARE(form.linkURL(), a.url);
        QCOMPARE(form.linkTitle(), u"A"_qs);
        form.setLinkTitle(u"A, renamed in the form"_qs);
        form.setLinkURL(u"a.example.org/new"_qs);
        QVERIFY(form.commitLink());
        QVERIFY(form.editingLinkID().isEmpty());
        QVERIFY(form.linkURL().isEmpty());
        QuickLink renamedA = a;
        renamedA.title = u"A, renamed in the form"_qs;
        renamedA.url = u"https://a.example.org/new"_qs;
        QCOMPARE(form.formLinks(), (QList<QuickLink>{renamedA, b, c}));
        // While the form is open, the card renames B and adds D.
        QuickLink renamedB = b;
        renamedB.title = u"B, renamed on the card"_qs;
        const QuickLink d = link(QuickLink::Kind::Custom, u"D"_qs, u"https://d.example.org/"_qs);
        await(m_env->sync().updateRecord(u"ada"_qs, [renamedB, d](PemmoRecord& record) {
            record.links[1] = renamedB;
            record.links.append(d);
        }));
        // The form also removes the LinkedIn link and moves B first.
        form.removeLink(c.id.toString());
        form.moveLink(b.id.toString(), -1);
        save(form);
        QCOMPARE(savedLinks(u"ada"_qs), (QList<QuickLink>{renamedB, renamedA, d}));
        QCOMPARE(m_env->sync().profile(u"ada"_qs)->record->about, u"Countess"_qs);
    }

    void aLinkTypedButNotAddedIsSavedWithTheForm() {
        ContactFormViewModel form(*m_env, u"ada"_qs);
        form.setLinkURL(u"github.com/ada"_qs);
        QCOMPARE(form.handleKey(test::key(Qt::Key_Return, Qt::ControlModifier)), KeyResult::Handled);
        QTRY_VERIFY(!form.isSaving());
        const auto links = savedLinks(u"ada"_qs);
        QCOMPARE(links.size(), 1);
        QCOMPARE(links.first().url, u"https://github.com/ada"_qs);
    }

    void aFormThatChangesNoLinkLeavesTheStoresLinks() {
        setLinks(u"ada"_qs, customLinks(2));
        ContactFormViewModel form(*m_env, u"ada"_qs);
        // Changed on the card meanwhile; the form, which changed no link, must not undo that.
        setLinks(u"ada"_qs, customLinks(3));
        const auto now = savedLinks(u"ada"_qs);
        form.setAbout(u"Poet's daughter"_qs);
        await(form.save());
        QCOMPARE(savedLinks(u"ada"_qs), now);
    }

    void mergingWithLinksAddedElsewhereKeepsTheCustomLimit() {
        const QList<QuickLink> shown = customLinks(4);
        QList<QuickLink> held = shown;
        held.append(link(QuickLink::Kind::Custom, u"Elsewhere"_qs, u"https://elsewhere.example.org/"_qs));
        QList<QuickLink> edited = shown;
        edited.append(link(QuickLink::Kind::Custom, u"Form"_qs, u"https://form.example.org/"_qs));
        QVERIFY_THROWS_EXCEPTION(PemmoError, ContactFormViewModel::mergeLinks(held, shown, edited));
        edited.removeFirst();
        QCOMPARE(ContactFormViewModel::mergeLinks(held, shown, edited).size(), 5);
    }

    // --- The quick-link form

    void theQuickLinkFormSavesAnAddressWithHttpsAndItsSite() {
        addLink(u"www.instagram.com/ada"_qs);
        const QList<QuickLink> links = savedLinks(u"ada"_qs);
        QCOMPARE(links.size(), 1);
        QCOMPARE(links.first().url, u"https://www.instagram.com/ada"_qs);
        QCOMPARE(links.first().kind, QuickLink::Kind::Instagram);
        QCOMPARE(links.first().title, u"Instagram"_qs);
        QCOMPARE(m_env->router().depth(), 1); // back where it came from
    }

    // Which addresses are refused is TestLinkRouter's normalizedURL table; the form has one path.
    void theQuickLinkFormRefusesAnAddressThatIsNotOneInline() {
        QuickLinkFormViewModel form(*m_env, u"ada"_qs);
        form.setURL(u"example.org/a b"_qs);
        QVERIFY(form.preview().isEmpty());
        await(form.save());
        QCOMPARE(form.error(), u"Enter a valid web address."_qs);
        QVERIFY(savedLinks(u"ada"_qs).isEmpty());
        form.setURL(u"example.org"_qs);
        QVERIFY(form.error().isEmpty());
        QCOMPARE(form.preview(), u"Example.org"_qs);
    }

    void theQuickLinkFormRefusesTheSixthCustomLinkInline() {
        setLinks(u"ada"_qs, customLinks(5));
        QuickLinkFormViewModel form(*m_env, u"ada"_qs);
        form.setURL(u"one-more.example.org"_qs);
        await(form.save());
        QCOMPARE(form.error(), u"You can add up to 5 custom links."_qs);
        QCOMPARE(savedLinks(u"ada"_qs).size(), 5);
    }

    void aNamedKindAndTitleWinInTheQuickLinkForm() {
        addLink(u"example.org/ada"_qs, QuickLinkFormViewModel::Instagram, u"  Her photos "_qs);
        QCOMPARE(savedLinks(u"ada"_qs).first().kind, QuickLink::Kind::Instagram);
        QCOMPARE(savedLinks(u"ada"_qs).first().title, u"Her photos"_qs);
    }

    // A title the form made from the address follows the address.
    void editingInTheQuickLinkFormKeepsThePlaceAndTheId() {
        addLink(u"a.example.org"_qs);
        addLink(u"b.example.org"_qs);
        const QuickLink first = savedLinks(u"ada"_qs).first();
        m_env->router().push(Route::quickLinkForm(u"ada"_qs, first.id));
        QuickLinkFormViewModel form(*m_env, u"ada"_qs, first.id);
        QVERIFY(form.isEditing());
        QCOMPARE(form.url(), first.url);
        form.setURL(u"c.example.org"_qs);
        await(form.save());
        const QList<QuickLink> links = savedLinks(u"ada"_qs);
        QCOMPARE(links.size(), 2);
        QCOMPARE(links.first().id, first.id);
        QCOMPARE(links.first().url, u"https://c.example.org"_qs);
        QCOMPARE(links.first().title, u"C.example.org"_qs);
    }
};

QTEST_MAIN(TestContactFormViewModel)
#include "TestContactFormViewModel.moc"
