#pragma once

#include "dialup_provider.h"

#include <QList>
#include <QStringList>

namespace ringlark::test {

// A provider whose answers the test sets and whose calls it records.
class FakeDialUpProvider final : public DialUpProvider
{
public:
    QStringList listEntries() override { return entries; }
    qint32 dial(quintptr parentWindow, const QString &entry, Handle &handle) override
    {
        dials.append({parentWindow, entry});
        handle = dialResult == 0 ? nextHandle : 0;
        return dialResult;
    }
    qint32 hangUp(Handle handle) override
    {
        hangUps.append(handle);
        return hangUpResult;
    }
    bool remoteConnected() override { return remote; }

    struct Dial
    {
        quintptr parentWindow;
        QString entry;
    };

    QStringList entries;
    qint32 dialResult = 0;
    Handle nextHandle = 0x1234;
    qint32 hangUpResult = 0;
    bool remote = false;

    QList<Dial> dials;
    QList<Handle> hangUps;
};

} // namespace ringlark::test
