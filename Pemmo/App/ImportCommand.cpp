#include "App/ImportCommand.h"

#include "Records/PemmoError.h"
#include "Store/PemmoStore.h"
#include "Support/AtomicFile.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace pemmo::ImportCommand {
namespace {

Outcome failure(const QString& message) {
    return {Console::failure, {}, u"pemmo: "_qs + message + u'\n', 0};
}

QString merged(int count) {
    return u"Merged "_qs + QString::number(count) + u" record"_qs + (count == 1 ? u""_qs : u"s"_qs) + u'.';
}

QString text(const QJsonObject& object, const QString& key) {
    return object.value(key).toString();
}

} // namespace

QByteArray command(const Request& request) {
    const QJsonObject object{
        {u"file"_qs, request.file}, {u"name"_qs, request.name}, {u"dataFolder"_qs, request.dataFolder}};
    return "import " + QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Request> parseRequest(QByteArrayView arguments) {
    const QJsonDocument document = QJsonDocument::fromJson(arguments.toByteArray());
    const QJsonObject object = document.object();
    Request request{text(object, u"file"_qs), text(object, u"name"_qs), text(object, u"dataFolder"_qs)};
    if (!document.isObject() || request.file.isEmpty() || request.dataFolder.isEmpty())
        return std::nullopt;
    if (request.name.isEmpty())
        request.name = request.file;
    return request;
}

QByteArray answer(const Outcome& outcome) {
    const QJsonObject object{{u"exitCode"_qs, outcome.exitCode},
                             {u"out"_qs, outcome.out},
                             {u"err"_qs, outcome.err},
                             {u"merged"_qs, outcome.merged}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Outcome> parseAnswer(QByteArrayView answer) {
    const QJsonDocument document = QJsonDocument::fromJson(answer.toByteArray());
    const QJsonObject object = document.object();
    if (!document.isObject() || !object.value(u"exitCode"_qs).isDouble())
        return std::nullopt;
    return Outcome{object.value(u"exitCode"_qs).toInt(), text(object, u"out"_qs), text(object, u"err"_qs),
                   object.value(u"merged"_qs).toInt()};
}

std::optional<Outcome> read(const QString& file, QByteArray& bytes) {
    try {
        bytes = AtomicFile::read(file);
    } catch (const FileError& error) {
        return failure(error.description());
    }
    return std::nullopt;
}

QCoro::Task<Outcome> merge(PemmoStore& store, QString name, QByteArray bytes, bool writeThrough) {
    int count = 0;
    try {
        auto importing = store.importData(std::move(bytes));
        count = co_await importing;
        if (count > 0 && writeThrough) {
            auto flushing = store.flush();
            co_await flushing;
        }
    } catch (const DecodingError& error) {
        // The decoder's sentence loses its own full stop inside the brackets.
        QString why = error.description();
        if (why.endsWith(u'.'))
            why.chop(1);
        co_return failure(name + u" is not a Pemmo export file, nothing was imported ("_qs +
                          error.codingPath() +
                          (error.codingPath().isEmpty() ? QString() : QStringLiteral(": ")) + why + u")."_qs);
    } catch (const PemmoError& error) {
        co_return failure(error.message());
    } catch (const std::exception& error) {
        co_return failure(u"could not save the imported records: "_qs + QString::fromUtf8(error.what()));
    }
    co_return Outcome{Console::success, merged(count) + u'\n', {}, count};
}

QCoro::Task<Outcome> run(PemmoStore& store, Request request, bool writeThrough) {
    QByteArray bytes;
    if (auto unreadable = read(request.file, bytes))
        co_return *unreadable;
    auto merging = merge(store, request.name, std::move(bytes), writeThrough);
    co_return co_await merging;
}

} // namespace pemmo::ImportCommand
