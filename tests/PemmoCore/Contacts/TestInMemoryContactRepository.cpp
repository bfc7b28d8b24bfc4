// The in-memory address book of the practice run: its fetch delay, refusals and access answers.
// (Its update and delete are exercised through the sync engine tests.)
#include "Contacts/InMemoryContactRepository.h"
#include "Records/PemmoError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/People.h"

#include <QElapsedTimer>
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

    // A new contact has no birthday to clear: the draft's birthday is the one it gets.
    void aCreatedContactKeepsTheDraftsBirthday() {
        InMemoryContactRepository book({}, ContactsAuthorization::Authorized);
        ContactDraft draft;
        draft.givenName = u"Ada"_qs;
        draft.birthday = DateComponents{1815, 12, 10};
        draft.clearBirthday = true;
        const QString id = test::await(book.create(draft));
        QVERIFY(id.endsWith(u":ABPerson"_qs));
        QCOMPARE(test::await(book.fetchPeople()).value(0)->birthday, draft.birthday);
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
        QTest::newRow("any other answer stays")
            << ContactsAuthorization::Denied << ContactsAuthorization::Denied;
    }

    void requestAccess() {
        QFETCH(ContactsAuthorization, status);
        QFETCH(ContactsAuthorization, expected);
        InMemoryContactRepository book({}, status);
        QCOMPARE(test::await(book.requestAccess()), expected);
        QCOMPARE(book.authorizationStatus(), expected);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestInMemoryContactRepository)
#include "TestInMemoryContactRepository.moc"
