// The diagnostics screen: the report of `pemmo doctor` (whose sections TestCommandLine reads line by
// line), made from the running services, the shortcut's live state, copying to the clipboard, and
// its keys.
#include "../Shell/KeyPress.h"
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "App/EmbeddingMaintenance.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/DiagnosticsViewModel.h"
#include "Settings/SecretStore.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEvent.h"
#include "Store/PemmoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using namespace pemmo;
using test::await;

class TestDiagnosticsViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;

private Q_SLOTS:
    void init() { m_env = test::startedEnvironment({test::person(u"anna"_qs, u"Anna"_qs)}); }
    void cleanup() { m_env.reset(); }

    void theFactsAreTheRunningServices() {
        test::TempDir book;
        book.write(u"a.vcf"_qs,
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:a\r\nFN:Ada\r\nN:;Ada;;;\r\nEND:VCARD\r\n");
        m_env->settings().setContactFolders({book.path()});
        await(m_env->sync().updateRecord(u"anna"_qs, [](PemmoRecord& r) { r.about = u"cello"_qs; }));
        m_env->store().flushPendingAndWait(); // the report reads the file, not the pending write
        m_env->secrets().write(u"sk-test"_qs, u"anthropic"_qs);
        DiagnosticsViewModel report(
            *m_env, {[] { return u"Global shortcut: Ctrl+Shift+Space, active (X11)"_qs; }, {}});
        await(report.refresh());
        const QStringList& lines = report.lines();
        QVERIFY2(lines.contains(u"Address book: "_qs + book.path() + u" \u2014 1 contact"_qs),
                 qPrintable(report.text()));
        QVERIFY2(report.text().contains(u"\nStore: 1 record in "_qs), qPrintable(report.text()));
        QVERIFY(lines.contains(u"Keyring: available, AI key stored"_qs));
        QVERIFY(lines.contains(u"Global shortcut: Ctrl+Shift+Space, active (X11)"_qs));
        QVERIFY(lines.contains(u"Settings: kept in memory for this session"_qs));
    }

    void withoutAnIndexRebuildingSaysWhy() {
        DiagnosticsViewModel report(*m_env, {});
        QVERIFY(!report.canRebuild());
        report.rebuildIndex();
        QVERIFY(report.status().contains(u"no word table"_qs));
    }

    // Control-R says the rebuild is under way, then how it ended.
    void aRebuildSaysWhenItIsDone() {
        m_env =
            AppEnvironment::inMemory({test::person(u"anna"_qs, u"Anna"_qs), test::person(u"bo"_qs, u"Bo"_qs)},
                                     u"PemmoTest"_qs, test::quickTimings());
        AppStartup startup(*m_env);
        await(startup.start());
        EmbeddingMaintenance& maintenance = startup.embeddingMaintenance();
        QTRY_VERIFY(!maintenance.isUpdating());
        DiagnosticsViewModel report(*m_env, {{}, &maintenance});
        QVERIFY(report.canRebuild());
        QStringList said;
        connect(&report, &DiagnosticsViewModel::statusChanged, this, [&] { said.append(report.status()); });
        QCOMPARE(report.handleKey(KeyEvent::command(u'r')), KeyResult::Handled);
        QTRY_COMPARE(report.status(), u"Rebuilt the semantic index: 2 people."_qs);
        QCOMPARE(said, (QStringList{u"Rebuilding the semantic index…"_qs, report.status()}));
        QTRY_VERIFY(!report.isLoading()); // the report read again after the rebuild reads this environment
        QVERIFY(!report.isRebuilding());
    }

    void controlCCopiesTheWholeReportAndEscapeGoesBack() {
        m_env->router().push(Route::diagnostics());
        DiagnosticsViewModel report(*m_env, {});
        await(report.refresh());
        QCOMPARE(report.handleKey(KeyEvent::command(u'c')), KeyResult::Handled);
        QCOMPARE(QGuiApplication::clipboard()->text(), report.text() + u'\n');
        QVERIFY(!report.status().isEmpty()); // copying says it happened
        QCOMPARE(report.handleKey(test::key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(m_env->router().depth(), 1);
    }
};

QTEST_MAIN(TestDiagnosticsViewModel)
#include "TestDiagnosticsViewModel.moc"
