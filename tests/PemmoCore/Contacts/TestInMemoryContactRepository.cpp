#include "Contacts/InMemoryContactRepository.h"
#include "Records/PemmoError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/People.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(pemmo::ContactsAuthorization)
Q_DECLARE_METATYPE(pemmo::PemmoError)

namespace pemmo {
using pemmo::test::person;

class TestInMemoryContactRepository : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fetchReturnsThePeopleInStoredOrder() {
        InMemoryContactRepository book({person("2", "Zoe"), person("1", "Adam")});
        const QList<Person> people = test::await(book.fetchPeople());
        QCOMPARE(people.size(), 2);
        QCOMPARE(people[0].id, QStringLiteral("2"));
        QCOMPARE(people[1].id, QStringLiteral("1"));
        QCOMPARE(book.fetchCount(), 1);
    }

    void refusedFetchFailsAfterTheDelayAndStillCounts_data() {
        QTest::addColumn<ContactsAuthorization>("status");
        QTest::addColumn<PemmoError>("expected");
        QTest::newRow("denied") << ContactsAuthorization::Denied << PemmoError::contactsDenied();
        QTest::newRow("restricted") << ContactsAuthorization::Restricted << PemmoError::contactsRestricted();
    }

    void refusedFetchFailsAfterTheDelayAndStillCounts() {
        QFETCH(ContactsAuthorization, status);
        QFETCH(PemmoError, expected);
        InMemoryContactRepository book({person("1", "Ada")}, status, 40ms);
        QElapsedTimer clock;
        clock.start();
        const auto error = test::awaitErrorOf<PemmoError>(book.fetchPeople());
        QVERIFY(clock.elapsed() >= 35);
        QVERIFY(error.has_value());
        QCOMPARE(*error, expected);
        QCOMPARE(book.fetchCount(), 1);
    }

    void fetchReadsTheBookAfterItsDelay() {
        // The lock is free during the delay: the book can change meanwhile (on this very thread,
        // where a held lock would deadlock), and the fetch returns what the book holds at its end.
        InMemoryContactRepository book({person("1", "Ada")}, ContactsAuthorization::Authorized, 30ms);
        auto fetch = book.fetchPeople();
        book.setPeople({person("1", "Ada"), person("2", "Grace")});
        QCOMPARE(test::await(std::move(fetch)).size(), 2);
    }

    void bookClosedDuringTheDelayFailsTheFetch() {
        auto book = std::make_unique<InMemoryContactRepository>(QList<Person>{person("1", "Ada")},
                                                                ContactsAuthorization::Authorized, 20ms);
        auto fetch = book->fetchPeople();
        book.reset();
        QVERIFY(test::awaitError(std::move(fetch)) != nullptr);
    }

    void requestAccess_data() {
        QTest::addColumn<ContactsAuthorization>("status");
        QTest::addColumn<ContactsAuthorization>("expected");
        QTest::newRow("not determined becomes authorized")
            << ContactsAuthorization::NotDetermined << ContactsAuthorization::Authorized;
        QTest::newRow("authorized") << ContactsAuthorization::Authorized << ContactsAuthorization::Authorized;
        QTest::newRow("limited") << ContactsAuthorization::Limited << ContactsAuthorization::Limited;
        QTest::newRow("denied stays") << ContactsAuthorization::Denied << ContactsAuthorization::Denied;
        QTest::newRow("restricted stays")
            << ContactsAuthorization::Restricted << ContactsAuthorization::Restricted;
    }

    void requestAccess() {
        QFETCH(ContactsAuthorization, status);
        QFETCH(ContactsAuthorization, expected);
        InMemoryContactRepository book({}, status);
        QCOMPARE(test::await(book.requestAccess()), expected);
        QCOMPARE(book.authorizationStatus(), expected);
    }

    void createAppendsAPersonFromTheDraft() {
        InMemoryContactRepository book({person("1", "Ada")});
        ContactDraft draft;
        draft.givenName = QStringLiteral(" Grace ");
        draft.familyName = QStringLiteral("Hopper");
        draft.organization = QString();
        draft.jobTitle = QStringLiteral(" Admiral\n");
        draft.email = QStringLiteral("grace@example.com ");
        draft.phone = QStringLiteral("555-0100");
        draft.birthday = DateComponents{1906, 12, 9};

        const QString id = test::await(book.create(draft));
        static const QRegularExpression shape(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}:ABPerson$"));
        QVERIFY2(shape.match(id).hasMatch(), qPrintable(id));

        const QList<Person> people = book.people();
        QCOMPARE(people.size(), 2);
        const Person& created = people.last();
        QCOMPARE(created.id, id);
        QCOMPARE(created.givenName, QStringLiteral("Grace"));
        QCOMPARE(created.familyName, QStringLiteral("Hopper"));
        QCOMPARE(created.organization, std::nullopt);
        QCOMPARE(created.jobTitle, std::optional<QString>(QStringLiteral("Admiral")));
        QCOMPARE(created.emails,
                 (QList<LabeledValue>{{QStringLiteral("work"), QStringLiteral("grace@example.com")}}));
        QCOMPARE(created.phones,
                 (QList<LabeledValue>{{QStringLiteral("mobile"), QStringLiteral("555-0100")}}));
        QCOMPARE(created.birthday, std::optional<DateComponents>(DateComponents{1906, 12, 9}));
        QCOMPARE(created.thumbnail, std::nullopt);
        QVERIFY(!created.hasFullImage);
    }

    void twoCreatesGetDifferentIDs() {
        InMemoryContactRepository book;
        QVERIFY(test::await(book.create({})) != test::await(book.create({})));
    }

    void updateAppliesTheDraftRules() {
        Person ada = person("1", "Ada", "Lovelace");
        ada.emails = {{QStringLiteral("home"), QStringLiteral("ada@home.example")},
                      {QStringLiteral("work"), QStringLiteral("ada@work.example")}};
        ada.birthday = DateComponents{1815, 12, 10};
        InMemoryContactRepository book({ada, person("2", "Grace")});

        ContactDraft draft;
        draft.givenName = QStringLiteral("Augusta Ada");
        draft.familyName = QStringLiteral("King");
        draft.email = QStringLiteral("countess@example.com");
        draft.birthday = DateComponents{1815, 12, 10};
        draft.clearBirthday = true;
        test::await(book.update(QStringLiteral("1"), draft));

        const Person updated = book.people().first();
        QCOMPARE(updated.displayName(), QStringLiteral("Augusta Ada King"));
        QCOMPARE(updated.emails.size(), 2);
        QCOMPARE(updated.emails[0].value, QStringLiteral("countess@example.com"));
        QCOMPARE(updated.emails[0].label, QStringLiteral("home"));
        QCOMPARE(updated.emails[1].value, QStringLiteral("ada@work.example"));
        QCOMPARE(updated.birthday, std::nullopt);
        QCOMPARE(book.people()[1], person("2", "Grace"));
    }

    void unknownIDsAreNotFound() {
        InMemoryContactRepository book({person("1", "Ada")});
        const auto updateError = test::awaitErrorOf<PemmoError>(book.update(QStringLiteral("9"), {}));
        QVERIFY(updateError.has_value());
        QCOMPARE(*updateError, PemmoError::notFound(QStringLiteral("9")));
        const auto deleteError = test::awaitErrorOf<PemmoError>(book.deleteContact(QStringLiteral("9")));
        QVERIFY(deleteError.has_value());
        QCOMPARE(*deleteError, PemmoError::notFound(QStringLiteral("9")));
        QCOMPARE(book.people().size(), 1);
    }

    void deleteRemovesOnlyThatPerson() {
        InMemoryContactRepository book({person("1", "Ada"), person("2", "Grace"), person("3", "Hedy")});
        test::await(book.deleteContact(QStringLiteral("2")));
        const QList<Person> people = book.people();
        QCOMPARE(people.size(), 2);
        QCOMPARE(people[0].id, QStringLiteral("1"));
        QCOMPARE(people[1].id, QStringLiteral("3"));
    }

    void fullImageComesFromTheImages() {
        InMemoryContactRepository book({person("1", "Ada")}, ContactsAuthorization::Authorized, std::nullopt,
                                       {{QStringLiteral("1"), QByteArray("jpeg bytes")}});
        QCOMPARE(test::await(book.fullImage(QStringLiteral("1"))), std::optional<QByteArray>("jpeg bytes"));
        QCOMPARE(test::await(book.fullImage(QStringLiteral("2"))), std::nullopt);
    }

    void changeSignalsOnRequestOnly() {
        InMemoryContactRepository book;
        QSignalSpy spy(&book, &ContactRepository::changes);
        test::await(book.create({}));
        book.setPeople({});
        QCOMPARE(spy.count(), 0);
        book.emitChange();
        QCOMPARE(spy.count(), 1);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestInMemoryContactRepository)
#include "TestInMemoryContactRepository.moc"
