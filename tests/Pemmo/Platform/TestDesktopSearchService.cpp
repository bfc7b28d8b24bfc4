// GNOME Shell's search provider and KRunner's runner on a private session bus (run under
// scripts/with-test-services), called as the desktop calls them, from another connection: a
// misspelt name finds the person, the answers have the signatures the desktops expect, picking a
// result opens that person, and once Pemmo is gone nothing answers.
#include "Platform/DesktopSearchBackend.h"
#include "Platform/DesktopSearchService.h"
#include "Platform/KRunnerRunner.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTest>

using namespace pemmo;

namespace {

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
const QString kGnome = u"org.gnome.Shell.SearchProvider2"_qs;
const QString kKRunner = u"org.kde.krunner1"_qs;

Profile person(const QString& id, const QString& given, const QString& family, std::optional<QString> title) {
    Profile p;
    p.person.edit().id = id;
    p.person.edit().givenName = given;
    p.person.edit().familyName = family;
    p.person.edit().jobTitle = std::move(title);
    p.record = PemmoRecord::fresh(kNow);
    return p;
}

// The running application as the adaptors see it: real search over a few people, and a record
// of what the desktop asked it to show.
class RecordingBackend : public DesktopSearchBackend {
public:
    QList<Profile> profiles{person(u"c-alex"_qs, u"Alex"_qs, u"Morgan"_qs, u"Designer"_qs),
                            person(u"c-priya"_qs, u"Priya"_qs, u"Raman"_qs, std::nullopt)};
    SearchIndex index{profiles};
    DesktopSearch search;
    QStringList opened;
    QStringList searched;

    QList<DesktopSearch::Result> find(const QString& query) override {
        return search.find(query, {profiles, index}, {.now = kNow});
    }
    std::optional<DesktopSearch::Result> describe(const QString& id) override {
        return DesktopSearch::describe(id, {profiles, index});
    }
    void open(const QString& id) override { opened.append(id); }
    void searchFor(const QString& query) override { searched.append(query); }
};

} // namespace

class TestDesktopSearchService : public QObject {
    Q_OBJECT

    QDBusConnection m_desktop{QString()};

    // A call from the desktop's own connection, answered while this thread's events run.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(DesktopSearchService::serviceName(), path, interface, method);
        message.setArguments(arguments);
        return m_desktop.call(message, QDBus::BlockWithGui, 5000);
    }

private Q_SLOTS:
    void initTestCase() {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under scripts/with-test-services");
        m_desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"desktop"_qs);
        QVERIFY(m_desktop.isConnected());
    }

    void gnomeFindsAMisspeltNameAndOpensTheCard() {
        RecordingBackend backend;
        DesktopSearchService service(backend);
        QVERIFY2(service.start(), qPrintable(service.error()));

        const QString path = DesktopSearchService::gnomePath();
        QDBusMessage reply =
            call(path, kGnome, u"GetInitialResultSet"_qs, {QStringList{u"alex"_qs, u"morgn"_qs}});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), u"as"_qs);
        QCOMPARE(reply.arguments().at(0).toStringList().value(0), u"c-alex"_qs);

        reply = call(path, kGnome, u"GetSubsearchResultSet"_qs,
                     {QStringList{u"c-alex"_qs}, QStringList{u"pryia"_qs}});
        QCOMPARE(reply.arguments().at(0).toStringList(), QStringList{u"c-priya"_qs});

        reply =
            call(path, kGnome, u"GetResultMetas"_qs, {QStringList{u"c-alex"_qs, u"gone"_qs, u"c-priya"_qs}});
        QCOMPARE(reply.signature(), u"aa{sv}"_qs);
        const auto metas = qdbus_cast<QList<QVariantMap>>(reply.arguments().at(0));
        QCOMPARE(metas.size(), 2); // someone gone since is left out
        QCOMPARE(metas[0].value(u"id"_qs).toString(), u"c-alex"_qs);
        QCOMPARE(metas[0].value(u"name"_qs).toString(), u"Alex Morgan"_qs);
        QCOMPARE(metas[0].value(u"description"_qs).toString(), u"Designer"_qs);
        QVERIFY(!metas[0].value(u"gicon"_qs).toString().isEmpty());
        QVERIFY(!metas[1].contains(u"description"_qs));

        reply = call(path, kGnome, u"ActivateResult"_qs, {u"c-alex"_qs, QStringList{u"alx"_qs}, 0u});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(backend.opened, QStringList{u"c-alex"_qs});

        reply = call(path, kGnome, u"LaunchSearch"_qs, {QStringList{u"alex"_qs, u"designer"_qs}, 0u});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(backend.searched, QStringList{u"alex designer"_qs});
    }

    void krunnerFindsAMisspeltNameAndRunsIt() {
        RecordingBackend backend;
        DesktopSearchService service(backend);
        QVERIFY2(service.start(), qPrintable(service.error()));

        const QString path = DesktopSearchService::krunnerPath();
        QDBusMessage reply = call(path, kKRunner, u"Match"_qs, {u"Alex Morgen"_qs});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), u"a(sssida{sv})"_qs);
        const auto matches = qdbus_cast<QList<KRunnerMatch>>(reply.arguments().at(0));
        QVERIFY(!matches.isEmpty());
        QCOMPARE(matches[0].id, u"c-alex"_qs);
        QCOMPARE(matches[0].text, u"Alex Morgan"_qs);
        QCOMPARE(matches[0].properties.value(u"subtext"_qs).toString(), u"Designer"_qs);
        QCOMPARE(matches[0].type, KRunnerRunner::possibleMatch);

        reply = call(path, kKRunner, u"Match"_qs, {u"priya raman"_qs});
        QCOMPARE(qdbus_cast<QList<KRunnerMatch>>(reply.arguments().at(0)).value(0).type,
                 KRunnerRunner::exactMatch);

        reply = call(path, kKRunner, u"Actions"_qs, {});
        QCOMPARE(reply.signature(), u"a(sss)"_qs);

        reply = call(path, kKRunner, u"Run"_qs, {u"c-priya"_qs, QString()});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(backend.opened, QStringList{u"c-priya"_qs});
    }

    // A second Pemmo leaves the name to the first; once that is gone, nothing answers.
    void aSecondPemmoLeavesTheNameToTheFirst() {
        RecordingBackend first;
        auto running = std::make_unique<DesktopSearchService>(first);
        QVERIFY(running->start());

        RecordingBackend second;
        DesktopSearchService other(second,
                                   QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"other"_qs));
        QVERIFY(!other.start());
        QVERIFY(other.error().contains(DesktopSearchService::serviceName()));

        call(DesktopSearchService::krunnerPath(), kKRunner, u"Run"_qs, {u"c-alex"_qs, QString()});
        QCOMPARE(first.opened, QStringList{u"c-alex"_qs});
        QVERIFY(second.opened.isEmpty());

        running.reset();
        const QDBusMessage reply =
            call(DesktopSearchService::krunnerPath(), kKRunner, u"Match"_qs, {u"alex"_qs});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), u"org.freedesktop.DBus.Error.ServiceUnknown"_qs);
    }
};

QTEST_MAIN(TestDesktopSearchService)
#include "TestDesktopSearchService.moc"
