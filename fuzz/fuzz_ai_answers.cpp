// A model's answer on arbitrary bytes: the servers' responses (the Messages API, the local model
// server's chat and model list), the structured answers read from them, and the proposals built
// from those. Reading never crashes; what reads, written out again, reads the same; a text taken
// from a response is trimmed and never empty. Every item of a proposal changes the record it was
// built against, and the record with every item applied survives the store file unchanged.
#include "AI/AIRecordCoding.h"
#include "AI/ProposalBuilder.h"
#include "AI/ProviderResponses.h"
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Store/StoreFile.h"

#include <QTimeZone>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

using namespace pemmo;
using nlohmann::json;

namespace {

[[noreturn]] void fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "%s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

const QDateTime& now() {
    static const QDateTime instant(QDate(2026, 3, 1), QTime(9, 0), QTimeZone::utc());
    return instant;
}

json text(const std::optional<QString>& value) {
    return value ? json(value->toStdString()) : json();
}

json texts(const QStringList& values) {
    json list = json::array();
    for (const QString& value : values)
        list.push_back(value.toStdString());
    return list;
}

QByteArray dump(const json& value) {
    return QByteArray::fromStdString(value.dump());
}

QByteArray encode(const Briefing& b) {
    return dump({{"summary", b.summary.toStdString()}, {"opener", b.opener.toStdString()}});
}

QByteArray encode(const ExtractedProfile& p) {
    json links = json::array();
    for (const ExtractedLink& link : p.links)
        links.push_back({{"kind", link.kind.toStdString()}, {"url", link.url.toStdString()}});
    return dump({{"givenName", text(p.givenName)},
                 {"familyName", text(p.familyName)},
                 {"jobTitle", text(p.jobTitle)},
                 {"company", text(p.company)},
                 {"team", text(p.team)},
                 {"school", text(p.school)},
                 {"major", text(p.major)},
                 {"graduationYear", text(p.graduationYear)},
                 {"currentCity", text(p.currentCity)},
                 {"hometown", text(p.hometown)},
                 {"email", text(p.email)},
                 {"phone", text(p.phone)},
                 {"links", links},
                 {"tags", texts(p.tags)},
                 {"summary", text(p.summary)}});
}

QByteArray encode(const CaptureResult& c) {
    json updates = json::array();
    for (const FieldUpdate& update : c.fieldUpdates)
        updates.push_back({{"field", update.field.toStdString()}, {"value", update.value.toStdString()}});
    return dump({{"personName", text(c.personName)},
                 {"fieldUpdates", updates},
                 {"interactionKind", text(c.interactionKind)},
                 {"interactionText", text(c.interactionText)},
                 {"interactionDate", text(c.interactionDate)},
                 {"tags", texts(c.tags)},
                 {"aboutAppend", text(c.aboutAppend)}});
}

QByteArray encode(const QList<RankedCandidate>& ranking) {
    json items = json::array();
    for (const RankedCandidate& item : ranking)
        items.push_back({{"id", item.id.toStdString()}, {"reason", item.reason.toStdString()}});
    return dump({{"items", items}});
}

// Reads `bytes` both ways; what the strict reading takes the lenient one takes the same way, and
// each value written out reads back the same.
template <class T, class Decode> std::optional<T> read(const QByteArray& bytes, Decode decode) {
    const std::optional<T> strict = decode(bytes, AIRecordCoding::Lists::Required);
    const std::optional<T> lenient = decode(bytes, AIRecordCoding::Lists::MayBeAbsent);
    if (strict && strict != lenient)
        fail("The lenient reading differs from the strict one", QString::fromUtf8(bytes));
    for (const std::optional<T>& value : {strict, lenient}) {
        if (!value)
            continue;
        const QByteArray written = encode(*value);
        if (decode(written, AIRecordCoding::Lists::Required) != value)
            fail("An answer written out reads back differently", QString::fromUtf8(written));
    }
    return lenient;
}

// The answer text a response gives, checked; absent when it gives the user a failure instead.
template <class Read> std::optional<QString> answerText(Read read) {
    try {
        const QString text = read();
        if (text.isEmpty() || text != Text::trimmed(text))
            fail("An answer text that is empty or not trimmed", text);
        return text;
    } catch (const PemmoError& error) {
        if (error.message().isEmpty())
            fail("A failure without a message");
        return std::nullopt;
    }
}

// The answer texts the responses give, for reading as structured answers in their turn.
QList<QByteArray> readResponses(const QByteArray& bytes) {
    QList<QByteArray> answers;
    for (const int status : {200, 404, 429, 500}) {
        const auto messages = answerText([&] { return ProviderResponses::messagesText(status, bytes); });
        const auto chat = answerText([&] {
            return ProviderResponses::chatText(status, bytes, QStringLiteral("http://127.0.0.1:11434"),
                                               QStringLiteral("missing"));
        });
        if (status != 200 && (messages || chat))
            fail("A failed request gave an answer");
        for (const std::optional<QString>& answer : {messages, chat}) {
            if (answer && !answers.contains(answer->toUtf8()))
                answers.append(answer->toUtf8());
        }
        // The text, put back into a well-formed response, is read as it is.
        if (messages) {
            const json body = {{"content", {{{"type", "text"}, {"text", messages->toStdString()}}}},
                               {"stop_reason", "end_turn"}};
            if (ProviderResponses::messagesText(200, dump(body)) != *messages)
                fail("A Messages answer does not read back", *messages);
        }
        if (chat) {
            const json body = {{"message", {{"role", "assistant"}, {"content", chat->toStdString()}}},
                               {"done", true}};
            if (ProviderResponses::chatText(200, dump(body), {}, {}) != *chat)
                fail("A chat answer does not read back", *chat);
        }
    }
    if (const auto models = ProviderResponses::installedModels(200, bytes)) {
        for (qsizetype i = 0; i < models->size(); ++i) {
            const QString& name = models->at(i);
            if (name.isEmpty() || name != Text::trimmed(name) || models->indexOf(name) != i)
                fail("A model name that is empty, not trimmed or listed twice", name);
            if (i > 0 && QString::compare(models->at(i - 1), name, Qt::CaseInsensitive) > 0)
                fail("Model names out of order", name);
        }
    }
    return answers;
}

PemmoRecord populated() {
    PemmoRecord record = PemmoRecord::fresh(now());
    record.details.company = QStringLiteral("Acme");
    record.details.email = QStringLiteral("ada@example.org");
    record.tags = {QStringLiteral("friends")};
    record.about = QStringLiteral("Met at the conference.");
    QuickLink linkedIn;
    linkedIn.id = QUuid::fromString(u"{00000000-0000-4000-8000-000000000001}");
    linkedIn.kind = QuickLink::Kind::LinkedIn;
    linkedIn.title = QStringLiteral("LinkedIn");
    linkedIn.url = QStringLiteral("https://www.linkedin.com/in/ada");
    record.links.append(linkedIn);
    for (int i = 0; i < 4; ++i) {
        QuickLink custom;
        custom.id = QUuid::fromString(u"{00000000-0000-4000-8000-00000000001"_qs + QString::number(i) + u'}');
        custom.title = QStringLiteral("Site");
        custom.url = QStringLiteral("https://example.org/") + QString::number(i);
        record.links.append(custom);
    }
    return record;
}

// Each item, applied to the record it was built against, changes it; the record with all of them
// survives the store file.
void apply(const Proposal& proposal, PemmoRecord record) {
    if (proposal.selected.size() != proposal.items.size())
        fail("A proposal does not start with every item checked");
    QSet<QString> ids;
    for (const ProposalItem& item : proposal.items) {
        const QString id = item.id();
        if (ids.contains(id) || !proposal.selected.contains(id))
            fail("A proposal item listed twice or left unchecked", id);
        ids.insert(id);
        (void)item.title();
        bool changed = false;
        try {
            if (const auto* set = item.as<ProposalItem::SetField>()) {
                if (Text::isBlank(set->newValue) || set->oldValue != WritableFields::slot(record, set->field))
                    fail("A field item with a blank value or the wrong old value", set->newValue);
                changed = RecordEdits::setField(record, set->field, set->newValue,
                                                Interaction::Source::ai(QStringLiteral("model")), now());
            } else if (const auto* tag = item.as<ProposalItem::AddTag>()) {
                changed = RecordEdits::addTag(record, tag->name);
            } else if (const auto* link = item.as<ProposalItem::AddLink>()) {
                changed = RecordEdits::addLink(record, link->link);
            } else if (const auto* entry = item.as<ProposalItem::AddInteraction>()) {
                if (!entry->interaction.date.isValid())
                    fail("A timeline entry without a date", entry->interaction.text);
                changed = RecordEdits::addInteraction(record, entry->interaction);
            } else if (const auto* about = item.as<ProposalItem::AppendAbout>()) {
                changed = RecordEdits::appendAbout(record, about->text);
            }
        } catch (const PemmoError& error) {
            // Every link found is offered; one beyond the five custom links a record holds is the
            // one item that may not apply (the review says so, and the user unchecks it).
            const auto* link = item.as<ProposalItem::AddLink>();
            if (error.errorCase() == PemmoError::Case::CustomLinkLimitReached && link &&
                link->link.kind == QuickLink::Kind::Custom)
                continue;
            fail("A proposal item cannot be applied", id + u": "_qs + error.message());
        }
        if (!changed)
            fail("A proposal item changes nothing", id);
    }
    const RecordMap records{{QStringLiteral("person"), record}};
    const std::string written = StoreFile::encode(records);
    if (StoreFile::decode(QByteArrayView(written.data(), static_cast<qsizetype>(written.size())), now()) !=
        records)
        fail("A record with a proposal applied does not survive the store file");
}

// The structured answers `bytes` may hold, and the proposals built from them.
void readAnswer(const QByteArray& bytes) {
    if (const auto briefing = AIRecordCoding::decodeBriefing(bytes);
        briefing && AIRecordCoding::decodeBriefing(encode(*briefing)) != briefing)
        fail("A briefing written out reads back differently");
    (void)read<QList<RankedCandidate>>(bytes, AIRecordCoding::decodeRanking);

    const PemmoRecord record = populated();
    const QString model = QStringLiteral("model");
    if (const auto capture = read<CaptureResult>(bytes, AIRecordCoding::decodeCaptureResult)) {
        const Proposal blank =
            ProposalBuilder::fromCapture(*capture, std::nullopt, std::nullopt, model, false, now());
        apply(blank, PemmoRecord::fresh(now()));
        const Proposal forRecord =
            ProposalBuilder::fromCapture(*capture, record, QStringLiteral("person"), model, true, now());
        apply(forRecord, record);
        // Picking the person afterwards checks the items against the same record again.
        const Proposal picked = ProposalBuilder::forPerson(blank, QStringLiteral("person"), record);
        apply(picked, record);
    }
    if (const auto extracted = read<ExtractedProfile>(bytes, AIRecordCoding::decodeExtractedProfile)) {
        apply(ProposalBuilder::fromExtract(*extracted, record, QStringLiteral("person"), model, false),
              record);
        apply(ProposalBuilder::fromExtract(*extracted, PemmoRecord::fresh(now()), QStringLiteral("person"),
                                           model, false),
              PemmoRecord::fresh(now()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    readAnswer(bytes);
    for (const QByteArray& answer : readResponses(bytes))
        readAnswer(answer);
    return 0;
}
