// The settings window: each control writes its setting at once and follows the store, so a change
// made elsewhere (the panel, another pane) shows here too; panes open by name; a path, a model
// name or a message holding markup is shown as written; in both looks every text, outline and the
// keyboard's focus can be told from what it is drawn on, and the window fits a small screen.
#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "App/EmbeddingMaintenance.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/KeyValueStore.h"
#include "Settings/OutlineStyle.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/SettingsWindow.h"
#include "TestSupport/Await.h"
#include "TestSupport/Contrast.h"
#include "TestSupport/Environments.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyleOption>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

using namespace pemmo;
using test::await;
using test::contrast;

Q_DECLARE_METATYPE(QPalette::ColorGroup)
Q_DECLARE_METATYPE(QPalette::ColorRole)

class TestSettingsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<SettingsViewModel> m_model;
    std::unique_ptr<SettingsWindow> m_window;

    template <class T> T* control(const QString& name) {
        T* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    // What the stored text of each choice is, read back from the key-value store.
    QString stored(const QString& key) { return m_env->keyValueStore().text(key).value_or(QString()); }
    // The words a text puts on the screen: rich text is laid out first (a tooltip is rich whenever
    // it looks like markup), plain text is shown as it is.
    static QString shown(const QString& text, Qt::TextFormat format) {
        if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
            return text;
        QTextDocument document;
        document.setHtml(text);
        return document.toPlainText();
    }

    // Shows the window active with the pane of `widget`, scrolled so `widget` is in view, and
    // returns the window as drawn.
    QImage drawnWith(QWidget* widget) {
        m_window->show();
        m_window->activateWindow();
        if (!QTest::qWaitForWindowActive(m_window.get()))
            qFatal("the settings window never became active");
        for (QWidget* up = widget->parentWidget(); up; up = up->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(up))
                scroll->ensureWidgetVisible(widget);
        QImage image = m_window->grab().toImage();
        image.setDevicePixelRatio(1);
        return image;
    }
    // Where in the window `widget`'s outline runs: its own rectangle, or its box's for a check box.
    QRect outlineOf(QWidget* widget, QStyle::SubElement boxPart = QStyle::SE_CheckBoxIndicator) {
        QRect rect = widget->rect();
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            option.iconSize = box->iconSize();
            rect = box->style()->subElementRect(boxPart, &option, box);
        }
        const qreal ratio = m_window->devicePixelRatioF();
        const QPoint topLeft = widget->mapTo(m_window.get(), rect.topLeft());
        return QRect(topLeft * ratio, rect.size() * ratio);
    }
    // The pixels down from the top edge of `outline`, at its middle, and the background above it.
    static QList<QColor> edge(const QImage& image, const QRect& outline, QColor* around) {
        const int x = outline.center().x();
        *around = image.pixelColor(x, outline.top() - 3);
        QList<QColor> rows;
        for (int k = 0; k < 4; ++k)
            rows.append(image.pixelColor(x, outline.top() + k));
        return rows;
    }
    static QString names(const QList<QColor>& colours) {
        QStringList all;
        for (const QColor& c : colours)
            all.append(c.name());
        return all.join(u' ');
    }

private Q_SLOTS:
    void initTestCase() {
        // As the application does: Fusion, offscreen as on a desktop without a Qt style.
        QApplication::setStyle(u"fusion"_qs);
        OutlineStyle::installOverFusion();
    }
    void init() {
        m_env = AppEnvironment::inMemory({}, u"PemmoSettingsWindowTest"_qs);
        m_model = std::make_unique<SettingsViewModel>(*m_env);
        m_window = std::make_unique<SettingsWindow>(*m_model);
    }
    void cleanup() {
        m_window.reset();
        m_model.reset();
        m_env.reset();
    }

    void aChoiceIsStoredAtOnceAndFollowsTheStore_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("raw");
        QTest::newRow("dark appearance")
            << u"appearance"_qs << SettingsStore::appearanceKey() << 1 << u"dark"_qs;
        QTest::newRow("light appearance")
            << u"appearance"_qs << SettingsStore::appearanceKey() << 2 << u"light"_qs;
        QTest::newRow("wide panel") << u"panelWidth"_qs << SettingsStore::panelWidthKey() << 2 << u"760"_qs;
        QTest::newRow("compact panel")
            << u"panelWidth"_qs << SettingsStore::panelWidthKey() << 0 << u"560"_qs;
        QTest::newRow("call on Return")
            << u"primaryAction"_qs << SettingsStore::primaryActionKey() << 1 << u"call"_qs;
        QTest::newRow("Signal") << u"messagingApp"_qs << SettingsStore::messagingAppKey() << 1
                                << u"signal"_qs;
        QTest::newRow("Telegram") << u"messagingApp"_qs << SettingsStore::messagingAppKey() << 3
                                  << u"telegram"_qs;
        QTest::newRow("Claude") << u"aiProvider"_qs << SettingsStore::aiProviderKey() << 1 << u"claude"_qs;
    }
    void aChoiceIsStoredAtOnceAndFollowsTheStore() {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(int, index);
        QFETCH(QString, raw);
        auto* box = control<QComboBox>(name);
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
        QCOMPARE(stored(key), raw);
    }

    void aChangeMadeElsewhereShowsInTheWindow() {
        m_env->settings().setAppearance(SettingsStore::Appearance::Light);
        m_env->settings().setPanelWidth(SettingsStore::PanelWidth::Wide);
        m_env->settings().setOpenLinksInBackground(true);
        m_env->settings().setLocalModel(u"qwen3"_qs);
        QCOMPARE(control<QComboBox>(u"appearance"_qs)->currentIndex(), 2);
        QCOMPARE(control<QComboBox>(u"panelWidth"_qs)->currentIndex(), 2);
        QVERIFY(control<QCheckBox>(u"openLinksInBackground"_qs)->isChecked());
        QCOMPARE(control<QComboBox>(u"localModel"_qs)->currentText(), u"qwen3"_qs);
    }

    void aSwitchIsStoredAtOnce_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("automatic logging")
            << u"autoLogInteractions"_qs << SettingsStore::autoLogInteractionsKey();
        QTest::newRow("links in the background")
            << u"openLinksInBackground"_qs << SettingsStore::openLinksInBackgroundKey();
        QTest::newRow("semantic search")
            << u"semanticSearchEnabled"_qs << SettingsStore::semanticSearchEnabledKey();
        QTest::newRow("AI") << u"aiEnabled"_qs << SettingsStore::aiEnabledKey();
        QTest::newRow("Moments") << u"momentsEnabled"_qs << SettingsStore::momentsEnabledKey();
    }
    void aSwitchIsStoredAtOnce() {
        QFETCH(QString, name);
        QFETCH(QString, key);
        auto* box = control<QCheckBox>(name);
        const bool before = box->isChecked();
        box->click();
        QCOMPARE(m_env->keyValueStore().boolean(key), std::optional<bool>(!before));
        box->click();
        QCOMPARE(m_env->keyValueStore().boolean(key), std::optional<bool>(before));
    }

    void aTypedTextIsStoredWhenTheFieldIsLeft() {
        auto* server = control<QLineEdit>(u"localModelServer"_qs);
        server->setText(u" http://127.0.0.1:8080 "_qs);
        Q_EMIT server->editingFinished();
        QCOMPARE(m_env->settings().localModelServer(), u"http://127.0.0.1:8080"_qs);
        auto* feed = control<QLineEdit>(u"updateFeed"_qs);
        feed->setText(u"https://example.org/feed.xml"_qs);
        Q_EMIT feed->editingFinished();
        QCOMPARE(m_model->updateFeedURL(), u"https://example.org/feed.xml"_qs);
    }

    void theFolderListShowsTheChosenFoldersAndWhereNewContactsGo() {
        m_env->settings().setContactFolders({u"/srv/a"_qs, u"/srv/b"_qs});
        auto* list = control<QListWidget>(u"contactFolders"_qs);
        QCOMPARE(list->count(), 2);
        QVERIFY(list->item(0)->text().contains(u"new contacts"_qs));
        QVERIFY(!list->item(1)->text().contains(u"new contacts"_qs));
        m_env->settings().setCalendarIDs({u"/srv/cal"_qs});
        QCOMPARE(control<QListWidget>(u"calendarFolders"_qs)->count(), 1);
    }

    // What a label ("message", "modelsNote") or the first folder's tooltip of a list puts on the screen.
    QString onScreen(const QString& place) {
        if (auto* list = m_window->findChild<QListWidget*>(place)) {
            const QListWidgetItem* item = list->item(0);
            return item ? shown(item->toolTip(), Qt::AutoText) : QString();
        }
        // A message shows on one pane: the label not hidden.
        QLabel* label = nullptr;
        for (QLabel* each : m_window->findChildren<QLabel*>(place))
            if (!label || !each->isHidden())
                label = each;
        if (!label)
            qFatal("no label %s", qPrintable(place));
        return shown(label->text(), label->textFormat());
    }

    // Markup the user or a server wrote is never acted on: no bold, no image, no link.
    void markupInAUsersTextIsShownAsWritten_data() {
        QTest::addColumn<QString>("place");
        QTest::newRow("a message quoting a folder") << u"message"_qs;
        QTest::newRow("a folder's tooltip") << u"contactFolders"_qs;
        QTest::newRow("a calendar folder's tooltip") << u"calendarFolders"_qs;
        QTest::newRow("the note naming a missing model") << u"modelsNote"_qs;
    }
    void markupInAUsersTextIsShownAsWritten() {
        QFETCH(QString, place);
        const QString text = u"/srv/<b>Tom</b> & <img src=\"/usr/share/pixmaps/debian-logo.png\">"_qs;
        test::LoopbackHTTPServer server;
        if (place == u"message") {
            QVERIFY(!m_model->addContactFolder(text));
        } else if (place == u"contactFolders") {
            m_env->settings().setContactFolders({text});
        } else if (place == u"calendarFolders") {
            m_env->settings().setCalendarIDs({text});
        } else {
            server.enqueue(200, R"({"models":[]})", "/api/tags");
            m_env->settings().setAiEnabled(true);
            m_env->settings().setLocalModel(text);
            m_env->settings().setLocalModelServer(server.url().toString());
        }
        QTRY_VERIFY2(onScreen(place).contains(text), qPrintable(onScreen(place)));
    }

    void panesOpenByName() {
        for (const QString& name : SettingsWindow::paneNames()) {
            m_window->showPane(name);
            QCOMPARE(m_window->currentPane(), name);
        }
        m_window->showPane(u"nothing"_qs);
        QCOMPARE(m_window->currentPane(), u"general"_qs);
    }

    void theModelBoxListsTheServersModelsAndTheTestShowsItsOutcome() {
        test::LoopbackHTTPServer server;
        server.enqueue(200, R"({"models":[{"name":"qwen2.5:0.5b"},{"name":"llama3.2:latest"}]})",
                       "/api/tags");
        server.enqueue(200, R"({"message":{"role":"assistant","content":"{}"},"done":true})", "/api/chat");
        m_env->settings().setAiEnabled(true);
        m_env->settings().setLocalModel(u"mistral"_qs);
        m_env->settings().setLocalModelServer(server.url().toString());
        auto* box = control<QComboBox>(u"localModel"_qs);
        // The order of the choices and the note are the model's (TestSettingsViewModel).
        QTRY_COMPARE(box->count(), 3);
        QCOMPARE(box->currentText(), u"mistral"_qs);
        // Picking a listed model stores it.
        Q_EMIT box->activated(2);
        QCOMPARE(m_env->settings().localModel(), u"qwen2.5:0.5b"_qs);

        auto* test = control<QPushButton>(u"testConnection"_qs);
        auto* result = control<QLabel>(u"connectionResult"_qs);
        test->click();
        QVERIFY(!test->isEnabled());
        QCOMPARE(result->text(), u"Testing the connection…"_qs);
        QTRY_VERIFY(test->isEnabled());
        QVERIFY2(result->text().startsWith(u"Connected"_qs), qPrintable(result->text()));
    }
    void everyTextReadsOnWhatItIsDrawnOn_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QPalette::ColorGroup>("group");
        QTest::addColumn<QPalette::ColorRole>("text");
        QTest::addColumn<QPalette::ColorRole>("background");
        QTest::addColumn<double>("least");
        const struct {
            const char* name;
            QPalette::ColorGroup group;
            QPalette::ColorRole text, background;
            double least;
        } pairs[] = {
            {"label", QPalette::Active, QPalette::WindowText, QPalette::Window, 4.5},
            {"field text", QPalette::Active, QPalette::Text, QPalette::Base, 4.5},
            {"button text", QPalette::Active, QPalette::ButtonText, QPalette::Button, 4.5},
            {"placeholder", QPalette::Active, QPalette::PlaceholderText, QPalette::Base, 4.5},
            // The help lines under the controls are drawn in the placeholder colour on the window.
            {"help line", QPalette::Active, QPalette::PlaceholderText, QPalette::Window, 4.5},
            {"selected row", QPalette::Active, QPalette::HighlightedText, QPalette::Highlight, 4.5},
            {"unfocused window", QPalette::Inactive, QPalette::WindowText, QPalette::Window, 4.5},
            {"tooltip", QPalette::Active, QPalette::ToolTipText, QPalette::ToolTipBase, 4.5},
            {"link", QPalette::Active, QPalette::Link, QPalette::Window, 4.5},
            // Switched off, still legible.
            {"disabled label", QPalette::Disabled, QPalette::WindowText, QPalette::Window, 3.0},
            {"disabled field", QPalette::Disabled, QPalette::Text, QPalette::Base, 3.0},
            {"disabled button", QPalette::Disabled, QPalette::ButtonText, QPalette::Button, 3.0},
        };
        for (const bool dark : {false, true})
            for (const auto& pair : pairs)
                QTest::addRow("%s, %s", dark ? "dark" : "light", pair.name)
                    << dark << pair.group << pair.text << pair.background << pair.least;
    }
    void everyTextReadsOnWhatItIsDrawnOn() {
        QFETCH(bool, dark);
        QFETCH(QPalette::ColorGroup, group);
        QFETCH(QPalette::ColorRole, text);
        QFETCH(QPalette::ColorRole, background);
        QFETCH(double, least);
        m_window->setDark(dark);
        const QPalette palette = m_window->palette();
        const QColor fore = palette.color(group, text), back = palette.color(group, background);
        QVERIFY2(contrast(fore, back) >= least, qPrintable(fore.name() + u" on "_qs + back.name() + u": "_qs +
                                                           QString::number(contrast(fore, back), 'f', 2)));
    }

    // Read from the window as Fusion draws it, at the top edge of each kind of control against the
    // background just above it: every outline stands out from the window, and the control with the
    // keyboard's focus is ringed, two pixels or more of its outline standing out.
    void everyOutlineAndFocusRingStandsOut_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("name");
        const struct {
            const char* kind;
            bool focused;
            const char *pane, *name;
        } controls[] = {
            {"text field", false, "updates", "updateFeed"},
            {"choice", false, "general", "appearance"},
            {"editable choice", false, "ai", "localModel"},
            {"number", false, "calendar", "momentDelay"},
            {"empty check box", false, "general", "openLinksInBackground"},
            {"button", false, "data", "export"},
            {"list", false, "calendar", "calendarFolders"},
            {"focused text field", true, "updates", "updateFeed"},
            {"focused shortcut recorder", true, "general", "shortcut"},
            {"focused choice", true, "general", "appearance"},
            {"focused number", true, "calendar", "momentDelay"},
            {"focused check box", true, "general", "openLinksInBackground"},
            {"focused empty list", true, "calendar", "calendarFolders"},
        };
        for (const bool dark : {false, true})
            for (const auto& c : controls)
                QTest::addRow("%s, %s", dark ? "dark" : "light", c.kind)
                    << dark << c.focused << QString::fromLatin1(c.pane) << QString::fromLatin1(c.name);
    }
    void everyOutlineAndFocusRingStandsOut() {
        QFETCH(bool, dark);
        QFETCH(bool, focused);
        QFETCH(QString, pane);
        QFETCH(QString, name);
        m_window->setDark(dark);
        m_window->showPane(pane);
        auto* widget = control<QWidget>(name);
        QStyle::SubElement boxPart = QStyle::SE_CheckBoxIndicator;
        if (focused) {
            drawnWith(widget);
            // A Tab tells the window its focus now moves by keyboard (some rings show only then).
            QTest::keyClick(m_window.get(), Qt::Key_Tab);
            widget->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(widget->hasFocus());
            boxPart = QStyle::SE_CheckBoxFocusRect; // a check box's ring goes round its title
        } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            box->setChecked(false);
        }
        const QImage image = drawnWith(widget);
        QColor around;
        const QList<QColor> rows = edge(image, outlineOf(widget, boxPart), &around);
        const auto clear = std::count_if(rows.begin(), rows.end(),
                                         [&around](const QColor& c) { return contrast(c, around) >= 3.0; });
        QVERIFY2(clear >= (focused ? 2 : 1),
                 qPrintable(u"outline rows "_qs + names(rows) + u" on "_qs + around.name()));
    }

    // Tab goes from control to control: it never stops where nothing shows it (the scrolling pane
    // itself, a label).
    void tabStopsOnlyOnControls_data() {
        QTest::addColumn<QString>("pane");
        for (const QString& pane : SettingsWindow::paneNames())
            QTest::newRow(qPrintable(pane)) << pane;
    }
    void tabStopsOnlyOnControls() {
        QFETCH(QString, pane);
        m_window->showPane(pane);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        control<QListWidget>(u"panes"_qs)->setFocus(Qt::TabFocusReason);
        QStringList stops;
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            if (focused->objectName() == u"panes"_qs)
                break;
            stops.append(QString::fromLatin1(focused->metaObject()->className()));
            QVERIFY2(qobject_cast<QLineEdit*>(focused) || qobject_cast<QAbstractButton*>(focused) ||
                         qobject_cast<QComboBox*>(focused) || qobject_cast<QAbstractSpinBox*>(focused) ||
                         qobject_cast<QListWidget*>(focused) || qobject_cast<QKeySequenceEdit*>(focused),
                     qPrintable(stops.join(u", "_qs)));
        }
    }

    // Shows the window active, with `widget` holding the keyboard's focus.
    void focusOn(QWidget* widget) {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        widget->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(widget->hasFocus());
    }

    // The shortcut field always shows the shortcut in force: a modifier pressed alone, or Tab and
    // Shift+Tab leaving it, neither empty it nor record anything; Tab goes on from it.
    void theShortcutFieldKeepsTheShortcutInForce_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("focusAfter");
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << u"shortcut"_qs;
        QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << int(Qt::ControlModifier) << u"shortcut"_qs;
        QTest::newRow("Super alone") << int(Qt::Key_Meta) << int(Qt::MetaModifier) << u"shortcut"_qs;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << u"appearance"_qs;
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << u"panes"_qs;
    }
    void theShortcutFieldKeepsTheShortcutInForce() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, focusAfter);
        auto* field = control<QKeySequenceEdit>(u"shortcut"_qs);
        const QKeySequence inForce = m_model->shortcut();
        QVERIFY(!inForce.isEmpty());
        focusOn(field);
        QTest::keyPress(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTest::qWait(0); // what the field recorded is taken after the key
        QCOMPARE(field->keySequence(), inForce);
        QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(field->keySequence(), inForce);
        QCOMPARE(m_model->shortcut(), inForce);
        QVERIFY2(m_model->message().isEmpty(), qPrintable(m_model->message()));
    }

    // A field left half-typed or empty shows the shortcut in force again.
    void aShortcutFieldLeftEmptyShowsTheShortcutInForce() {
        auto* field = control<QKeySequenceEdit>(u"shortcut"_qs);
        focusOn(field);
        field->clear();
        control<QComboBox>(u"appearance"_qs)->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(field->keySequence(), m_model->shortcut());
    }

    // A combination is recorded at once, and the focus stays in the field.
    void aRecordedShortcutLeavesTheFocusInTheField() {
        auto* field = control<QKeySequenceEdit>(u"shortcut"_qs);
        focusOn(field);
        QTest::keyClick(field, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
        QTRY_COMPARE(m_model->shortcut(), QKeySequence(u"Ctrl+Alt+J"_qs));
        QCOMPARE(field->keySequence(), QKeySequence(u"Ctrl+Alt+J"_qs));
        QVERIFY(field->hasFocus());
    }

    // Escape closes the window from the shortcut field too, recording nothing.
    void escapeInTheShortcutFieldClosesTheWindow() {
        auto* field = control<QKeySequenceEdit>(u"shortcut"_qs);
        const QKeySequence inForce = m_model->shortcut();
        focusOn(field);
        QTest::keyClick(field, Qt::Key_Escape);
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(m_model->shortcut(), inForce);
        QCOMPARE(field->keySequence(), inForce);
        QVERIFY(m_model->message().isEmpty());
    }

    // A message shows on the pane it is about, and no longer once the window was closed.
    void aMessageShowsOnItsPaneUntilTheWindowCloses() {
        m_window->showPane(u"addressBook"_qs);
        m_window->show();
        QVERIFY(!m_model->addContactFolder(u"/no/such/folder"_qs));
        QStringList shown;
        for (QLabel* label : m_window->findChildren<QLabel*>(u"message"_qs))
            if (!label->isHidden())
                shown.append(label->text());
        QCOMPARE(shown, QStringList{m_model->message()});
        auto* onPane =
            control<QPushButton>(u"addFolder"_qs)->parentWidget()->findChild<QLabel*>(u"message"_qs);
        QVERIFY(!onPane->isHidden());
        m_window->close();
        m_window->show();
        for (QLabel* label : m_window->findChildren<QLabel*>(u"message"_qs))
            QVERIFY2(label->isHidden(), qPrintable(label->text()));
    }

    // A screen reader names a choice by its label, not by the name the code knows it by.
    void aChoiceIsNamedByItsLabel_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("appearance") << u"appearance"_qs << u"Appearance"_qs;
        QTest::newRow("panel width") << u"panelWidth"_qs << u"Panel width"_qs;
        QTest::newRow("Return") << u"primaryAction"_qs << u"Return on a card"_qs;
        QTest::newRow("messages") << u"messagingApp"_qs << u"Messages open in"_qs;
        QTest::newRow("provider") << u"aiProvider"_qs << u"Provider"_qs;
    }
    void aChoiceIsNamedByItsLabel() {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QCOMPARE(control<QComboBox>(name)->accessibleName(), label);
    }

    // The note about the records of people who left shows only with such records.
    void theNoteOnRecordsOfPeopleWhoLeftShowsOnlyWithThem() {
        QCOMPARE(m_model->orphanCount(), 0);
        QVERIFY(control<QLabel>(u"orphansHelp"_qs)->isHidden());
        QVERIFY(control<QLabel>(u"orphans"_qs)->isHidden());
        QVERIFY(control<QPushButton>(u"removeOrphans"_qs)->isHidden());
    }

    // A folder button that turns itself off hands the focus to the list, not to the sidebar.
    void aFolderButtonTurningOffLeavesTheFocusOnTheList() {
        test::TempDir disk;
        QDir(disk.path()).mkpath(u"a"_qs);
        QDir(disk.path()).mkpath(u"b"_qs);
        m_env->settings().setContactFolders({disk.filePath(u"a"_qs), disk.filePath(u"b"_qs)});
        m_window->showPane(u"addressBook"_qs);
        auto* list = control<QListWidget>(u"contactFolders"_qs);
        list->setCurrentRow(1);
        auto* first = control<QPushButton>(u"newContactsFolder"_qs);
        focusOn(first);
        QTest::keyClick(first, Qt::Key_Space);
        QCOMPARE(m_env->settings().contactFolders().value(0), disk.filePath(u"b"_qs));
        QVERIFY(!first->isEnabled());
        QCOMPARE(QApplication::focusWidget(), list);

        auto* remove = control<QPushButton>(u"removeFolder"_qs);
        focusOn(remove);
        QTest::keyClick(remove, Qt::Key_Space);
        QCOMPARE(m_env->settings().contactFolders(), QStringList{disk.filePath(u"a"_qs)});
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(remove->isEnabled(), list->currentRow() == 0);
    }

    // A blank model name means the default model, which the field shows as its placeholder.
    void aBlankClaudeModelMeansTheDefault_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("fast, spaces") << u"claudeFastModel"_qs << u"   "_qs << QString() << QString();
        QTest::newRow("fast, padded")
            << u"claudeFastModel"_qs << u" claude-x "_qs << u"claude-x"_qs << u"claude-x"_qs;
        QTest::newRow("fast, spaces, the default already")
            << u"claudeFastModel"_qs << u"  "_qs << QString() << QString();
        QTest::newRow("reasoning, empty")
            << u"claudeReasoningModel"_qs << QString() << QString() << QString();
    }
    void aBlankClaudeModelMeansTheDefault() {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        const bool fast = name == u"claudeFastModel";
        const QString key =
            fast ? SettingsStore::claudeFastModelKey() : SettingsStore::claudeReasoningModelKey();
        InMemoryKeyValueStore nothing;
        const SettingsStore defaults(nothing);
        const QString fallback = fast ? defaults.claudeFastModel() : defaults.claudeReasoningModel();
        auto* field = control<QLineEdit>(name);
        QCOMPARE(field->placeholderText(), fallback);
        QCOMPARE(field->text(), QString()); // the default, shown as the placeholder
        if (QTest::currentDataTag() != QByteArrayLiteral("fast, spaces, the default already"))
            fast ? m_env->settings().setClaudeFastModel(u"claude-y"_qs)
                 : m_env->settings().setClaudeReasoningModel(u"claude-y"_qs);
        field->setText(typed);
        Q_EMIT field->editingFinished();
        QCOMPARE(m_env->keyValueStore().text(key).value_or(QString()), stored);
        QCOMPARE(fast ? m_env->settings().claudeFastModel() : m_env->settings().claudeReasoningModel(),
                 stored.isEmpty() ? fallback : stored);
        QCOMPARE(field->text(), shown);
    }

    // An update feed that is no web address is refused on the Updates pane.
    void anUpdateFeedThatIsNoWebAddressIsRefusedOnItsPane() {
        m_window->showPane(u"updates"_qs);
        m_window->show();
        auto* feed = control<QLineEdit>(u"updateFeed"_qs);
        feed->setText(u"ftp://bad feed"_qs);
        Q_EMIT feed->editingFinished();
        QCOMPARE(m_model->updateFeedURL(), QString());
        auto* message = feed->parentWidget()->findChild<QLabel*>(u"message"_qs);
        QVERIFY(message);
        QVERIFY(!message->isHidden());
        QVERIFY2(message->text().contains(u"https://"_qs), qPrintable(message->text()));
    }

    // Erasing everything also empties the semantic index: it is rebuilt for the people still there.
    void erasingRebuildsTheIndexForThePeopleStillThere() {
        int rebuilt = 0;
        m_window->setRebuildIndexAction([&rebuilt] { ++rebuilt; });
        m_env->settings().setSemanticSearchEnabled(true);
        m_window->showPane(u"data"_qs);
        m_window->show();
        QTimer::singleShot(0, this, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                for (auto* button : dialog->findChildren<QPushButton*>())
                    if (button->text() == u"Erase")
                        button->click();
        });
        control<QPushButton>(u"eraseAll"_qs)->click();
        QTRY_COMPARE(rebuilt, 1);
        QVERIFY2(m_model->message().startsWith(u"Erased 0 records."_qs), qPrintable(m_model->message()));
    }

    // "Rebuild semantic index" says that it is rebuilding, then that it is done.
    void rebuildingTheIndexSaysWhenItIsDone() {
        m_window.reset();
        m_model.reset();
        m_env = AppEnvironment::inMemory({test::person(u"a"_qs, u"Ada"_qs)}, u"PemmoSettingsWindowTest"_qs,
                                         test::quickTimings());
        AppStartup startup(*m_env);
        await(startup.start());
        m_model = std::make_unique<SettingsViewModel>(*m_env);
        m_window = std::make_unique<SettingsWindow>(*m_model);
        EmbeddingMaintenance& maintenance = startup.embeddingMaintenance();
        QTRY_VERIFY(!maintenance.isUpdating());
        m_window->setIndexMaintenance(&maintenance);
        auto* button = control<QPushButton>(u"rebuildIndex"_qs);
        auto* state = control<QLabel>(u"rebuildState"_qs);
        QVERIFY(button->isEnabled());
        QVERIFY(state->isHidden());
        button->click();
        // "Rebuilding the semantic index…" shows while it runs: with one person, that is brief.
        QVERIFY(!state->isHidden());
        QTRY_COMPARE(state->text(), u"Rebuilt the semantic index."_qs);
        m_window.reset();
    }

    // A dialog of the window (here "Erase all Pemmo data…"'s question) is a window of its own; it
    // comes in the settings window's look all the same.
    void aDialogOfTheWindowTakesItsLook() {
        m_window->setDark(true);
        m_window->showPane(u"data"_qs);
        m_window->show();
        QColor window;
        QTimer::singleShot(0, this, [&window] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                window = dialog->palette().color(QPalette::Window);
                dialog->close();
            }
        });
        control<QPushButton>(u"eraseAll"_qs)->click();
        QCOMPARE(window, m_window->palette().color(QPalette::Window));
    }

    // With large text (the window is sized in characters and lines) or a small screen, the window
    // opens no bigger than the screen; its panes scroll.
    void theWindowFitsOnTheScreen() {
        const QFont usual = QApplication::font();
        QFont large = usual;
        large.setPointSizeF(usual.pointSizeF() * 2.5);
        QApplication::setFont(large);
        m_window = std::make_unique<SettingsWindow>(*m_model);
        QApplication::setFont(usual);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QRect available = m_window->screen()->availableGeometry();
        QVERIFY2(available.contains(m_window->frameGeometry()),
                 qPrintable(u"%1x%2 on %3x%4"_qs.arg(m_window->frameGeometry().width())
                                .arg(m_window->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
