// An ordered list of contact ids kept in the preferences under one key: what the starred and the
// recent lists share. GUI thread only; every change is written at once.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace pemmo {

class KeyValueStore;

class IDListStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList ids READ ids NOTIFY idsChanged)

public:
    const QStringList& ids() const { return m_ids; }

    // Keeps only the ids in `keeping`, in their order; writes only when that changed anything.
    void prune(const QSet<QString>& keeping);

Q_SIGNALS:
    void idsChanged();

protected:
    // Reads the list stored under `key`; anything but a list of text reads as empty. The store is
    // not owned and must outlive this object.
    IDListStore(KeyValueStore& store, QString key, QObject* parent);

    KeyValueStore& store() const { return m_store; }

    // Writes `ids` and publishes them when they differ from the current list.
    void setIDs(QStringList ids);
    // How prune replaces the list: a subclass that keeps something per id beside the list
    // overrides it to keep that in step.
    virtual void replaceIDs(QStringList ids);

private:
    KeyValueStore& m_store;
    const QString m_key;
    QStringList m_ids;
};

} // namespace pemmo
