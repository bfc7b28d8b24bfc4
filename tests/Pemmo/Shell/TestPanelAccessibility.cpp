// What assistive technology reads of the panel, through Qt's accessibility interfaces with the
// platform's accessibility switched on: on every screen the keys move to something that is
// announced as focused, with the name a user sees and the role of what it is; no control a user
// can reach is nameless, and no name carries markup.
#include "AI/ProposalBuilder.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Shell/AppRouter.h"
#include "Shell/AppShell.h"
#include "Shell/KeyEventRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/PanelView.h"
#include "TestSupport/People.h"

#include <QAccessible>
#include <QKeySequence>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QWindow>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace pemmo;
using test::await;

namespace {

// What a screen reader is told when the focus moves: the object as it was at that moment.
struct Heard {
    QString name;
    QAccessible::Role role = QAccessible::NoRole;
    QAccessible::State state;
};
std::vector<Heard> g_heard;

void hear(QAccessibleEvent* event) {
    if (event->type() != QAccessible::Focus)
        return;
    if (QAccessibleInterface* object = event->accessibleInterface())
        g_heard.push_back({object->text(QAccessible::Name), object->role(), object->state()});
}

// Roles a user reaches and acts on: each needs a name of its own.
bool isControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::ListItem:
    case QAccessible::Heading:
    case QAccessible::Dialog:
        return true;
    default:
        return false;
    }
}

// The faults of the visible objects below `object`, one line each; `names` collects the names of
// the controls seen.
void audit(QAccessibleInterface* object, QStringList& faults, QStringList& names) {
    static const QRegularExpression markup(u"<\\s*/?\\s*[a-zA-Z][^>]*>"_qs);
    QSet<QPair<int, QString>> siblings;
    for (int i = 0; i < object->childCount(); ++i) {
        QAccessibleInterface* child = object->child(i);
        if (!child || child->state().invisible)
            continue;
        const QString name = child->text(QAccessible::Name);
        const QString what = u"%1 \"%2\" in %3 \"%4\""_qs.arg(
            QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(child->role())), name,
            QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(object->role())),
            object->text(QAccessible::Name));
        // A screen (a pane in the stack of screens) is announced when it holds the keys itself.
        const bool isScreen =
            child->role() == QAccessible::Pane && object->role() == QAccessible::LayeredPane;
        if ((isControl(child->role()) || isScreen) && name.trimmed().isEmpty())
            faults.append(u"no name: "_qs + what);
        // Side by side, two controls that sound the same cannot be told apart by ear.
        if (isControl(child->role()) && !name.isEmpty()) {
            names.append(name);
            if (siblings.contains({child->role(), name}))
                faults.append(u"named like its neighbour: "_qs + what);
            siblings.insert({child->role(), name});
        }
        if (child->role() == QAccessible::Grouping && !name.isEmpty())
            names.append(name); // a named group, such as a circle's colours
        if (markup.match(name).hasMatch())
            faults.append(u"markup in the name: "_qs + what);
        if (child->role() == QAccessible::Heading && (child->state().selectable || child->state().selected))
            faults.append(u"a heading that can be selected: "_qs + what);
        audit(child, faults, names);
    }
}

Proposal coffeeProposal(const PemmoRecord& anna) {
    return ProposalBuilder::fromCapture(test::coffeeCapture(), anna, u"anna"_qs, u"llama-test"_qs, false,
                                        QDateTime::currentDateTimeUtc());
}

} // namespace

class TestPanelAccessibility : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<test::PanelView> m_panel;

    static QString lastHeard() {
        return g_heard.empty() ? u"nothing announced"_qs
                               : u"last announced: %1 (role 0x%2)"_qs.arg(g_heard.back().name)
                                     .arg(int(g_heard.back().role), 0, 16);
    }
    QVariantMap describe() { return m_panel->describe(); }
    QString route() {
        const QVariantMap map = describe();
        return map.value(u"overlay"_qs).toString().isEmpty() ? map.value(u"route"_qs).toString()
                                                             : map.value(u"overlay"_qs).toString();
    }

    // Opens one of the panel's screens as a user reaches it; returns the route it shows.
    QString open(const QString& screen) {
        const QString anna = u"anna"_qs;
        if (screen == u"search")
            return u"search"_qs;
        if (screen == u"profile")
            m_env->router().push(Route::profile(anna));
        else if (screen == u"actions") { // a person's actions, from their card
            m_env->router().push(Route::profile(anna));
            if (!QTest::qWaitFor([this] { return route() == u"profile"_qs; }))
                return u"profile never shown"_qs;
            QTest::keyClick(&m_panel->view(), Qt::Key_K, Qt::ControlModifier);
            return u"actions"_qs;
        } else if (screen == u"confirm") {
            ConfirmRequest request;
            request.title = u"Delete Anna Berg?"_qs;
            request.message = u"The card goes from the address book."_qs;
            request.confirmTitle = u"Delete"_qs;
            request.destructive = true;
            m_env->router().present(Overlay(request));
            return u"confirm"_qs;
        } else if (screen == u"interaction")
            m_env->router().push(Route::logInteraction(anna));
        else if (screen == u"quickLink")
            m_env->router().push(Route::quickLinkForm(anna));
        else if (screen == u"contact")
            m_env->router().push(Route::contactFormEdit(anna));
        else if (screen == u"capture")
            m_env->router().push(Route::capture(std::nullopt, anna));
        else if (screen == u"review")
            m_env->router().push(Route::review(
                std::make_shared<const Proposal>(coffeeProposal(*m_env->sync().profile(anna)->record))));
        else if (screen == u"moment")
            m_env->router().push(Route::momentCapture(nullptr));
        else if (screen == u"manageTags")
            m_env->router().push(Route::manageTags());
        else if (screen == u"diagnostics") {
            m_env->router().push(Route::diagnostics());
            // The report is gathered off the GUI thread from the environment the test tears down.
            if (!QTest::qWaitFor([this] {
                    const QVariantMap shown = describe().value(u"screen"_qs).toMap();
                    return shown.contains(u"loading"_qs) && !shown.value(u"loading"_qs).toBool();
                }))
                return u"diagnostics never gathered"_qs;
        }
        return m_env->router().topRoute().kindName();
    }

    // Keys as a user presses them: "Down", "Ctrl+K", "=text" typed, "?name" to wait until what is
    // announced starts with that name (the answer to typing comes after the keys), or "!reactivate".
    void press(const QStringList& keys) {
        for (const QString& key : keys) {
            if (key.startsWith(u'?')) {
                QTRY_VERIFY2(!g_heard.empty() && g_heard.back().name.startsWith(key.mid(1)),
                             qPrintable(lastHeard()));
                continue;
            }
            if (key == u"!reactivate") { // another window had the keyboard, then the panel again
                QWindow other;
                other.resize(100, 100);
                other.show();
                other.requestActivate();
                QVERIFY(QTest::qWaitForWindowActive(&other));
                m_panel->view().requestActivate();
                QVERIFY(QTest::qWaitForWindowActive(&m_panel->view()));
                continue;
            }
            if (key.startsWith(u'=')) {
                for (const QChar c : key.mid(1))
                    QTest::keyClick(&m_panel->view(), c.toLatin1());
                continue;
            }
            const QKeyCombination combination = QKeySequence::fromString(key)[0];
            QTest::keyClick(&m_panel->view(), combination.key(), combination.keyboardModifiers());
        }
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("QT_QUICK_BACKEND", "software");
        // What a screen reader's presence does: Qt Quick reports its changes only then.
        QPlatformAccessibility* platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
        QVERIFY(platform);
        platform->setActive(true);
        QAccessible::installUpdateHandler(hear);
    }

    void init() {
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.phones = {{u"mobile"_qs, u"+49 (170) 123-4567"_qs}};
        m_env = test::startedEnvironment({anna, test::person(u"annika"_qs, u"Annika"_qs, u"Lind"_qs)});
        await(m_env->sync().addTag(u"anna"_qs, u"climbing"_qs));
        await(m_env->sync().addTag(u"annika"_qs, u"work"_qs));

        m_panel = std::make_unique<test::PanelView>(*m_env);
        const QString error = m_panel->show({640, 600});
        QVERIFY2(error.isEmpty(), qPrintable(error));
        g_heard.clear();
    }

    void cleanup() {
        m_panel.reset();
        m_env.reset();
    }

    // After the keys, the last object announced as focused is the one the keys are on.
    void theKeysLandOnANamedFocusedObject_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("selected");
        const auto row = [](const char* what, const QString& screen, const QStringList& keys,
                            const QString& name, int role, bool selected) {
            QTest::newRow(what) << screen << keys << name << role << selected;
        };
        const int item = QAccessible::ListItem, field = QAccessible::EditableText, pane = QAccessible::Pane;
        row("search, typed", u"search"_qs, {u"=ann"_qs}, u"Anna Berg"_qs, item, true);
        row("search, Down", u"search"_qs, {u"=ann"_qs, u"?Anna Berg"_qs, u"Down"_qs}, u"Annika Lind"_qs, item,
            true);
        row("search, Down Up", u"search"_qs,
            {u"=ann"_qs, u"?Anna Berg"_qs, u"Down"_qs, u"?Annika"_qs, u"Up"_qs}, u"Anna Berg"_qs, item, true);
        row("search, back from the actions", u"search"_qs,
            {u"=ann"_qs, u"?Anna Berg"_qs, u"Ctrl+K"_qs, u"Escape"_qs}, u"Anna Berg"_qs, item, true);
        row("search, panel active again", u"search"_qs, {u"=ann"_qs, u"?Anna Berg"_qs, u"!reactivate"_qs},
            u"Anna Berg"_qs, item, true);
        row("profile", u"profile"_qs, {}, u"Anna Berg"_qs, pane, false);
        row("profile, Down", u"profile"_qs, {u"Down"_qs}, u"Circle Climbing"_qs, int(QAccessible::Button),
            true);
        row("profile, Down Down Down", u"profile"_qs, {u"Down"_qs, u"Down"_qs, u"Down"_qs}, u"AI is off"_qs,
            item, true);
        row("profile, adding a circle", u"profile"_qs,
            {u"Down"_qs, u"Down"_qs, u"?Add or remove circles"_qs, u"Return"_qs}, u"Add or remove circles"_qs,
            field, false);
        row("actions", u"actions"_qs, {}, u"Message"_qs, item, true);
        row("actions, Down", u"actions"_qs, {u"Down"_qs}, u"Call"_qs, item, true);
        row("actions, typed", u"actions"_qs, {u"=star"_qs}, u"Star Anna Berg"_qs, item, true);
        row("confirmation", u"confirm"_qs, {}, u"Delete Anna Berg?"_qs, int(QAccessible::Dialog), false);
        row("interaction form", u"interaction"_qs, {}, u"What happened"_qs, field, false);
        row("interaction form, Tab", u"interaction"_qs, {u"Tab"_qs}, u"Kind of entry"_qs,
            int(QAccessible::ComboBox), false);
        row("interaction form, Tab twice", u"interaction"_qs, {u"Tab"_qs, u"Tab"_qs}, u"Day it happened"_qs,
            field, false);
        row("quick link form", u"quickLink"_qs, {}, u"Address"_qs, field, false);
        row("quick link form, Tab", u"quickLink"_qs, {u"Tab"_qs}, u"Title"_qs, field, false);
        row("contact form", u"contact"_qs, {}, u"First name"_qs, field, false);
        row("contact form, Tab", u"contact"_qs, {u"Tab"_qs}, u"Last name"_qs, field, false);
        row("capture", u"capture"_qs, {}, u"Quick capture"_qs, field, false);
        row("review", u"review"_qs, {}, u"Company"_qs, int(QAccessible::CheckBox), true);
        row("review, Down", u"review"_qs, {u"Down"_qs}, u"Current city"_qs, int(QAccessible::CheckBox), true);
        row("moment gone", u"moment"_qs, {}, u"This Moment is gone"_qs, field, false);
        row("circles", u"manageTags"_qs, {}, u"New circle"_qs, field, false);
        row("circles, Down", u"manageTags"_qs, {u"Down"_qs}, u"Family"_qs, item, true);
        row("diagnostics", u"diagnostics"_qs, {}, u"Diagnostics"_qs, pane, false);
    }
    void theKeysLandOnANamedFocusedObject() {
        QFETCH(QString, screen);
        QFETCH(QStringList, keys);
        QFETCH(QString, name);
        QFETCH(int, role);
        QFETCH(bool, selected);
        const QString shown = open(screen);
        QTRY_COMPARE(route(), shown);
        press(keys);
        if (QTest::currentTestFailed())
            return;
        const auto lands = [&] {
            return !g_heard.empty() && g_heard.back().name.startsWith(name) && g_heard.back().role == role;
        };
        QTRY_VERIFY2(lands(), qPrintable(lastHeard()));
        const Heard& last = g_heard.back();
        QVERIFY2(last.state.focused, "announced but not focused");
        QCOMPARE(bool(last.state.selected), selected);
        QVERIFY(!last.state.invisible);
    }

    // Every visible control of every screen has a name, as plain text, and headings are not
    // offered for selection.
    void everyControlIsNamedInPlainText_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("seen"); // a control the screen shows, so the walk reached it
        const auto row = [](const char* what, const QString& screen, const QStringList& keys,
                            const QString& seen) { QTest::newRow(what) << screen << keys << seen; };
        // Typing "ann" marks the matched letters in the titles of the search rows.
        row("search, typed", u"search"_qs, {u"=ann"_qs, u"?Anna Berg"_qs}, u"Annika Lind"_qs);
        row("search", u"search"_qs, {}, u"Search"_qs);
        row("profile", u"profile"_qs, {}, u"Circle Climbing"_qs);
        row("actions", u"actions"_qs, {u"=ann"_qs}, u"Search actions"_qs);
        row("confirmation", u"confirm"_qs, {}, u"Delete, Return"_qs);
        row("interaction form", u"interaction"_qs, {}, u"Kind of entry"_qs);
        row("quick link form", u"quickLink"_qs, {}, u"Kind of link"_qs);
        row("contact form", u"contact"_qs, {}, u"Birthday, month"_qs);
        row("capture", u"capture"_qs, {}, u"Back, Escape"_qs);
        row("review", u"review"_qs, {}, u"Apply, Control Return"_qs);
        row("moment gone", u"moment"_qs, {}, u"This Moment is gone"_qs);
        row("circles", u"manageTags"_qs, {}, u"New circle"_qs);
        row("circles, one selected", u"manageTags"_qs, {u"Down"_qs},
            u"Change the colour of circle Family"_qs); // the colour swatches' group
        row("diagnostics", u"diagnostics"_qs, {}, u"Copy diagnostics, Control C"_qs);
    }

    void everyControlIsNamedInPlainText() {
        QFETCH(QString, screen);
        QFETCH(QStringList, keys);
        QFETCH(QString, seen);
        const QString shown = open(screen);
        QTRY_COMPARE(route(), shown);
        press(keys);
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(50); // the screen's answer to the keys (a filter, a search) lands by now
        QStringList faults;
        QStringList names;
        audit(QAccessible::queryAccessibleInterface(&m_panel->view()), faults, names);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
        QVERIFY2(names.contains(seen), qPrintable(names.join(u" | "_qs)));
    }
};

QTEST_MAIN(TestPanelAccessibility)
#include "TestPanelAccessibility.moc"
