// A person's card, acted on as the user does, over an in-memory environment whose opener records
// what it is handed: what each action opens, what it writes on the timeline, and what the banner
// says when it cannot.
#include "../Shell/KeyPress.h"
#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Links/LinkRouter.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Screens/ProfileViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Store/PhotoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

using namespace pemmo;
using test::await;
using test::key;
using Kind = ProfileAction::Kind;

Q_DECLARE_METATYPE(ProfileAction::Kind)

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

Person anna() {
    Person p = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
    p.phones = {{u"mobile"_qs, u"+49 (170) 123-4567"_qs}, {u"work"_qs, u"030 555 0100"_qs}};
    p.emails = {{u"home"_qs, u"anna@example.org"_qs}};
    return p;
}

QuickLink customLink(const QString& title, const QString& url) {
    return {QUuid::createUuid(), QuickLink::Kind::Custom, title, url};
}

} // namespace

class TestProfileViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::shared_ptr<test::RecordingOpener::Log> m_opened;

    void start(QList<Person> people) {
        m_env = test::startedEnvironment(std::move(people), kNow);
        m_opened = test::recordOpenings(*m_env);
    }
    void edit(const QString& id, ProfileSyncEngine::RecordChange change) {
        await(m_env->sync().updateRecord(id, std::move(change)));
    }
    ProfileViewModel& card(const QString& id = u"anna"_qs) {
        ProfileViewModel& model = m_env->profileModel(id);
        model.setActive(true);
        return model;
    }
    QList<Interaction> timeline(const QString& id = u"anna"_qs) {
        return m_env->sync().profile(id)->record->interactions;
    }
    QString banner() const { return m_env->router().bannerMessage(); }
    test::FakeProviders useAI(AIProviderID id) { return test::useFakeAI(*m_env, id); }
    std::optional<ProfileRow> rowWithID(ProfileViewModel& model, const QString& id) {
        for (const ProfileRow& row : model.rows()->rows()) {
            if (row.id == id)
                return row;
        }
        return std::nullopt;
    }
    // Where the row `id` is among the card's items; -1 when it is not there.
    static int indexOf(ProfileViewModel& model, const QString& id) {
        for (int i = 0; i < model.items().size(); ++i)
            if (model.items()[i].id == id)
                return i;
        return -1;
    }
    // Lets the fire-and-forget actions that keys start run to their end.
    void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        QTest::qWait(20);
    }

private Q_SLOTS:
    void cleanup() { m_env.reset(); }

    // MARK: Reaching the person

    // Anna has two phones and an address; Bo has neither.
    void reachActions_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<ProfileAction::Kind>("action");
        QTest::addColumn<QString>("handle"); // the record's message handle
        QTest::addColumn<QString>("gmail");  // the record's Gmail template
        QTest::addColumn<QString>("findMy"); // the record's Find My link
        QTest::addColumn<QString>("opened"); // what the opener is handed (empty: nothing)
        QTest::addColumn<QString>("logged"); // the automatic entry's text (empty: none)
        QTest::addColumn<QString>("banner");
        const QString gmail = LinkRouter::defaultGmailTemplate();
        QTest::newRow("message by handle")
            << u"anna"_qs << Kind::Message << u"+1 555 0100"_qs << QString() << QString()
            << u"imessage://%2B1%20555%200100"_qs << u"Opened Messages"_qs << QString();
        QTest::newRow("message falls back to the first phone")
            << u"anna"_qs << Kind::Message << u"  "_qs << QString() << QString()
            << u"imessage://%2B49%20%28170%29%20123%2D4567"_qs << u"Opened Messages"_qs << QString();
        QTest::newRow("call the first phone")
            << u"anna"_qs << Kind::Call << QString() << QString() << QString() << u"tel://+491701234567"_qs
            << u"Called"_qs << QString();
        QTest::newRow("mail") << u"anna"_qs << Kind::Mail << QString() << QString() << QString()
                              << u"mailto:anna@example.org"_qs << u"Opened Mail"_qs << QString();
        QTest::newRow("gmail") << u"anna"_qs << Kind::Gmail << QString() << gmail << QString()
                               << u"https://mail.google.com/mail/?view=cm&to=anna@example.org"_qs
                               << u"Opened Gmail"_qs << QString();
        QTest::newRow("gmail without a template")
            << u"anna"_qs << Kind::Gmail << QString() << QString() << QString() << QString() << QString()
            << u"No Gmail template for Anna Berg"_qs;
        QTest::newRow("find my") << u"anna"_qs << Kind::FindMy << QString() << QString()
                                 << u"maps.example.org/anna"_qs << u"https://maps.example.org/anna"_qs
                                 << QString() << QString();
        QTest::newRow("find my without a link")
            << u"anna"_qs << Kind::FindMy << QString() << QString() << QString() << QString() << QString()
            << u"No Find My link for Anna Berg"_qs;
        QTest::newRow("find my link that is not one")
            << u"anna"_qs << Kind::FindMy << QString() << QString() << u"a b"_qs << QString() << QString()
            << u"No Find My link for Anna Berg"_qs;
        QTest::newRow("nothing to message")
            << u"bo"_qs << Kind::Message << QString() << QString() << QString() << QString() << QString()
            << u"No message handle for Bo"_qs;
        QTest::newRow("nothing to call") << u"bo"_qs << Kind::Call << QString() << QString() << QString()
                                         << QString() << QString() << u"No phone number for Bo"_qs;
        QTest::newRow("nothing to mail") << u"bo"_qs << Kind::Mail << QString() << QString() << QString()
                                         << QString() << QString() << u"No email address for Bo"_qs;
        QTest::newRow("nothing to gmail, with a template")
            << u"bo"_qs << Kind::Gmail << QString() << gmail << QString() << QString() << QString()
            << u"No email address for Bo"_qs;
    }

    void reachActions() {
        QFETCH(QString, who);
        QFETCH(ProfileAction::Kind, action);
        QFETCH(QString, handle);
        QFETCH(QString, gmail);
        QFETCH(QString, findMy);
        QFETCH(QString, opened);
        QFETCH(QString, logged);
        QFETCH(QString, banner);
        start({anna(), test::person(u"bo"_qs, u"Bo"_qs)});
        edit(who, [&](PemmoRecord& r) {
            if (!handle.isEmpty())
                r.messageHandle = handle;
            if (!gmail.isEmpty())
                r.gmailTemplate = gmail;
            if (!findMy.isEmpty())
                r.findMyURL = findMy;
        });
        await(card(who).perform(ProfileAction::plain(action)));
        QCOMPARE(m_opened->addresses(), opened.isEmpty() ? QStringList() : QStringList{opened});
        const QList<Interaction> entries = timeline(who);
        if (logged.isEmpty()) {
            QVERIFY(entries.isEmpty());
        } else {
            QCOMPARE(entries.size(), 1);
            QCOMPARE(entries.first().text, logged);
            QCOMPARE(entries.first().source, Interaction::Source::automatic());
            QCOMPARE(entries.first().date, kNow);
        }
        QCOMPARE(this->banner(), banner);
        if (!banner.isEmpty())
            QCOMPARE(m_env->router().bannerStyle(), u"error"_qs);
    }

    void withAutomaticLoggingOffNothingIsLogged() {
        start({anna()});
        m_env->settings().setAutoLogInteractions(false);
        await(card().perform(ProfileAction::plain(Kind::Message)));
        QCOMPARE(m_opened->calls.size(), 1);
        QVERIFY(timeline().isEmpty());
    }

    void aPhoneRowCallsItsOwnNumber() {
        start({anna()});
        ProfileViewModel& model = card();
        const int workPhone = indexOf(model, u"phone:1"_qs);
        QVERIFY(workPhone >= 0);
        await(model.activate(workPhone));
        QCOMPARE(m_opened->addresses(), QStringList{u"tel://0305550100"_qs});
    }

    // Control-C on a row copies what the row holds, as written, and opens nothing.
    void controlCCopiesTheSelectedRowsValue_data() {
        QTest::addColumn<QString>("rowID");
        QTest::addColumn<QString>("copied");
        QTest::newRow("the second phone") << u"phone:1"_qs << u"030 555 0100"_qs;
        QTest::newRow("an address") << u"email:0"_qs << u"anna@example.org"_qs;
        QTest::newRow("a link's address") << u"link"_qs << u"https://example.org/anna"_qs;
        QTest::newRow("a detail") << u"detail:messageHandle"_qs << u"@anna_b"_qs;
    }
    void controlCCopiesTheSelectedRowsValue() {
        QFETCH(QString, rowID);
        QFETCH(QString, copied);
        start({anna()});
        const QuickLink link = customLink(u"Site"_qs, u"https://example.org/anna"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) {
            r.links = {link};
            r.messageHandle = u"@anna_b"_qs;
        });
        QGuiApplication::clipboard()->setText(u"before"_qs);
        ProfileViewModel& model = card();
        const QString id = rowID == u"link" ? u"link:"_qs + link.id.toString(QUuid::WithoutBraces) : rowID;
        model.select(indexOf(model, id));
        QCOMPARE(model.selectedItem()->id, id);
        QCOMPARE(model.handleKey(key(Qt::Key_C, Qt::ControlModifier, u"c"_qs)), KeyResult::Handled);
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        QVERIFY(banner().contains(copied));
        QVERIFY(m_opened->calls.isEmpty());
    }

    void controlCWithoutARowToCopyLeavesTheClipboard() {
        start({anna()});
        QGuiApplication::clipboard()->setText(u"before"_qs);
        ProfileViewModel& model = card();
        QCOMPARE(model.handleKey(key(Qt::Key_C, Qt::ControlModifier, u"c"_qs)), KeyResult::Pass);
        model.select(indexOf(model, u"timeline:log"_qs));
        QCOMPARE(model.handleKey(key(Qt::Key_C, Qt::ControlModifier, u"c"_qs)), KeyResult::Pass);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"before"_qs);
    }

    // MARK: Links

    void aDigitOpensTheLinkAtThatPlaceInTheBackgroundWhenAsked() {
        start({anna()});
        m_env->settings().setOpenLinksInBackground(true);
        const QuickLink ig{QUuid::createUuid(), QuickLink::Kind::Instagram, u"Instagram"_qs,
                           u"https://instagram.com/a"_qs};
        const QuickLink blog = customLink(u"Blog"_qs, u"blog.example.org"_qs);
        const QuickLink shop = customLink(u"Shop"_qs, u"https://shop.example.org"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.links = {ig, blog, shop}; });
        ProfileViewModel& model = card();
        QCOMPARE(model.handleKey(key(Qt::Key_1, {}, u"1"_qs)), KeyResult::Handled);
        QCOMPARE(model.handleKey(key(Qt::Key_2, {}, u"2"_qs)), KeyResult::Handled);
        QCOMPARE(model.handleKey(key(Qt::Key_3, {}, u"3"_qs)), KeyResult::Pass); // no third link with a digit
        settle();
        QCOMPARE(m_opened->addresses(),
                 (QStringList{u"https://blog.example.org"_qs, u"https://shop.example.org"_qs}));
        QVERIFY(m_opened->calls.first().background);
        QVERIFY(timeline().isEmpty()); // links are not logged
    }

    void aLinkThatIsNotOneIsRefusedWithItsAddress() {
        start({anna()});
        const QuickLink bad = customLink(u"Bad"_qs, u"not a link"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.links = {bad}; });
        await(card().perform(ProfileAction::link(bad.id)));
        QVERIFY(m_opened->calls.isEmpty());
        QCOMPARE(banner(), u"“not a link” is not a link Pemmo can open."_qs);
    }

    void deletingALinkCanBeUndoneWithItsKey() {
        start({anna()});
        const QuickLink a = customLink(u"A"_qs, u"https://a.example.org"_qs);
        const QuickLink b = customLink(u"B"_qs, u"https://b.example.org"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.links = {a, b}; });
        await(card().perform(ProfileAction::deleteLink(a.id)));
        QCOMPARE(m_env->sync().profile(u"anna"_qs)->record->links, QList<QuickLink>{b});
        QCOMPARE(m_env->router().bannerActionShortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText));
        QCOMPARE(m_env->router().handleKey(key(Qt::Key_Z, Qt::ControlModifier, u"z"_qs)), KeyResult::Handled);
        QTRY_COMPARE(m_env->sync().profile(u"anna"_qs)->record->links, (QList<QuickLink>{a, b}));
    }

    // MARK: The timeline and the change log

    // Delete on a memory's row asks first; Return on the question removes it, Escape keeps it.
    void deletingAMemoryAsksFirst_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("removed");
        QTest::newRow("Return") << int(Qt::Key_Return) << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    }
    void deletingAMemoryAsksFirst() {
        QFETCH(int, answer);
        QFETCH(bool, removed);
        start({anna()});
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.interactions = {test::note(u"Lunch"_qs, kNow)}; });
        ProfileViewModel& model = card();
        model.moveSelection(1);
        while (model.selectedItem() && model.selectedItem()->action.kind != Kind::EditMemory)
            model.moveSelection(1);
        QVERIFY(model.selectedItem());
        QCOMPARE(model.handleKey(key(Qt::Key_Delete)), KeyResult::Handled);
        AppRouter& router = m_env->router();
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.confirmRequest().title, u"Delete memory?"_qs);
        QCOMPARE(router.confirmRequest().message,
                 u"This removes your saved text from the timeline and search."_qs);
        QCOMPARE(router.confirmRequest().confirmTitle, u"Delete"_qs);
        QVERIFY(router.confirmRequest().destructive);
        settle();
        QCOMPARE(timeline().size(), 1); // nothing gone before the answer
        QCOMPARE(router.handleKey(key(answer)), KeyResult::Handled);
        QVERIFY(!router.hasOverlay());
        settle();
        QTRY_COMPARE(timeline().isEmpty(), removed);
    }

    void theCardShowsFiveEntriesUntilAskedForAll() {
        start({anna()});
        edit(u"anna"_qs, [](PemmoRecord& r) {
            for (int i = 0; i < 7; ++i)
                r.interactions.append(test::note(u"entry %1"_qs.arg(i), kNow.addDays(-i)));
        });
        ProfileViewModel& model = card();
        QCOMPARE(model.rows()->titlesOf(u"entry"_qs).size(), 5);
        QCOMPARE(model.rows()->titlesOf(u"entry"_qs).first(), u"entry 0"_qs); // newest first
        QStringList days;
        for (const ProfileRow& row : model.rows()->rows()) {
            if (row.kind == u"entry"_qs)
                days.append(row.trailing);
        }
        const QDate third = kNow.addDays(-2).toLocalTime().date();
        QCOMPARE(days.mid(0, 3),
                 (QStringList{u"Today"_qs, u"Yesterday"_qs, QLocale().toString(third, u"d MMM"_qs)}));
        QCOMPARE(model.rows()->titlesOf(u"toggle"_qs), QStringList{u"Show the whole timeline"_qs});
        await(model.perform(ProfileAction::plain(Kind::ToggleTimeline)));
        QCOMPARE(model.rows()->titlesOf(u"entry"_qs).size(), 7);
        QCOMPARE(model.rows()->titlesOf(u"toggle"_qs), QStringList{u"Show fewer entries"_qs});
    }

    void revertingAChangePutsTheOldValueBackAndLogsThat() {
        start({anna()});
        await(m_env->sync().setField(u"anna"_qs, WritableField::Company, u"Acme"_qs));
        await(m_env->sync().setField(u"anna"_qs, WritableField::Company, u"Initech"_qs));
        const FieldChange second = m_env->sync().profile(u"anna"_qs)->record->changes.last();
        await(card().perform(ProfileAction::revert(second.id)));
        const PemmoRecord record = *m_env->sync().profile(u"anna"_qs)->record;
        QCOMPARE(record.details.company, std::optional<QString>(u"Acme"_qs));
        QCOMPARE(record.changes.size(), 3);
        QCOMPARE(record.changes.last().newValue, std::optional<QString>(u"Acme"_qs));
    }

    // MARK: Circles, star, photo

    void removingACircleByNameCanBeUndone() {
        start({anna()});
        const Tag work = m_env->tags().findOrCreate(u"Work"_qs);
        const Tag family = m_env->tags().findOrCreate(u"Family"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.tags = {work.id, family.id}; });
        await(card().perform(ProfileAction::removeTag(u"Work"_qs)));
        QCOMPARE(m_env->sync().profile(u"anna"_qs)->record->tags, QStringList{family.id});
        m_env->router().performBannerAction();
        QTRY_COMPARE(m_env->sync().profile(u"anna"_qs)->record->tags, (QStringList{work.id, family.id}));
    }

    void addingACircleSuggestsThoseNotCarriedAndCreatesNewOnes() {
        start({anna()});
        const Tag work = m_env->tags().findOrCreate(u"Work"_qs);
        edit(u"anna"_qs, [&](PemmoRecord& r) { r.tags = {work.id}; });
        ProfileViewModel& model = card();
        await(model.perform(ProfileAction::plain(Kind::AddTag)));
        QVERIFY(model.isEditingCircles());
        QVERIFY(!model.circleSuggestions().contains(u"Work"_qs));
        model.setCircleQuery(u"fri"_qs);
        QCOMPARE(model.circleSuggestions().first(), u"Friends"_qs);
        QCOMPARE(model.handleKey(key(Qt::Key_Return)), KeyResult::Handled);
        QTRY_COMPARE(m_env->sync().profile(u"anna"_qs)->record->tags, (QStringList{work.id, u"friends"_qs}));
        model.setCircleQuery(u"Climbing"_qs);
        model.setCircleQuery(u"Climbing club"_qs);
        QCOMPARE(model.handleKey(key(Qt::Key_Return)), KeyResult::Handled);
        QTRY_VERIFY(m_env->sync().profile(u"anna"_qs)->record->tags.contains(u"climbing club"_qs));
        QVERIFY(m_env->tags().tagWithID(u"climbing club"_qs));
        QCOMPARE(model.handleKey(key(Qt::Key_Escape)), KeyResult::Handled);
        QVERIFY(!model.isEditingCircles());
    }

    void starringBeyondTheLimitSaysTheLimit() {
        QList<Person> people;
        for (int i = 0; i < 6; ++i)
            people.append(test::person(u"p%1"_qs.arg(i), u"P%1"_qs.arg(i)));
        start(people);
        for (int i = 0; i < 5; ++i)
            m_env->starred().toggle(u"p%1"_qs.arg(i));
        ProfileViewModel& model = card(u"p5"_qs);
        QCOMPARE(model.handleKey(KeyEvent::command(u's')), KeyResult::Handled);
        settle();
        QVERIFY(!m_env->starred().isStarred(u"p5"_qs));
        QCOMPARE(banner(), u"You can star up to 5 contacts."_qs);
        m_env->starred().toggle(u"p0"_qs);
        model.handleKey(KeyEvent::command(u's'));
        settle();
        QVERIFY(model.isStarred());
    }

    void useContactsPhotoDropsPemmosOwn() {
        start({anna()});
        await(m_env->sync().setPhoto(u"anna"_qs, QByteArray("jpeg bytes")));
        ProfileViewModel& model = card();
        QTRY_VERIFY(model.hasReplacementPhoto());
        QVERIFY(!model.photoSource().isEmpty());
        await(model.perform(ProfileAction::plain(Kind::UseContactsPhoto)));
        QVERIFY(!model.hasReplacementPhoto()); // at once, before the photos are read again
        QVERIFY(model.photoSource().isEmpty());
        QCOMPARE(banner(), QString());
    }

    // MARK: Screens and refusals

    void actionsThatOpenScreensPushTheirRoutes_data() {
        QTest::addColumn<ProfileAction::Kind>("action");
        QTest::addColumn<QString>("route");
        QTest::newRow("edit details") << Kind::EditDetails << u"contactForm"_qs;
        QTest::newRow("log interaction") << Kind::LogInteraction << u"logInteraction"_qs;
        QTest::newRow("add link") << Kind::AddLink << u"quickLinkForm"_qs;
    }
    void actionsThatOpenScreensPushTheirRoutes() {
        QFETCH(ProfileAction::Kind, action);
        QFETCH(QString, route);
        start({anna()});
        m_env->router().push(Route::profile(u"anna"_qs));
        await(card().perform(ProfileAction::plain(action)));
        QCOMPARE(m_env->router().topRoute().kindName(), route);
        QCOMPARE(m_env->router().topRoute().contactID(), std::optional<QString>(u"anna"_qs));
        await(card().perform(ProfileAction::plain(Kind::Back)));
        QCOMPARE(m_env->router().topRoute(), Route::profile(u"anna"_qs));
    }

    void aiActionsAreRefusedWhileAIIsOff_data() {
        QTest::addColumn<ProfileAction::Kind>("action");
        QTest::addColumn<QString>("banner");
        QTest::newRow("capture") << Kind::Capture
                                 << u"Turn on AI features in Settings to use Quick capture."_qs;
        QTest::newRow("draft") << Kind::Draft << u"Turn on AI features in Settings to draft a message."_qs;
        QTest::newRow("briefing") << Kind::GenerateBriefing
                                  << u"Turn on AI features in Settings to write a briefing."_qs;
    }
    void aiActionsAreRefusedWhileAIIsOff() {
        QFETCH(ProfileAction::Kind, action);
        QFETCH(QString, banner);
        start({anna()});
        await(card().perform(ProfileAction::plain(action)));
        QCOMPARE(this->banner(), banner);
        QCOMPARE(m_env->router().depth(), 1);
    }

    // MARK: Keys and selection

    void returnRunsThePrimaryActionUntilARowIsSelected() {
        start({anna()});
        m_env->settings().setPrimaryAction(SettingsStore::PrimaryAction::Call);
        ProfileViewModel& model = card();
        QCOMPARE(model.hint(), u"↵ Call"_qs);
        model.handleKey(key(Qt::Key_Return));
        settle();
        QCOMPARE(m_opened->addresses(), QStringList{u"tel://+491701234567"_qs});
        // Down selects the first row (a circle command); Up again leaves the rows.
        model.handleKey(key(Qt::Key_Down));
        QCOMPARE(model.selectedIndex(), 0);
        QVERIFY(!model.selectedAccessibleName().isEmpty());
        model.handleKey(key(Qt::Key_Up));
        QCOMPARE(model.selectedIndex(), -1);
    }

    // Each row is read as its name, then what Return does, with one full stop between them even
    // where the name is a sentence of its own (the briefing while AI is off).
    void everyRowIsReadWithOneStopBeforeItsKey() {
        start({anna()});
        ProfileViewModel& model = card();
        QStringList names;
        for (int i = 0; i < 40; ++i) {
            model.handleKey(key(Qt::Key_Down));
            if (names.contains(model.selectedAccessibleName()))
                break;
            names.append(model.selectedAccessibleName());
        }
        QVERIFY(names.size() > 3);
        QVERIFY(std::any_of(names.cbegin(), names.cend(),
                            [](const QString& n) { return n.startsWith(u"AI is off"_qs); }));
        for (const QString& name : names)
            QVERIFY2(!name.contains(u".."_qs), qPrintable(name));
    }

    void selectionFollowsItsRowWhenTheCardChanges() {
        start({anna()});
        ProfileViewModel& model = card();
        const int mail = indexOf(model, u"email:0"_qs);
        model.select(mail);
        // A link appears above: the selection stays on the e-mail row.
        edit(u"anna"_qs,
             [](PemmoRecord& r) { r.links = {customLink(u"Blog"_qs, u"https://blog.example.org"_qs)}; });
        QTRY_COMPARE(model.selectedItem()->id, u"email:0"_qs);
        QVERIFY(model.selectedIndex() > mail);
    }

    // Each section is one run of rows, so the card never shows the same heading twice.
    void everySectionIsOneRun() {
        start({anna()});
        edit(u"anna"_qs, [](PemmoRecord& r) {
            r.about = u"Climbs on Sundays"_qs;
            r.details.currentCity = u"Oslo"_qs;
            r.links = {customLink(u"Blog"_qs, u"https://blog.example.org"_qs)};
            r.interactions = {test::note(u"Coffee"_qs, kNow.addDays(-1))};
        });
        ProfileViewModel& model = card();
        QTRY_COMPARE(model.rows()->titlesOf(u"about"_qs), QStringList{u"Climbs on Sundays"_qs});
        QStringList seen;
        for (const ProfileRow& row : model.rows()->rows()) {
            if (!seen.isEmpty() && seen.last() == row.section)
                continue;
            QVERIFY2(!seen.contains(row.section), qPrintable(row.section + u" comes twice"_qs));
            seen << row.section;
        }
        QVERIFY(seen.contains(u"Details"_qs) && seen.contains(u"About"_qs));
    }

    void anInactiveCardCatchesUpWhenShown() {
        start({anna()});
        ProfileViewModel& model = card();
        model.setActive(false);
        edit(u"anna"_qs, [](PemmoRecord& r) { r.about = u"Climbs on Sundays"_qs; });
        QVERIFY(model.rows()->titlesOf(u"about"_qs).isEmpty());
        model.setActive(true);
        QCOMPARE(model.rows()->titlesOf(u"about"_qs), QStringList{u"Climbs on Sundays"_qs});
    }

    // MARK: AI on the card

    void theBriefingIsWrittenShownAndKept() {
        start({anna()});
        auto [local, cloud] = useAI(AIProviderID::OnDevice);
        ProfileViewModel& model = card();
        QCOMPARE(rowWithID(model, u"briefing"_qs)->title, u"No briefing yet"_qs);
        await(model.perform(ProfileAction::plain(Kind::GenerateBriefing)));
        QCOMPARE(local->calls, QStringList{u"briefing"_qs});
        QCOMPARE(local->lastContext->name, u"Anna Berg"_qs);
        const auto shown = rowWithID(model, u"briefing"_qs);
        QCOMPARE(shown->title, u"fresh summary"_qs);
        QVERIFY(shown->detail.contains(u"fresh opener"_qs));
        QVERIFY(shown->detail.contains(u"On-device · stayed on this computer"_qs));

        // Kept in the record: a card opened later shows it without asking the model again.
        const auto cache = m_env->sync().profile(u"anna"_qs)->record->briefingCache;
        QVERIFY(cache.has_value());
        QCOMPARE(cache->model, u"llama-test"_qs);
        QCOMPARE(cache->generatedAt, kNow);
        model.setActive(false);
        model.setActive(true);
        settle();
        QCOMPARE(rowWithID(model, u"briefing"_qs)->title, u"fresh summary"_qs);
        QCOMPARE(local->calls.size(), 1);
        // The AI service hands the kept one out while the card is unchanged.
        const Briefing again = await(m_env->ai().briefing(*m_env->sync().profile(u"anna"_qs)));
        QCOMPARE(again.summary, u"fresh summary"_qs);
        QCOMPARE(local->calls.size(), 1);
    }

    void aFailedBriefingShowsTheServicesError_data() {
        QTest::addColumn<AIProviderID>("provider");
        QTest::addColumn<bool>("optedOut");
        QTest::addColumn<bool>("providerAsked");
        QTest::newRow("the provider fails") << AIProviderID::OnDevice << false << true;
        QTest::newRow("kept off cloud AI") << AIProviderID::Claude << true << false;
    }
    void aFailedBriefingShowsTheServicesError() {
        QFETCH(AIProviderID, provider);
        QFETCH(bool, optedOut);
        QFETCH(bool, providerAsked);
        start({anna()});
        auto [local, cloud] = useAI(provider);
        local->failure = std::make_exception_ptr(PemmoError::aiUnavailable(u"The model is asleep"_qs));
        edit(u"anna"_qs, [optedOut](PemmoRecord& r) { r.aiCloudOptOut = optedOut; });
        ProfileViewModel& model = card();
        await(model.perform(ProfileAction::plain(Kind::GenerateBriefing)));
        const auto& asked = provider == AIProviderID::OnDevice ? local : cloud;
        QCOMPARE(!asked->calls.isEmpty(), providerAsked);
        QVERIFY(!m_env->ai().lastErrorText().isEmpty());
        const auto row = rowWithID(model, u"briefing"_qs);
        QCOMPARE(row->title, u"The briefing could not be written"_qs);
        QCOMPARE(row->detail, m_env->ai().lastErrorText());
        QVERIFY(!m_env->sync().profile(u"anna"_qs)->record->briefingCache.has_value());
    }

    void theBriefingCardOpensTheSettingsOnTheAIPane_data() {
        QTest::addColumn<bool>("aiOn");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail"); // empty: not checked
        QTest::newRow("AI off") << false << u"AI is off"_qs << QString();
        // The card says why.
        QTest::newRow("AI not available")
            << true << u"AI is not available"_qs << u"No local model server is running"_qs;
    }
    void theBriefingCardOpensTheSettingsOnTheAIPane() {
        QFETCH(bool, aiOn);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        start({anna()});
        if (aiOn) {
            auto [local, cloud] = useAI(AIProviderID::OnDevice);
            local->availabilityAnswer = AIAvailability::unavailable(u"No local model server is running"_qs);
        }
        QStringList panes;
        m_env->openSettingsAction = [&panes](const QString& pane) { panes.append(pane); };
        ProfileViewModel& model = card();
        QTRY_COMPARE(rowWithID(model, u"briefing"_qs)->title, title);
        if (!detail.isEmpty())
            QCOMPARE(rowWithID(model, u"briefing"_qs)->detail, detail);
        // Return on the card's briefing row, as the user reaches it.
        const int briefing = indexOf(model, u"briefing"_qs);
        QVERIFY(briefing >= 0);
        await(model.activate(briefing));
        QCOMPARE(panes, QStringList{u"ai"_qs});
        // Control-comma opens the window from the card too, on the pane it showed last.
        QCOMPARE(model.handleKey(KeyEvent::command(u',')), KeyResult::Handled);
        QCOMPARE(panes, (QStringList{u"ai"_qs, QString()}));
    }

    void aDraftIsCopiedAndShown() {
        start({anna()});
        auto [local, cloud] = useAI(AIProviderID::OnDevice);
        ProfileViewModel& model = card();
        await(model.perform(ProfileAction::plain(Kind::Draft)));
        QCOMPARE(local->calls, QStringList{u"draft"_qs});
        QCOMPARE(QGuiApplication::clipboard()->text(), u"Hi!"_qs);
        QCOMPARE(banner(), u"Draft copied. Paste it in Messages."_qs);
        QCOMPARE(model.draftText(), u"Hi!"_qs);
        QVERIFY(rowWithID(model, u"draft"_qs)->detail.contains(u"stayed on this computer"_qs));
        // The banner's action opens the conversation as Message does.
        QCOMPARE(m_env->router().bannerActionTitle(), u"Open Messages"_qs);
        m_env->router().banner()->action();
        settle();
        QCOMPARE(m_opened->calls.size(), 1);
        QVERIFY(m_opened->calls.first().address.startsWith(u"imessage://"_qs));
    }
};

QTEST_MAIN(TestProfileViewModel)
#include "TestProfileViewModel.moc"
