// The quick-link form: addresses checked as they will be opened, the site recognised or named,
// one link per site, five custom links at most; each refusal shown on the form.
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/QuickLinkFormViewModel.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;
using test::await;

class TestQuickLinkFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;

    QList<QuickLink> links() { return m_env->sync().profile(u"anna"_qs)->record->links; }
    void add(const QString& url, int kind = QuickLinkFormViewModel::Automatic, const QString& title = {}) {
        m_env->router().push(Route::quickLinkForm(u"anna"_qs));
        QuickLinkFormViewModel form(*m_env, u"anna"_qs);
        form.setURL(url);
        form.setKindIndex(kind);
        form.setLinkTitle(title);
        await(form.save());
        QVERIFY2(form.error().isEmpty(), qPrintable(form.error()));
    }

private Q_SLOTS:
    void init() { m_env = test::startedEnvironment({test::person(u"anna"_qs, u"Anna"_qs)}); }
    void cleanup() { m_env.reset(); }

    void anAddressWithoutSchemeIsSavedWithHttpsAndItsSite() {
        add(u"www.instagram.com/anna"_qs);
        QCOMPARE(links().size(), 1);
        QCOMPARE(links().first().url, u"https://www.instagram.com/anna"_qs);
        QCOMPARE(links().first().kind, QuickLink::Kind::Instagram);
        QCOMPARE(links().first().title, u"Instagram"_qs);
        QCOMPARE(m_env->router().depth(), 1); // back where it came from
    }

    void anAddressThatIsNotOneIsRefusedInline_data() {
        QTest::addColumn<QString>("url");
        QTest::newRow("space inside") << u"example.org/a b"_qs;
        QTest::newRow("blank") << u"   "_qs;
    }
    void anAddressThatIsNotOneIsRefusedInline() {
        QFETCH(QString, url);
        QuickLinkFormViewModel form(*m_env, u"anna"_qs);
        form.setURL(url);
        QVERIFY(form.preview().isEmpty());
        await(form.save());
        QCOMPARE(form.error(), u"Enter a valid web address."_qs);
        QVERIFY(links().isEmpty());
        form.setURL(u"example.org"_qs);
        QVERIFY(form.error().isEmpty());
        QCOMPARE(form.preview(), u"Example.org"_qs);
    }

    void theSixthCustomLinkIsRefusedInline() {
        for (int i = 0; i < 5; ++i)
            add(u"site%1.example.org"_qs.arg(i));
        QuickLinkFormViewModel form(*m_env, u"anna"_qs);
        form.setURL(u"one-more.example.org"_qs);
        await(form.save());
        QCOMPARE(form.error(), u"You can add up to 5 custom links."_qs);
        QCOMPARE(links().size(), 5);
    }

    void aNamedKindAndTitleWin() {
        add(u"example.org/anna"_qs, QuickLinkFormViewModel::Instagram, u"  Her photos "_qs);
        QCOMPARE(links().first().kind, QuickLink::Kind::Instagram);
        QCOMPARE(links().first().title, u"Her photos"_qs);
    }

    void editingKeepsThePlaceAndTheId() {
        add(u"a.example.org"_qs);
        add(u"b.example.org"_qs);
        const QuickLink first = links().first();
        m_env->router().push(Route::quickLinkForm(u"anna"_qs, first.id));
        QuickLinkFormViewModel form(*m_env, u"anna"_qs, first.id);
        QVERIFY(form.isEditing());
        QCOMPARE(form.url(), first.url);
        form.setURL(u"c.example.org"_qs);
        await(form.save());
        QCOMPARE(links().size(), 2);
        QCOMPARE(links().first().id, first.id);
        QCOMPARE(links().first().url, u"https://c.example.org"_qs);
        QCOMPARE(links().first().title, u"C.example.org"_qs);
    }
};

QTEST_MAIN(TestQuickLinkFormViewModel)
#include "TestQuickLinkFormViewModel.moc"
