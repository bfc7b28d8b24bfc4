// The writer never writes what the reader rejects. The fuzzer's bytes drive a stream of the edits
// the sync engine applies to records (RecordEdits, with any values at all: impossible birthdays,
// dates at the ends of time, text that is not UTF-8), with now and then a write of the store and
// the next start's read of it. Every state the edits leave must be written and read back as the
// current layout, equal in the store's form and in the export's; an edit that refuses its input
// must leave the record as it was.
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Store/StoreClassifier.h"
#include "Store/StoreFile.h"

#include <QDateTime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

using namespace pemmo;

namespace {

// Edits per input: enough for every edit to meet every other, few enough to keep inputs quick.
constexpr int kMaxEdits = 48;

// The instants the file can hold: 0000-01-01T00:00:00Z to 9999-12-31T23:59:59Z.
constexpr std::int64_t kFirstSecond = -62167219200;
constexpr std::int64_t kLastSecond = 253402300799;

const QDateTime kNow = QDateTime::fromSecsSinceEpoch(1772355600, Qt::UTC);

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

class Edits {
public:
    explicit Edits(FuzzedDataProvider& in)
        : m_in(in) {}

    // False once a date outside the file's years went in: written, it reads back as the nearest
    // one inside them, so the next read is compared with itself rather than with the records.
    bool exact = true;

    QString text() { return QString::fromUtf8(m_in.ConsumeRandomLengthString(24)); }

    std::optional<QString> optionalText() {
        if (m_in.ConsumeBool())
            return std::nullopt;
        return text();
    }

    QDateTime date() {
        if (m_in.ConsumeIntegralInRange(0, 15) == 0) {
            exact = false;
            return QDateTime::fromSecsSinceEpoch(std::int64_t(m_in.ConsumeIntegral<std::int32_t>()) * 4096,
                                                 Qt::UTC);
        }
        return QDateTime::fromSecsSinceEpoch(m_in.ConsumeIntegralInRange(kFirstSecond, kLastSecond), Qt::UTC);
    }

    Interaction::Source source() {
        switch (m_in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return Interaction::Source::user();
        case 1:
            return Interaction::Source::automatic();
        default:
            return Interaction::Source::ai(text());
        }
    }

    // An id from the record's list when there is one and the fuzzer wants it, else a fresh or null one.
    template <class T> QUuid idFrom(const QList<T>& list) {
        if (!list.isEmpty() && m_in.ConsumeBool())
            return list[m_in.ConsumeIntegralInRange<qsizetype>(0, list.size() - 1)].id;
        return m_in.ConsumeBool() ? QUuid() : QUuid::createUuid();
    }

    QuickLink link(const PemmoRecord& record) {
        return QuickLink{idFrom(record.links), QuickLink::Kind(m_in.ConsumeIntegralInRange(0, 3)), text(),
                         text()};
    }

    Interaction interaction(const PemmoRecord& record) {
        Interaction entry;
        entry.id = idFrom(record.interactions);
        entry.date = date();
        entry.kind = Interaction::Kind(m_in.ConsumeIntegralInRange(0, 5));
        entry.text = text();
        entry.calendarEventHash = optionalText();
        if (m_in.ConsumeBool())
            entry.calendarEventAliases = QStringList{text(), text()};
        entry.source = source();
        return entry;
    }

    // Any three integers: most are no day at all.
    DateComponents birthday() {
        DateComponents birthday;
        if (m_in.ConsumeBool())
            birthday.year = m_in.ConsumeIntegral<int>();
        birthday.month = m_in.ConsumeIntegralInRange(-1, 14);
        birthday.day = m_in.ConsumeIntegralInRange(-1, 33);
        return birthday;
    }

    void apply(PemmoRecord& record) {
        const QList<WritableField>& fields = WritableFields::all();
        switch (m_in.ConsumeIntegralInRange(0, 14)) {
        case 0:
            RecordEdits::setField(record,
                                  fields[m_in.ConsumeIntegralInRange<qsizetype>(0, fields.size() - 1)],
                                  optionalText(), source(), date());
            break;
        case 1:
            RecordEdits::addTag(record, text());
            break;
        case 2:
            RecordEdits::removeTag(record, record.tags.isEmpty() ? text() : record.tags.constFirst());
            break;
        case 3:
            RecordEdits::addLink(record, link(record));
            break;
        case 4:
            RecordEdits::updateLink(record, link(record));
            break;
        case 5:
            RecordEdits::removeLink(record, idFrom(record.links));
            break;
        case 6:
            RecordEdits::addInteraction(record, interaction(record));
            break;
        case 7:
            RecordEdits::updateInteraction(record, interaction(record));
            break;
        case 8:
            RecordEdits::removeInteraction(record, idFrom(record.interactions));
            break;
        case 9:
            RecordEdits::appendAbout(record, text());
            break;
        case 10:
            RecordEdits::setAbout(record, text());
            break;
        case 11:
            RecordEdits::setAICloudOptOut(record, m_in.ConsumeBool());
            break;
        case 12:
            RecordEdits::setBirthday(record, m_in.ConsumeBool() ? std::nullopt : std::optional(birthday()));
            break;
        case 13:
            RecordEdits::setBriefing(
                record, BriefingCache{text(), text(), text(), date(), text(), m_in.ConsumeBool(), text()});
            break;
        default:
            RecordEdits::setBriefing(record, std::nullopt);
            break;
        }
    }

private:
    FuzzedDataProvider& m_in;
};

RecordMap readBack(const std::string& written, const char* form) {
    const StoreClassifier::Result found = StoreClassifier::classify(QByteArray::fromStdString(written), kNow);
    if (found.kind != StoreClassifier::Kind::Current) {
        std::fprintf(stderr,
                     "The %s form of edited records does not read back as the current layout: %s\n%s\n", form,
                     qPrintable(found.problem), written.c_str());
        std::abort();
    }
    return found.records;
}

// The store's write and the next start's read, in both forms; returns what that start reads.
RecordMap writeAndRead(const RecordMap& records, bool exact) {
    const RecordMap read = readBack(StoreFile::encode(records), "store");
    if (exact && read != records)
        fail("Edited records read back different from what was written");
    if (readBack(StoreFile::encode(read), "store") != read)
        fail("Records read back change when they are written and read again");
    if (readBack(StoreFile::encodeForExport(read), "export") != read)
        fail("The export of edited records reads back different");
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Edits edits(in);
    RecordMap records;
    int stamp = 0;
    for (int edit = 0; edit < kMaxEdits && in.remaining_bytes() > 0; ++edit) {
        const QString id = QString::number(in.ConsumeIntegralInRange(0, 2));
        PemmoRecord record = *records.value(id, PemmoRecord::fresh(kNow));
        const PemmoRecord before = record;
        try {
            edits.apply(record);
        } catch (const PemmoError&) {
            if (record != before)
                fail("An edit that was refused changed the record");
            continue;
        }
        // As the store stamps what it is given.
        record.updatedAt = kNow.addSecs(++stamp);
        records.insert(id, record);
        if (in.ConsumeIntegralInRange(0, 5) == 0) {
            records = writeAndRead(records, edits.exact);
            edits.exact = true;
        }
    }
    writeAndRead(records, edits.exact);
    return 0;
}
