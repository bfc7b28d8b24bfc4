// Preferences: defaults for a new user, values of the wrong kind, writes on every assignment, the
// onboarding state carried over from the earlier release, and an in-memory store that is safe to
// write from many threads.
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"

#include <QSignalSpy>
#include <QTest>
#include <thread>
#include <vector>

using namespace pemmo;

using PanelWidth = SettingsStore::PanelWidth;

namespace {

// A value built where the store takes it, not moved there: g++ 12 takes a moved variant that holds
// a number for one whose list may be uninitialised.
template <class T> std::optional<StoredValue> builtInPlace(T value) {
    return std::optional<StoredValue>(std::in_place, value);
}

// The onboarding state as the earlier release stored it; `completed` is written as it stands.
QByteArray legacyState(const QString& completed, bool skipped, int version) {
    return u"{\"hasCompletedOnboarding\":%1,\"hasSkippedOnboarding\":%2,\"lastOnboardingVersion\":%3}"_qs
        .arg(completed, skipped ? u"true"_qs : u"false"_qs)
        .arg(version)
        .toUtf8();
}

QString onboardingOf(const SettingsStore& settings) {
    return u"%1 skipped=%2 version=%3"_qs
        .arg(settings.hasCompletedOnboarding() ? u"completed"_qs : u"not completed"_qs)
        .arg(int(settings.hasSkippedOnboarding()))
        .arg(settings.onboardingVersion());
}

} // namespace

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

    // A model name is set without the spaces around it; a blank one is the default model at once,
    // not only after the next start.
    void aModelNameIsSetTrimmedAndABlankOneMeansTheDefault_data() {
        QTest::addColumn<bool>("fast");
        QTest::newRow("fast") << true;
        QTest::newRow("reasoning") << false;
    }
    void aModelNameIsSetTrimmedAndABlankOneMeansTheDefault() {
        QFETCH(bool, fast);
        InMemoryKeyValueStore store;
        SettingsStore settings(store);
        const QString key =
            fast ? SettingsStore::claudeFastModelKey() : SettingsStore::claudeReasoningModelKey();
        const auto model = [&] {
            return fast ? settings.claudeFastModel() : settings.claudeReasoningModel();
        };
        const auto set = [&](const QString& name) {
            fast ? settings.setClaudeFastModel(name) : settings.setClaudeReasoningModel(name);
        };
        const QString fallback = model();
        set(u" claude-x "_qs);
        QCOMPARE(model(), u"claude-x"_qs);
        QCOMPARE(store.text(key), std::optional<QString>(u"claude-x"_qs));
        set(u"   "_qs);
        QCOMPARE(model(), fallback);
        QVERIFY(!store.contains(key));
        set(u"claude-x"_qs);
        set(QString());
        QCOMPARE(model(), fallback);
        QVERIFY(!store.contains(key));
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
        store.set(StoredValue(legacyState(u"true"_qs, false, 2)), SettingsStore::legacyOnboardingKey());
        QCOMPARE(onboardingOf(SettingsStore(store)), u"completed skipped=0 version=2"_qs);
        QCOMPARE(store.boolean(SettingsStore::hasCompletedOnboardingKey()), true);
        QCOMPARE(store.boolean(SettingsStore::hasSkippedOnboardingKey()), false);
        QCOMPARE(store.integer(SettingsStore::onboardingVersionKey()), qint64(2));
        QVERIFY(store.contains(SettingsStore::legacyOnboardingKey()));

        // The new keys win from now on, whatever the legacy value says.
        store.set(StoredValue(qint64(3)), SettingsStore::onboardingVersionKey());
        store.set(StoredValue(legacyState(u"false"_qs, true, 1)), SettingsStore::legacyOnboardingKey());
        const int writes = store.writeCount();
        QCOMPARE(onboardingOf(SettingsStore(store)), u"completed skipped=0 version=3"_qs);
        QCOMPARE(store.writeCount(), writes);
    }

    // Nothing is carried over from a legacy state that cannot be read, nor once a new key exists.
    void anUnreadableOrOutdatedLegacyStateChangesNothing_data() {
        QTest::addColumn<StoredValue>("legacy");
        QTest::addColumn<bool>("newKeyFirst"); // a new key of another kind is already there
        QTest::newRow("not JSON") << StoredValue(QByteArray("{hasCompletedOnboarding: yes")) << false;
        QTest::newRow("missing key")
            << StoredValue(QByteArray(R"({"hasCompletedOnboarding":true,"hasSkippedOnboarding":false})"))
            << false;
        QTest::newRow("wrong value kind") << StoredValue(legacyState(u"\"yes\""_qs, false, 3)) << false;
        QTest::newRow("text, not data")
            << StoredValue(QString::fromUtf8(legacyState(u"true"_qs, false, 3))) << false;
        QTest::newRow("a new key of any kind stops the migration")
            << StoredValue(legacyState(u"true"_qs, true, 3)) << true;
    }

    void anUnreadableOrOutdatedLegacyStateChangesNothing() {
        QFETCH(StoredValue, legacy);
        QFETCH(bool, newKeyFirst);
        InMemoryKeyValueStore store;
        if (newKeyFirst)
            store.set(StoredValue(u"yes"_qs), SettingsStore::hasCompletedOnboardingKey());
        store.set(legacy, SettingsStore::legacyOnboardingKey());
        const int writes = store.writeCount();
        QCOMPARE(onboardingOf(SettingsStore(store)), u"not completed skipped=0 version=0"_qs);
        QCOMPARE(store.writeCount(), writes);
    }

    void concurrentWritersLoseNothing() {
        InMemoryKeyValueStore store;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&store, t] {
                for (int i = 0; i < 200; ++i)
                    store.set(builtInPlace(qint64(i)), u"t%1.%2"_qs.arg(t).arg(i));
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(store.keys().size(), 800);
        QCOMPARE(store.writeCount(), 800);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
