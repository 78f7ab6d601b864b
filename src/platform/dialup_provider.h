#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace ringlark {

// The platform's dial-up operations. Handles are pointer-sized: on 64-bit Windows
// InternetDial returns its connection through a DWORD_PTR.
class DialUpProvider
{
public:
    using Handle = quintptr;

    virtual ~DialUpProvider() = default;

    // Names of all entries, in the platform's order; empty when there are none or on failure.
    virtual QStringList listEntries() = 0;

    // Dials unattended and returns only when the attempt has ended. 0 = connected and
    // `handle` is set to a non-zero value; anything else is the platform's error number.
    // `parentWindow` owns anything the platform shows (a native window handle, or 0).
    virtual qint32 dial(quintptr parentWindow, const QString &entry, Handle &handle) = 0;

    // Hangs up a handle that dial() gave. 0 = hung up; anything else is the platform's
    // error number. The handle is finished with either way.
    virtual qint32 hangUp(Handle handle) = 0;

    // Whether the system reports an active remote (dial-up, VPN, ...) connection.
    virtual bool remoteConnected() = 0;
};

} // namespace ringlark
