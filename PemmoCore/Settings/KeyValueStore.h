// Where preferences and the small lists live: a map from dotted keys to values that keep their
// kind, so that reading a key as the wrong kind can be told apart from reading it as absent.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace pemmo {

// One stored value. The order of the alternatives is part of no file format.
using StoredValue = std::variant<QByteArray, QStringList, QString, qint64, double, bool>;

class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;

    // The value under `key`, of whatever kind it was stored as; absent when there is none.
    virtual std::optional<StoredValue> object(const QString& key) const = 0;
    // Stores `value` under `key`; an absent value removes the key.
    virtual void set(std::optional<StoredValue> value, const QString& key) = 0;

    // Typed reads: absent when the key is missing or holds another kind.
    std::optional<QByteArray> data(const QString& key) const { return as<QByteArray>(key); }
    std::optional<QStringList> textList(const QString& key) const { return as<QStringList>(key); }
    std::optional<QString> text(const QString& key) const { return as<QString>(key); }
    std::optional<qint64> integer(const QString& key) const { return as<qint64>(key); }
    std::optional<double> number(const QString& key) const { return as<double>(key); }
    std::optional<bool> boolean(const QString& key) const { return as<bool>(key); }
    bool contains(const QString& key) const { return object(key).has_value(); }

private:
    template <class T> std::optional<T> as(const QString& key) const {
        const std::optional<StoredValue> value = object(key);
        if (!value)
            return std::nullopt;
        if (const T* typed = std::get_if<T>(&*value))
            return *typed;
        return std::nullopt;
    }
};

} // namespace pemmo
