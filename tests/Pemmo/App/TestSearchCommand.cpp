// `pemmo search` in-process over a data folder of its own: the panel's sections as JSON lines.
#include "App/DataFolder.h"
#include "App/SearchCommand.h"
#include "Records/PemmoRecord.h"
#include "Semantic/GloveEmbedder.h"
#include "Semantic/WordTableBuilder.h"
#include "Store/StoreFile.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cstdio>

namespace pemmo {
namespace {

QByteArray card(const QString& uid, const QString& given, const QString& family) {
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nN:%3;%2;;;\r\nFN:%2 %3\r\nEND:VCARD\r\n")
        .arg(uid, given, family)
        .toUtf8();
}

struct Output {
    int status = 0;
    QString out;
    QString err;
};

QString readAll(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

} // namespace

class TestSearchCommand : public QObject {
    Q_OBJECT
    test::TempDir m_home;

    Output search(const QStringList& arguments) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = SearchCommand::run(arguments, out, err);
        return {status, readAll(out), readAll(err)};
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_CACHE_HOME", m_home.filePath(QStringLiteral("cache")).toUtf8());
        QDir().mkpath(m_home.filePath(QStringLiteral("Pemmo/Contacts")));
        m_home.write(QStringLiteral("Pemmo/Contacts/a.vcf"), card("a", QStringLiteral("𝒜nna"), "Lee"));
        m_home.write(QStringLiteral("Pemmo/Contacts/b.vcf"), card("b", "Anna", "Maria"));
        m_home.write(QStringLiteral("Pemmo/Contacts/c.vcf"), card("c", "Bob", "Stone"));
        RecordMap records;
        PemmoRecord climber = PemmoRecord::fresh(QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC));
        climber.tags = {QStringLiteral("climbing")};
        records.insert(QStringLiteral("c"), climber);
        PemmoRecord cellist = PemmoRecord::fresh(QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC));
        Interaction concert;
        concert.id = QUuid::createUuid();
        concert.date = cellist.updatedAt;
        concert.text = QStringLiteral("Plays cello in an orchestra");
        cellist.interactions = {concert};
        records.insert(QStringLiteral("b"), cellist);
        const std::string bytes = StoreFile::encode(records);
        m_home.write(QStringLiteral("Pemmo/pemmo-store.json"), QByteArray::fromStdString(bytes));

        // A miniature word table where the application looks for one first.
        QFile package(qEnvironmentVariable("PEMMO_TEST_DATA") +
                      QStringLiteral("/semantic/tiny-vectors.json"));
        QVERIFY(package.open(QIODevice::ReadOnly));
        WordTableBuilder::Options options;
        options.name = QStringLiteral("tiny");
        QDir().mkpath(m_home.filePath(QStringLiteral("pemmo")));
        WordTable::write(WordTableBuilder::fromPackageJson(package.readAll(), options),
                         m_home.filePath(QStringLiteral("pemmo/") + GloveEmbedder::tableFileName()));
    }

    void meaningFindsWhatWordsMiss() {
        const QString index = m_home.filePath(QStringLiteral("Pemmo/embeddings.json"));
        {
            // While the application holds the data folder, the command embeds in memory only.
            const auto running = lockDataFolder(m_home.filePath(QStringLiteral("Pemmo")));
            QVERIFY(running);
            const Output result = search({"--json", "people who like violin"});
            QCOMPARE(result.status, 0);
            QVERIFY2(result.out.contains(QStringLiteral("\"alsoMatches\"")), qPrintable(result.out));
            QVERIFY(!QFile::exists(index));
        }
        const Output result = search({"--json", "violin"});
        QCOMPARE(result.status, 0);
        const QJsonArray sections =
            QJsonDocument::fromJson(result.out.trimmed().toUtf8()).object().value("sections").toArray();
        QCOMPARE(sections.size(), 1);
        QCOMPARE(sections[0].toObject().value("section").toString(), QStringLiteral("alsoMatches"));
        const QJsonArray rows = sections[0].toObject().value("rows").toArray();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].toObject().value("id").toString(), QStringLiteral("b"));
        QCOMPARE(rows[0].toObject().value("tier").toString(), QStringLiteral("semantic"));
        QVERIFY(rows[0].toObject().value("score").toDouble() >= 0.45);
        // Owning the folder, it kept what it embedded for next time.
        QVERIFY(QFile::exists(index));
    }

    void jsonLinePerQuery() {
        const Output result = search({"--json", "anna", "#climbing", "zzz"});
        QCOMPARE(result.status, 0);
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);

        const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(first.value("query").toString(), QStringLiteral("anna"));
        const QJsonArray sections = first.value("sections").toArray();
        QCOMPARE(sections.size(), 1);
        QCOMPARE(sections[0].toObject().value("section").toString(), QStringLiteral("results"));
        const QJsonArray rows = sections[0].toObject().value("rows").toArray();
        QCOMPARE(rows.size(), 2);
        const QJsonObject top = rows[0].toObject();
        QCOMPARE(top.value("id").toString(), QStringLiteral("a")); // 𝒜nna Lee before Anna Maria
        QCOMPARE(top.value("profileID").toString(), QStringLiteral("a"));
        QCOMPARE(top.value("title").toString(), QStringLiteral("𝒜nna Lee"));
        QCOMPARE(top.value("score").toDouble(), 1.0);
        QCOMPARE(top.value("tier").toString(), QStringLiteral("lexical"));
        QVERIFY(top.value("reason").isNull());
        // The script capital is one code point (two UTF-16 units): the range counts four.
        QCOMPARE(top.value("nameRanges").toArray(), (QJsonArray{QJsonArray{0, 4}}));

        const QJsonObject circle = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        const QJsonArray circleSections = circle.value("sections").toArray();
        QCOMPARE(
            circleSections.last().toObject().value("rows").toArray()[0].toObject().value("id").toString(),
            QStringLiteral("c"));

        const QJsonObject none = QJsonDocument::fromJson(lines[2].toUtf8()).object();
        QVERIFY(none.value("sections").toArray().isEmpty());
    }

    void limitReplacesTheResultsLimit() {
        const Output result = search({"--json", "--limit", "1", "anna"});
        QCOMPARE(result.status, 0);
        const QJsonObject line = QJsonDocument::fromJson(result.out.trimmed().toUtf8()).object();
        QCOMPARE(line.value("sections").toArray()[0].toObject().value("rows").toArray().size(), 1);
    }

    void plainTextShowsTheEmptyState() {
        const Output result = search({"zzz"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.contains(QStringLiteral("No matches for \u201Czzz\u201D")),
                 qPrintable(result.out));
    }

    void usageErrors() {
        QCOMPARE(search({}).status, 2);
        QCOMPARE(search({"--limit", "x", "anna"}).status, 2);
        QCOMPARE(search({"--bogus", "anna"}).status, 2);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestSearchCommand)
#include "TestSearchCommand.moc"
