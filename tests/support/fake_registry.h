#pragma once

#include "registry.h"

#include <QHash>
#include <QList>
#include <QMap>

namespace ringlark::test {

// An in-memory registry with the buffer rule of the real one. Key and value names are
// case-insensitive. Records every open (with the access asked for) and every query, and
// counts the keys still open.
class FakeRegistry final : public Registry
{
public:
    struct Value
    {
        quint32 type;
        QByteArray data;
    };
    struct Opened
    {
        Root root;
        QByteArray key;
        quint32 access;
    };

    void addKey(Root root, const QByteArray &key) { keys[path(root, key)]; }
    void setValue(Root root, const QByteArray &key, const QByteArray &name, quint32 type,
                  const QByteArray &data)
    {
        keys[path(root, key)].insert(name.toUpper(), Value{type, data});
    }

    qint32 openKey(Root root, const QByteArray &key, quint32 access, Handle &handle) override
    {
        opens.append({root, key, access});
        handle = 0;
        const auto it = keys.constFind(path(root, key));
        if (it == keys.constEnd())
            return ErrorFileNotFound;
        handle = next++;
        open.insert(handle, it.key());
        return ErrorSuccess;
    }
    qint32 queryValue(Handle handle, const QByteArray &name, quint32 &type, char *data,
                      quint32 &size) override
    {
        queries.append(name);
        const auto it = open.constFind(handle);
        if (it == open.constEnd())
            return ErrorInvalidHandle;
        const QMap<QByteArray, Value> &values = keys[*it];
        const auto value = values.constFind(name.toUpper());
        if (value == values.constEnd())
            return ErrorFileNotFound;
        type = value->type;
        return deliver(value->data, data, size);
    }
    void closeKey(Handle handle) override { open.remove(handle); }

    QList<QByteArray> openedKeys() const
    {
        QList<QByteArray> out;
        for (const Opened &o : opens)
            out.append(o.key);
        return out;
    }
    int openCount() const { return static_cast<int>(open.size()); }

    QHash<QByteArray, QMap<QByteArray, Value>> keys; // "root\KEY" -> values by upper-case name
    QHash<Handle, QByteArray> open;
    QList<Opened> opens;
    QList<QByteArray> queries;
    Handle next = 1;

private:
    static QByteArray path(Root root, const QByteArray &key)
    {
        return QByteArray::number(static_cast<quint32>(root), 16) + '\\' + key.toUpper();
    }
};

} // namespace ringlark::test
