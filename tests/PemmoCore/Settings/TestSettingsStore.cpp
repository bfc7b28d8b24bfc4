// Preferences: defaults for a new user, values of the wrong kind, writes on every assignment, and
// the onboarding state carried over from the earlier release.
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;

using PanelWidth = SettingsStore::PanelWidth;

Q_DECLARE_METATYPE(pemmo::StoredValue)

class TestSettingsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Reading the defaults must not write them: a stored default would never follow a later change.
    void aNewUserGetsTheDefaultsAndNothingIsWritten() {
        InMemoryKeyValueStore store;
        SettingsStore settings(store);
        QCOMPARE(settings.panelWidth(), PanelWidth::Regular);
        QCOMPARE(settings.semanticSearchEnabled(), true);
        QCOMPARE(settings.aiEnabled(), false);
        QCOMPARE(settings.autoLogInteractions(), true);
        QCOMPARE(settings.momentDelayMinutes(), 20);
        QCOMPARE(settings.hasCompletedOnboarding(), false);
        QCOMPARE(store.writeCount(), 0);
    }

    void panelWidthReadsOnlyItsThreeTexts_data() {
        QTest::addColumn<StoredValue>("stored");
        QTest::addColumn<PanelWidth>("expected");
        QTest::newRow("compact") << StoredValue(u"560"_qs) << PanelWidth::Compact;
        QTest::newRow("wide") << StoredValue(u"760"_qs) << PanelWidth::Wide;
        QTest::newRow("unknown width") << StoredValue(u"700"_qs) << PanelWidth::Regular;
        QTest::newRow("integer 560") << StoredValue(qint64(560)) << PanelWidth::Regular;
        QTest::newRow("raw value padded") << StoredValue(u" 560"_qs) << PanelWidth::Regular;
    }

    void panelWidthReadsOnlyItsThreeTexts() {
        QFETCH(StoredValue, stored);
        QFETCH(PanelWidth, expected);
        InMemoryKeyValueStore store;
        store.set(stored, SettingsStore::panelWidthKey());
        QCOMPARE(SettingsStore(store).panelWidth(), expected);
    }

    void onlyTheExactTextClaudeSelectsClaude_data() {
        QTest::addColumn<StoredValue>("stored");
        QTest::addColumn<AIProviderID>("expected");
        QTest::newRow("claude") << StoredValue(u"claude"_qs) << AIProviderID::Claude;
        QTest::newRow("capitalised") << StoredValue(u"Claude"_qs) << AIProviderID::OnDevice;
        QTest::newRow("onDevice") << StoredValue(u"onDevice"_qs) << AIProviderID::OnDevice;
        QTest::newRow("truth value") << StoredValue(true) << AIProviderID::OnDevice;
    }

    void onlyTheExactTextClaudeSelectsClaude() {
        QFETCH(StoredValue, stored);
        QFETCH(AIProviderID, expected);
        InMemoryKeyValueStore store;
        store.set(stored, SettingsStore::aiProviderKey());
        QCOMPARE(SettingsStore(store).aiProvider(), expected);
    }

    void blankModelTextsFallBackButOthersAreKeptExactly_data() {
        QTest::addColumn<StoredValue>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("three spaces") << StoredValue(u"   "_qs) << u"claude-haiku-4-5"_qs;
        QTest::newRow("line break") << StoredValue(u"\n"_qs) << u"claude-haiku-4-5"_qs;
        QTest::newRow("integer") << StoredValue(qint64(4)) << u"claude-haiku-4-5"_qs;
        QTest::newRow("padded name") << StoredValue(u" claude-x "_qs) << u" claude-x "_qs;
    }

    void blankModelTextsFallBackButOthersAreKeptExactly() {
        QFETCH(StoredValue, stored);
        QFETCH(QString, expected);
        InMemoryKeyValueStore store;
        store.set(stored, SettingsStore::claudeFastModelKey());
        QCOMPARE(SettingsStore(store).claudeFastModel(), expected);
    }

    void valuesOfTheWrongKindReadAsDefaultsAndAreNotRewritten() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(u"false"_qs), SettingsStore::autoLogInteractionsKey());
        store.set(StoredValue(qint64(1)), SettingsStore::aiEnabledKey());
        store.set(StoredValue(u"45"_qs), SettingsStore::momentDelayMinutesKey());
        store.set(StoredValue(u"cal"_qs), SettingsStore::calendarIDsKey());
        store.set(StoredValue(QStringList{u"x"_qs}), SettingsStore::appearanceKey());
        const int writes = store.writeCount();
        SettingsStore settings(store);
        QCOMPARE(settings.autoLogInteractions(), true);
        QCOMPARE(settings.aiEnabled(), false);
        QCOMPARE(settings.momentDelayMinutes(), 20);
        QCOMPARE(settings.calendarIDs(), QStringList());
        QCOMPARE(settings.appearance(), SettingsStore::Appearance::System);
        QCOMPARE(store.writeCount(), writes);
        QCOMPARE(store.text(SettingsStore::momentDelayMinutesKey()), u"45"_qs);
    }

    void aWholeNumberIsAcceptedAsAnInstant() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(qint64(1'733'400'000)), SettingsStore::calendarSinceKey());
        QCOMPARE(SettingsStore(store).calendarSince(), 1'733'400'000.0);
    }

    void everyAssignmentIsStoredInItsOwnKind() {
        InMemoryKeyValueStore store;
        {
            SettingsStore settings(store);
            settings.setPanelWidth(PanelWidth::Wide);
            settings.setAppearance(SettingsStore::Appearance::Dark);
            settings.setPrimaryAction(SettingsStore::PrimaryAction::Mail);
            settings.setAutoLogInteractions(false);
            settings.setAiProvider(AIProviderID::Claude);
            settings.setOnboardingVersion(3);
            settings.setCalendarSince(1'733'400'000.5);
            settings.setCalendarIDs({u"/cal/a"_qs, u"/cal/b"_qs});
            settings.setContactFolders({u"/home/u/.contacts/personal"_qs});
            settings.setMessagingApp(SettingsStore::MessagingApp::Signal);
            settings.setClaudeReasoningModel(u"claude-x"_qs);
        }
        QCOMPARE(store.text(SettingsStore::panelWidthKey()), u"760"_qs);
        QCOMPARE(store.text(SettingsStore::appearanceKey()), u"dark"_qs);
        QCOMPARE(store.text(SettingsStore::primaryActionKey()), u"mail"_qs);
        QCOMPARE(store.boolean(SettingsStore::autoLogInteractionsKey()), false);
        QCOMPARE(store.text(SettingsStore::aiProviderKey()), u"claude"_qs);
        QCOMPARE(store.integer(SettingsStore::onboardingVersionKey()), qint64(3));
        QCOMPARE(store.number(SettingsStore::calendarSinceKey()), 1'733'400'000.5);
        QCOMPARE(store.text(SettingsStore::messagingAppKey()), u"signal"_qs);

        SettingsStore reread(store);
        QCOMPARE(reread.panelWidth(), PanelWidth::Wide);
        QCOMPARE(reread.appearance(), SettingsStore::Appearance::Dark);
        QCOMPARE(reread.primaryAction(), SettingsStore::PrimaryAction::Mail);
        QCOMPARE(reread.autoLogInteractions(), false);
        QCOMPARE(reread.aiProvider(), AIProviderID::Claude);
        QCOMPARE(reread.onboardingVersion(), 3);
        QCOMPARE(reread.calendarSince(), 1'733'400'000.5);
        QCOMPARE(reread.calendarIDs(), (QStringList{u"/cal/a"_qs, u"/cal/b"_qs}));
        QCOMPARE(reread.contactFolders(), QStringList{u"/home/u/.contacts/personal"_qs});
        QCOMPARE(reread.messagingApp(), SettingsStore::MessagingApp::Signal);
        QCOMPARE(reread.claudeReasoningModel(), u"claude-x"_qs);
    }

    void anEqualAssignmentWritesButSignalsNothing() {
        InMemoryKeyValueStore store;
        SettingsStore settings(store);
        QSignalSpy changed(&settings, &SettingsStore::momentDelayMinutesChanged);
        settings.setMomentDelayMinutes(20);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(store.integer(SettingsStore::momentDelayMinutesKey()), qint64(20));
        settings.setMomentDelayMinutes(30);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(settings.momentDelayMinutes(), 30);
    }

    void legacyOnboardingIsCarriedOverOnce() {
        InMemoryKeyValueStore store;
        store.set(
            StoredValue(QByteArray(
                R"({"hasCompletedOnboarding":true,"hasSkippedOnboarding":false,"lastOnboardingVersion":2})")),
            SettingsStore::legacyOnboardingKey());
        {
            SettingsStore settings(store);
            QCOMPARE(settings.hasCompletedOnboarding(), true);
            QCOMPARE(settings.hasSkippedOnboarding(), false);
            QCOMPARE(settings.onboardingVersion(), 2);
        }
        QCOMPARE(store.boolean(SettingsStore::hasCompletedOnboardingKey()), true);
        QCOMPARE(store.boolean(SettingsStore::hasSkippedOnboardingKey()), false);
        QCOMPARE(store.integer(SettingsStore::onboardingVersionKey()), qint64(2));
        QVERIFY(store.contains(SettingsStore::legacyOnboardingKey()));

        // The new keys win from now on, whatever the legacy value says.
        store.set(StoredValue(qint64(3)), SettingsStore::onboardingVersionKey());
        store.set(
            StoredValue(QByteArray(
                R"({"hasCompletedOnboarding":false,"hasSkippedOnboarding":true,"lastOnboardingVersion":1})")),
            SettingsStore::legacyOnboardingKey());
        const int writes = store.writeCount();
        SettingsStore next(store);
        QCOMPARE(next.hasCompletedOnboarding(), true);
        QCOMPARE(next.hasSkippedOnboarding(), false);
        QCOMPARE(next.onboardingVersion(), 3);
        QCOMPARE(store.writeCount(), writes);
    }

    void anUnreadableLegacyStateChangesNothing_data() {
        QTest::addColumn<StoredValue>("legacy");
        QTest::newRow("not JSON") << StoredValue(QByteArray("{hasCompletedOnboarding: yes"));
        QTest::newRow("missing key") << StoredValue(
            QByteArray(R"({"hasCompletedOnboarding":true,"hasSkippedOnboarding":false})"));
        QTest::newRow("wrong value kind") << StoredValue(QByteArray(
            R"({"hasCompletedOnboarding":"yes","hasSkippedOnboarding":false,"lastOnboardingVersion":3})"));
        QTest::newRow("text, not data") << StoredValue(
            u"{\"hasCompletedOnboarding\":true,\"hasSkippedOnboarding\":false,\"lastOnboardingVersion\":3}"_qs);
    }

    void anUnreadableLegacyStateChangesNothing() {
        QFETCH(StoredValue, legacy);
        InMemoryKeyValueStore store;
        store.set(legacy, SettingsStore::legacyOnboardingKey());
        const int writes = store.writeCount();
        SettingsStore settings(store);
        QCOMPARE(settings.hasCompletedOnboarding(), false);
        QCOMPARE(settings.hasSkippedOnboarding(), false);
        QCOMPARE(settings.onboardingVersion(), 0);
        QCOMPARE(store.writeCount(), writes);
    }

    void aNewKeyOfAnyKindStopsTheMigration() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(u"yes"_qs), SettingsStore::hasCompletedOnboardingKey());
        store.set(
            StoredValue(QByteArray(
                R"({"hasCompletedOnboarding":true,"hasSkippedOnboarding":true,"lastOnboardingVersion":3})")),
            SettingsStore::legacyOnboardingKey());
        SettingsStore settings(store);
        QCOMPARE(settings.hasCompletedOnboarding(), false);
        QCOMPARE(settings.hasSkippedOnboarding(), false);
        QCOMPARE(settings.onboardingVersion(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
