#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

namespace ringlark {

// The platform's dial-up operations. Handles are pointer-sized: on 64-bit Windows
// InternetDial returns its connection through a DWORD_PTR.
//
// A dial can take a minute and more (a modem, a VPN that waits for its server), so it never
// blocks the caller: startDial() returns at once and dialFinished reports the outcome.
class DialUpProvider : public QObject
{
    Q_OBJECT
public:
    using Handle = quintptr;

    explicit DialUpProvider(QObject *parent = nullptr) : QObject(parent) {}

    // Names of all entries, in the platform's order; empty when there are none or on failure.
    virtual QStringList listEntries() = 0;

    // listEntries() without keeping the caller waiting: done runs later from the caller's
    // event loop, with listProblem() already telling about this listing, unless context is
    // gone by then. By default the listing itself runs then, on the caller's thread.
    virtual void listEntriesLater(QObject *context,
                                  std::function<void(const QStringList &names)> done)
    {
        QMetaObject::invokeMethod(
            context, [this, done = std::move(done)] { done(listEntries()); },
            Qt::QueuedConnection);
    }

    // Why the last listEntries() could not ask the system (the service is not running, ...),
    // for the log; empty when it could, even if it found no entries.
    virtual QString listProblem() const { return {}; }

    // Starts an unattended dial. dialFinished follows exactly once, never from inside this
    // call. `parentWindow` owns anything the platform shows (a native window handle, or 0).
    // A new dial abandons one still under way.
    virtual void startDial(quintptr parentWindow, const QString &entry) = 0;

    // Forgets the dial under way, if any: its dialFinished never comes. Nothing waits for the
    // attempt itself, which the system may still complete.
    virtual void abandonDial() = 0;

    // Hangs up a handle that a dial gave. 0 = hung up; anything else is the platform's
    // error number. The handle is finished with either way.
    virtual qint32 hangUp(Handle handle) = 0;

    // Whether the system reports an active remote (dial-up, VPN, ...) connection.
    virtual bool remoteConnected() = 0;

    // Hangs up the entry's connection when no handle of ours names it (the program was
    // restarted since it dialled, or the connection came up otherwise). -1: nothing done,
    // which is all a platform that hangs up only by handle can say.
    virtual qint32 hangUpEntry(const QString &entry)
    {
        Q_UNUSED(entry)
        return -1;
    }

    // Whether the dial that gave this handle found the connection up already and took it
    // over rather than bringing it up.
    virtual bool upBeforeDial(Handle handle) const
    {
        Q_UNUSED(handle)
        return false;
    }

    // The addresses a connection of ours got, "address/prefix", IPv4 first; empty when
    // the platform does not tell.
    virtual QStringList addresses(Handle handle) const
    {
        Q_UNUSED(handle)
        return {};
    }

signals:
    // 0 = connected and `handle` is non-zero; anything else is the platform's error number.
    void dialFinished(qint32 result, quintptr handle);
};

} // namespace ringlark
