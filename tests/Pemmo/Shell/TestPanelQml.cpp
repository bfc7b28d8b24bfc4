// The panel's QML over an in-memory environment, in an offscreen window: every route has a
// screen, keys typed into the window reach the screens and overlays in their order, and nothing
// in the QML warns while it runs.
#include "App/AppEnvironment.h"
#include "Lists/StarredStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/AppShell.h"
#include "Shell/KeyEventRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Contrast.h"
#include "TestSupport/Environments.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/PanelView.h"
#include "TestSupport/People.h"

#include <QAccessible>
#include <QJSValue>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <cmath>

using namespace pemmo;
using test::await;
using test::contrast;

namespace {

QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

test::PanelView* g_view = nullptr;

// Warnings of the panel's QML fail the test. "Component is not ready" names no file: the
// components that are not ready say why.
void collect(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) {
        if (message.contains(u"qrc:/Pemmo"_qs))
            g_warnings.append(message);
        if (message.contains(u"Component is not ready"_qs)) {
            g_warnings.append(message);
            if (g_view && g_view->root())
                for (QQmlComponent* c : g_view->root()->findChildren<QQmlComponent*>())
                    if (c->isError())
                        g_warnings.append(c->errorString());
        }
    }
    if (g_previous)
        g_previous(type, context, message);
}

// The visible item below `item` (in the visual tree, where list delegates live) whose text is
// `text`, or only holds it unless `exactly`.
const QQuickItem* itemShowing(const QQuickItem* item, const QString& text, bool exactly = false) {
    for (const QQuickItem* child : item->childItems()) {
        if (!child->isVisible())
            continue;
        const QString shown = child->property("text").toString();
        if (exactly ? shown == text : shown.contains(text))
            return child;
        if (const QQuickItem* found = itemShowing(child, text, exactly))
            return found;
    }
    return nullptr;
}
bool shows(const QQuickItem* item, const QString& text) {
    return itemShowing(item, text) != nullptr;
}

// The item named `name` below `item` in the visual tree (a repeater's delegates have no other
// parent to be found through).
QQuickItem* itemNamed(const QQuickItem* item, const QString& name) {
    for (QQuickItem* child : item->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem* found = itemNamed(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

class TestPanelQml : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<test::PanelView> m_panel;

    QVariantMap describe() { return m_panel->describe(); }
    QVariantMap screen() { return m_panel->screen(); }
    QString route() { return m_panel->route(); }
    bool openAnnasCard() {
        m_env->router().push(Route::profile(u"anna"_qs));
        return QTest::qWaitFor([this] { return route() == u"profile"_qs; });
    }
    // Anna's contact form, opened over her card as the keys open it.
    bool openAnnasContactForm() {
        m_env->router().push(Route::profile(u"anna"_qs));
        m_env->router().push(Route::contactFormEdit(u"anna"_qs));
        return QTest::qWaitFor([this] { return route() == u"contactForm"_qs; });
    }
    // The field `name` of Anna's contact form, opened, with the keyboard; null when it is not there.
    QQuickItem* focusInAnnasContactForm(const QString& name) {
        QQuickItem* field = openAnnasContactForm() ? itemNamed(m_panel->root(), name) : nullptr;
        if (field)
            field->forceActiveFocus();
        return field && QTest::qWaitFor([field] { return field->hasActiveFocus(); }) ? field : nullptr;
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&m_panel->view(), key, modifiers);
    }
    void type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(&m_panel->view(), c.toLatin1());
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("QT_QUICK_BACKEND", "software");
        g_previous = qInstallMessageHandler(collect);
    }

    void init() {
        g_warnings.clear();
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.phones = {{u"mobile"_qs, u"+49 (170) 123-4567"_qs}};
        m_env = test::startedEnvironment({anna, test::person(u"bo"_qs, u"Bo"_qs, u"Lind"_qs)});
        await(m_env->sync().addInteraction(
            u"anna"_qs,
            test::note(u"Lunch by the river"_qs, QDateTime::currentDateTimeUtc().addSecs(-3600))));

        m_panel = std::make_unique<test::PanelView>(*m_env);
        g_view = m_panel.get();
        const QString error = m_panel->show();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void cleanup() {
        g_view = nullptr;
        m_panel.reset();
        m_env.reset();
        QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join(u'\n')));
    }

    // A memory quoted as the reason for a match stays one line of plain text under the name, tabs
    // and line breaks included.
    void aQuotedMemoryReadsAsOneLine() {
        QQmlComponent component(&m_panel->engine());
        component.setData(R"(import Pemmo
SearchRow { index: 0; kind: "person"; rowID: "anna"; contactID: "anna"; title: "Anna Berg"; plainTitle: "Anna Berg"
    subtitle: ""; badge: ""; initials: "AB"; accessibleName: "Anna Berg"; selected: true
    reason: "You wrote: \u201CBrunch, then bouldering\tgood session\nand <b>cake</b>\u201D" })",
                          QUrl(u"qrc:/Pemmo/ReasonRow.qml"_qs));
        std::unique_ptr<QObject> row(component.create());
        QVERIFY2(row, qPrintable(component.errorString()));
        auto* text = row->findChild<QQuickItem*>(u"reasonText"_qs);
        QVERIFY(text);
        QCOMPARE(text->property("text").toString(),
                 u"You wrote: \u201CBrunch, then bouldering good session and <b>cake</b>\u201D"_qs);
        QCOMPARE(text->property("lineCount").toInt(), 1);
    }

    // What people wrote is shown as written: markup in a memory is text, and an image it names is
    // never fetched (a note from someone else's card must not reach out to the network).
    void markupInAMemoryIsShownAsTextAndFetchesNothing() {
        test::LoopbackHTTPServer server;
        const QString note = u"Met at <img src=\""_qs +
                             server.url().resolved(QUrl(u"pixel.png"_qs)).toString() +
                             u"\"> <b>the caf\u00E9</b>"_qs;
        await(m_env->sync().addInteraction(u"anna"_qs,
                                           test::note(note, QDateTime::currentDateTimeUtc().addSecs(-60))));
        QVERIFY(openAnnasCard());
        QTRY_VERIFY(shows(m_panel->root(), u"Met at <img"_qs));
        m_panel->view().grabWindow();
        QTest::qWait(300); // a fetch the image would start is under way by now
        QCOMPARE(server.requests().size(), 0);
    }

    // The footer says what Return does on the selected row: on a circle it removes the person from
    // it, which a neutral "Run" would hide. A long hint gives way so that the other keys stay in
    // sight.
    void theFooterSaysWhatTheSelectedRowDoes() {
        await(m_env->sync().addTag(
            u"anna"_qs,
            m_env->tags()
                .findOrCreate(u"Climbing partners from the old gym by the river in the east end"_qs)
                .id));
        QVERIFY(openAnnasCard());
        QTRY_VERIFY(shows(m_panel->root(), u"Message"_qs));
        press(Qt::Key_Down);
        QTRY_VERIFY(shows(m_panel->root(), u"Remove Anna Berg from"_qs));
        const QQuickItem* back = itemShowing(m_panel->root(), u"Back"_qs, true);
        QVERIFY(back);
        QVERIFY(back->mapToScene(QPointF(back->width(), 0)).x() <= m_panel->view().width());
        press(Qt::Key_Down);
        QTRY_VERIFY(shows(m_panel->root(), u"Add a circle"_qs));
    }

    // The arrows and Return are offered only when there is a row to select: not beside "No
    // matches", nor in an action panel whose filter matches nothing.
    void theFooterOffersNoSelectionWhenThereIsNothingToSelect() {
        m_env->router().reset();
        QTRY_COMPARE(route(), u"search"_qs);
        QTRY_VERIFY(screen().value(u"focused"_qs).toBool());
        type(u"qqxzzv"_qs);
        QTRY_VERIFY(shows(m_panel->root(), u"qqxzzv"_qs));
        QTRY_COMPARE(screen().value(u"rowCount"_qs).toInt(), 0);
        QTRY_VERIFY(!itemShowing(m_panel->root(), u"Select"_qs, true));
        QVERIFY(!itemShowing(m_panel->root(), u"Open"_qs, true));
        press(Qt::Key_Escape);
        type(u"an"_qs);
        QTRY_VERIFY(screen().value(u"rowCount"_qs).toInt() > 0);
        QTRY_VERIFY(itemShowing(m_panel->root(), u"Select"_qs, true));
        press(Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY(m_env->router().showsActions());
        type(u"clrzzq"_qs);
        QTRY_VERIFY(shows(m_panel->root(), u"No action matches"_qs));
        QTRY_VERIFY(!itemShowing(m_panel->root(), u"Select"_qs, true));
    }

    // While the action panel is up its keys are the ones that work, so the footer names them
    // (Escape closes the panel rather than leaving the card) and names the card's again after.
    void theFooterSpeaksForTheOverlayWhileItIsUp() {
        QVERIFY(openAnnasCard());
        QTRY_VERIFY(shows(m_panel->root(), u"Actions"_qs));
        QVERIFY(!shows(m_panel->root(), u"Close"_qs));
        press(Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY(m_env->router().showsActions());
        QTRY_VERIFY(shows(m_panel->root(), u"Close"_qs));
        press(Qt::Key_Escape);
        QTRY_VERIFY(!m_env->router().hasOverlay());
        QTRY_VERIFY(!shows(m_panel->root(), u"Close"_qs));
        QCOMPARE(route(), u"profile"_qs);
    }

    // Circles added while the card is open make the header taller (the chips wrap); a card shown
    // from the top keeps its name and photo in sight.
    void aGrowingHeaderKeepsTheCardAtItsTop() {
        QVERIFY(openAnnasCard());
        auto* list = m_panel->root()->findChild<QQuickItem*>(u"profileRows"_qs);
        QVERIFY(list);
        QTRY_VERIFY(list->property("originY").toReal() < 0);
        const qreal before = list->property("originY").toReal();
        for (const QString& name : {u"Climbing partners from the old gym"_qs, u"Book club on Thursdays"_qs,
                                    u"Neighbours from the second floor"_qs, u"Former colleagues"_qs})
            await(m_env->sync().addTag(u"anna"_qs, m_env->tags().findOrCreate(name).id));
        QTRY_VERIFY(list->property("originY").toReal() < before);
        QTRY_COMPARE(list->property("contentY").toReal(), list->property("originY").toReal());
    }

    // Editing a memory goes on where it ends, as a user adding a line expects.
    void editingAMemoryTypesAtItsEnd() {
        m_env->router().push(Route::editInteraction(
            u"anna"_qs, m_env->sync().profile(u"anna"_qs)->record->interactions.first().id));
        QTRY_VERIFY(screen().value(u"focused"_qs).toBool());
        type(u"!"_qs);
        QTRY_COMPARE(screen().value(u"text"_qs).toString(), u"Lunch by the river!"_qs);
    }

    // The contact form's link editor: Return adds the typed link to the list, a wrong address is
    // refused under the field, and Control-Return saves the list with the form.
    void theContactFormAddsALinkWithReturnAndSavesIt() {
        QVERIFY(focusInAnnasContactForm(u"linkURL"_qs));
        type(u"github.com/anna"_qs);
        press(Qt::Key_Return);
        QTRY_COMPARE(screen().value(u"links"_qs).toList().size(), 1);
        QCOMPARE(screen().value(u"links"_qs).toList().first().toMap().value(u"url"_qs).toString(),
                 u"https://github.com/anna"_qs);
        type(u"no address"_qs);
        press(Qt::Key_Return);
        QTRY_COMPARE(screen().value(u"linkError"_qs).toString(),
                     PemmoError::invalidURL(u"no address"_qs).message());
        QCOMPARE(screen().value(u"links"_qs).toList().size(), 1);
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_Backspace);
        QTRY_COMPARE(screen().value(u"linkError"_qs).toString(), QString());
        press(Qt::Key_Return, Qt::ControlModifier);
        QTRY_COMPARE(route(), u"profile"_qs);
        const auto links = m_env->sync().profile(u"anna"_qs)->record->links;
        QCOMPARE(links.size(), 1);
        QCOMPARE(links.first().url, u"https://github.com/anna"_qs);
    }

    // Removing a link with the keyboard leaves the keyboard on the next link's Remove, and on the
    // new link's address once no link is left: never nowhere.
    void removingALinkKeepsTheKeyboardInTheLinks() {
        QVERIFY(focusInAnnasContactForm(u"linkURL"_qs));
        type(u"github.com/anna"_qs);
        press(Qt::Key_Return);
        type(u"gitlab.com/anna"_qs);
        press(Qt::Key_Return);
        QTRY_COMPARE(screen().value(u"links"_qs).toList().size(), 2);
        QQuickItem* remove = itemNamed(m_panel->root(), u"linkRemove"_qs);
        QVERIFY(remove);
        remove->forceActiveFocus();
        QTRY_VERIFY(remove->hasActiveFocus());
        press(Qt::Key_Space);
        QTRY_COMPARE(screen().value(u"links"_qs).toList().size(), 1);
        QTRY_VERIFY(m_panel->view().activeFocusItem() &&
                    m_panel->view().activeFocusItem()->objectName() == u"linkRemove"_qs);
        press(Qt::Key_Space);
        QTRY_COMPARE(screen().value(u"links"_qs).toList().size(), 0);
        QTRY_VERIFY(m_panel->view().activeFocusItem() &&
                    m_panel->view().activeFocusItem()->objectName() == u"linkURL"_qs);
    }

    // Typing in one of Pemmo's own details keeps the keyboard in that field to the last letter.
    void aDetailOfTheContactFormTakesAWholeWord() {
        QVERIFY(focusInAnnasContactForm(u"detail-workLocation"_qs));
        type(u"London"_qs);
        press(Qt::Key_Return, Qt::ControlModifier);
        QTRY_COMPARE(route(), u"profile"_qs);
        QCOMPARE(m_env->sync().profile(u"anna"_qs)->record->details.workLocation,
                 std::optional<QString>(u"London"_qs));
    }

    // The accent reads in both looks: the default button's label on its fill (4.5:1 or more), and
    // the frame of the text field with the keyboard against the field (3:1 or more).
    void theAccentReadsInBothLooks_data() {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void theAccentReadsInBothLooks() {
        QFETCH(bool, dark);
        m_panel->shell().setDark(dark);
        const QQuickItem* field = focusInAnnasContactForm(u"detail-workLocation"_qs);
        QVERIFY(field);
        const auto* frame = qvariant_cast<QQuickItem*>(field->property("background"));
        QVERIFY(frame);
        const QObject* border = qvariant_cast<QObject*>(frame->property("border"));
        QVERIFY(border);
        const QColor line = border->property("color").value<QColor>();
        const QColor fill = frame->property("color").value<QColor>();
        QVERIFY2(contrast(line, fill) >= 3.0, qPrintable(line.name() + u" on "_qs + fill.name()));

        QQmlComponent component(&m_panel->engine());
        component.setData("import Pemmo\nPanelButton { text: \"Save\"; highlighted: true }",
                          QUrl(u"qrc:/Pemmo/DefaultButton.qml"_qs));
        std::unique_ptr<QObject> button(component.create());
        QVERIFY2(button, qPrintable(component.errorString()));
        const auto* label = qvariant_cast<QQuickItem*>(button->property("contentItem"));
        const auto* accent = qvariant_cast<QQuickItem*>(button->property("background"));
        QVERIFY(label && accent);
        const QColor text = label->property("color").value<QColor>();
        QVERIFY(text.isValid());
        QVERIFY2(contrast(text, accent->property("color").value<QColor>()) >= 4.5, qPrintable(text.name()));
    }

    // Escape in an open drop-down closes the drop-down only; the form and what it holds stay.
    void escapeInAnOpenDropDownClosesOnlyTheDropDown() {
        const QQuickItem* month = focusInAnnasContactForm(u"birthdayMonth"_qs);
        QVERIFY(month);
        // Gone with the form if Escape took the form away.
        const QPointer<QObject> popup = qvariant_cast<QObject*>(month->property("popup"));
        QVERIFY(popup);
        press(Qt::Key_Space);
        QTRY_VERIFY(popup->property("opened").toBool());
        press(Qt::Key_Escape);
        QTRY_VERIFY(!popup || !popup->property("visible").toBool());
        QCOMPARE(route(), u"contactForm"_qs);
        // Closed, Escape is the form's again.
        press(Qt::Key_Escape);
        QTRY_COMPARE(route(), u"profile"_qs);
    }

    // Escape with something typed in the contact form asks first on the confirmation card, which a
    // screen reader hears as a dialog; Escape there goes back to the form with the text and the
    // keyboard where they were, and Return on "Discard" leaves without saving.
    void escapeAsksBeforeTheContactFormDropsWhatWasTyped() {
        QQuickItem* email = focusInAnnasContactForm(u"email"_qs);
        QVERIFY(email);
        type(u"anna@"_qs);
        press(Qt::Key_Escape);
        QTRY_COMPARE(describe().value(u"overlay"_qs).toString(), u"confirm"_qs);
        QCOMPARE(describe().value(u"confirm"_qs).toString(), u"Discard your changes?"_qs);
        QCOMPARE(route(), u"contactForm"_qs);
        QQuickItem* card = itemNamed(m_panel->root(), u"confirmCard"_qs);
        QVERIFY(card && card->isVisible());
        QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(card);
        QVERIFY(dialog);
        QCOMPARE(dialog->role(), QAccessible::Dialog);
        QCOMPARE(dialog->text(QAccessible::Name), u"Discard your changes?"_qs);
        QCOMPARE(dialog->text(QAccessible::Description), u"What you typed in this form will be lost."_qs);
        QVERIFY(shows(card, u"Discard"_qs));
        // Typing while the card is up goes nowhere.
        type(u"x"_qs);

        press(Qt::Key_Escape);
        QTRY_COMPARE(describe().value(u"overlay"_qs).toString(), QString());
        QCOMPARE(route(), u"contactForm"_qs);
        QTRY_VERIFY(email->hasActiveFocus());
        QCOMPARE(screen().value(u"email"_qs).toString(), u"anna@"_qs);
        type(u"example.org"_qs);
        QTRY_COMPARE(screen().value(u"email"_qs).toString(), u"anna@example.org"_qs);

        press(Qt::Key_Escape);
        QTRY_COMPARE(describe().value(u"overlay"_qs).toString(), u"confirm"_qs);
        press(Qt::Key_Return);
        QTRY_COMPARE(route(), u"profile"_qs);
        QCOMPARE(describe().value(u"overlay"_qs).toString(), QString());
        QVERIFY(m_env->sync().profile(u"anna"_qs)->person->emails.isEmpty());
    }

    // The panel shown again (which asks for the search field) over a form leaves the keyboard in
    // the form's field: typing goes on there, not into the query hidden behind the form.
    void showingThePanelAgainKeepsTheKeyboardInTheForm() {
        QQuickItem* email = focusInAnnasContactForm(u"email"_qs);
        QVERIFY(email);
        type(u"anna@"_qs);
        m_env->router().focusSearch();
        type(u"example.org"_qs);
        QTRY_COMPARE(screen().value(u"email"_qs).toString(), u"anna@example.org"_qs);
        QVERIFY(email->hasActiveFocus());
        QCOMPARE(m_env->search().query(), QString());
    }

    // A form left as it opened goes at once.
    void escapeLeavesAnUnchangedContactFormAtOnce() {
        QVERIFY(focusInAnnasContactForm(u"email"_qs));
        type(u"a"_qs);
        press(Qt::Key_Backspace);
        press(Qt::Key_Escape);
        QTRY_COMPARE(route(), u"profile"_qs);
        QCOMPARE(describe().value(u"overlay"_qs).toString(), QString());
    }

    // A day the log form refuses is told under the Day field, which takes the keyboard and says
    // the message with its name; the text keeps no message of the day's.
    void aRefusedDayIsToldBesideTheDayField() {
        m_env->router().push(Route::profile(u"anna"_qs));
        m_env->router().push(Route::logInteraction(u"anna"_qs));
        QTRY_VERIFY(screen().value(u"focused"_qs).toBool());
        type(u"Walk"_qs);
        QQuickItem* day = itemNamed(m_panel->root(), u"interactionDay"_qs);
        QQuickItem* text = itemNamed(m_panel->root(), u"interactionText"_qs);
        QVERIFY(day && text);
        day->forceActiveFocus();
        QTRY_VERIFY(day->hasActiveFocus());
        press(Qt::Key_A, Qt::ControlModifier);
        type(u"2999-01-01"_qs);
        // Saved from the text, the keyboard goes to the day.
        text->forceActiveFocus();
        QTRY_VERIFY(text->hasActiveFocus());
        press(Qt::Key_Return, Qt::ControlModifier);
        const QString message = u"2999-01-01 is still to come. The timeline keeps what has happened."_qs;
        QTRY_COMPARE(screen().value(u"dayError"_qs).toString(), message);
        QCOMPARE(screen().value(u"error"_qs).toString(), QString());
        QTRY_VERIFY(day->hasActiveFocus());
        const QQuickItem* note = itemNamed(m_panel->root(), u"interactionDayError"_qs);
        QVERIFY(note && note->isVisible());
        // Below the Day field and above the text (once laid out), starting at the Day label.
        const auto beside = [&] {
            const QPointF at = note->mapToItem(m_panel->root(), QPointF(0, 0));
            const qreal dayBottom = day->mapToItem(m_panel->root(), QPointF(0, day->height())).y();
            const qreal textTop = text->mapToItem(m_panel->root(), QPointF(0, 0)).y();
            return at.y() >= dayBottom && at.y() + note->height() <= textTop;
        };
        QTRY_VERIFY(beside());
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(day);
        QVERIFY(field);
        QCOMPARE(field->text(QAccessible::Description), message);
        QCOMPARE(route(), u"logInteraction"_qs);
    }

    // Saving from the bottom of the form with a problem further up takes the keyboard (and the
    // view) to the field with the problem, which would otherwise stay out of sight.
    void aRefusedSaveGoesToTheFirstProblem() {
        QVERIFY(openAnnasContactForm());
        QQuickItem* email = itemNamed(m_panel->root(), u"email"_qs);
        QQuickItem* last = itemNamed(m_panel->root(), u"detail-email"_qs);
        QVERIFY(email && last);
        email->forceActiveFocus();
        type(u"no address"_qs);
        last->forceActiveFocus();
        QTRY_VERIFY(last->hasActiveFocus());
        press(Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(email->hasActiveFocus());
        QCOMPARE(route(), u"contactForm"_qs);
        QVERIFY(!screen().value(u"errors"_qs).toMap().value(u"email"_qs).toString().isEmpty());
    }

    // A refused save with the keyboard already in the field with the problem still scrolls that
    // field and its message into view, and a screen reader hears the message with the field.
    void aRefusedSaveShowsTheMessageOfTheFieldWithTheKeyboard() {
        m_env->router().dismissBanner();
        QQuickItem* email = focusInAnnasContactForm(u"email"_qs);
        QVERIFY(email);
        type(u"no address"_qs);
        QQuickItem* flick = itemNamed(m_panel->root(), u"formScroll"_qs);
        QVERIFY(flick);
        const auto scrollable = [flick] {
            return flick->property("contentHeight").toReal() - flick->height();
        };
        QTRY_VERIFY(scrollable() > 0);
        flick->setProperty("contentY", scrollable());
        press(Qt::Key_Return, Qt::ControlModifier);
        const auto message = [this] {
            return screen().value(u"errors"_qs).toMap().value(u"email"_qs).toString();
        };
        QTRY_VERIFY(!message().isEmpty());
        QVERIFY(email->hasActiveFocus());
        const QQuickItem* note = itemNamed(m_panel->root(), u"emailError"_qs);
        QVERIFY(note);
        const auto inView = [flick](const QQuickItem* item) {
            const QPointF top = item->mapToItem(flick, QPointF(0, 0));
            return top.y() >= 0 && top.y() + item->height() <= flick->height() + 0.5;
        };
        QTRY_VERIFY(inView(email) && inView(note));
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(email);
        QVERIFY(field);
        QCOMPARE(field->text(QAccessible::Description), message());
    }

    // Every kind but the search, which is the root.
    void everyRouteHasAScreen_data() {
        QTest::addColumn<int>("kind");
        for (int kind = int(Route::Kind::Profile); kind <= int(Route::Kind::Diagnostics); ++kind)
            if (Route::Kind(kind) != Route::Kind::Search)
                QTest::newRow(qPrintable(Route::kindName(Route::Kind(kind)))) << kind;
    }
    void everyRouteHasAScreen() {
        QFETCH(int, kind);
        const QString id = u"anna"_qs;
        const QUuid memory = m_env->sync().profile(id)->record->interactions.first().id;
        const QList<Route> routes = {Route::profile(id),
                                     Route::contactFormEdit(id),
                                     Route::quickLinkForm(id),
                                     Route::logInteraction(id),
                                     Route::capture(u"note"_qs, id),
                                     Route::enrich(id),
                                     Route::review(nullptr),
                                     Route::momentCapture(nullptr),
                                     Route::editInteraction(id, memory),
                                     Route::manageTags(),
                                     Route::diagnostics()};
        const auto route = std::find_if(routes.begin(), routes.end(),
                                        [kind](const Route& r) { return int(r.routeKind()) == kind; });
        QVERIFY2(route != routes.end(), "no route of this kind made to open");
        m_env->router().push(*route);
        QTRY_COMPARE(this->route(), route->kindName());
        QTRY_VERIFY(screen().value(u"visible"_qs).toBool());
        QCOMPARE(describe().value(u"depth"_qs).toInt(), 2);
        press(Qt::Key_Escape);
        QTRY_COMPARE(this->route(), u"search"_qs);
        QCOMPARE(describe().value(u"depth"_qs).toInt(), 1);
    }
};

QTEST_MAIN(TestPanelQml)
#include "TestPanelQml.moc"
