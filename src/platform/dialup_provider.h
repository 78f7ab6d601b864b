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

    // The answers of the calls that take `context` and `done` come later, from the event loop,
    // never from inside the call that asks; none comes when `context` is gone by then. A
    // provider asks the system with a bound, so an answer always comes. Several may be under
    // way at once; each gets its own.

    // Names of all entries, in the platform's order; empty when there are none or on failure.
    // listProblem() tells about this listing when done runs.
    virtual void listEntries(QObject *context,
                             std::function<void(const QStringList &names)> done) = 0;

    // Why the last listing could not ask the system (the service is not running, ...), for
    // the log; empty when it could, even if it found no entries.
    virtual QString listProblem() const { return {}; }

    // Starts an unattended dial. dialFinished follows exactly once, never from inside this
    // call. `parentWindow` owns anything the platform shows (a native window handle, or 0).
    // A new dial abandons one still under way.
    virtual void startDial(quintptr parentWindow, const QString &entry) = 0;

    // Forgets the dial under way, if any: its dialFinished never comes. Nothing waits for the
    // attempt itself, which the system may still complete.
    virtual void abandonDial() = 0;

    // Hangs up a handle that a dial gave. 0 = hung up; anything else is the platform's
    // error number. The handle is finished with at once, whatever the answer.
    virtual void hangUp(Handle handle, QObject *context, std::function<void(qint32 result)> done) = 0;

    // Whether the system reports an active remote (dial-up, VPN, ...) connection.
    virtual void remoteConnected(QObject *context, std::function<void(bool connected)> done) = 0;

    // Hangs up the entry's connection when no handle of ours names it (the program was
    // restarted since it dialled, or the connection came up otherwise). -1: nothing done,
    // which is all a platform that hangs up only by handle can say.
    virtual void hangUpEntry(const QString &entry, QObject *context,
                             std::function<void(qint32 result)> done)
    {
        Q_UNUSED(entry)
        answerLater(context, std::move(done), qint32(-1));
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

protected:
    // For answers at hand when asked: done(value) from the event loop, unless context is gone.
    template <typename Done, typename Value>
    static void answerLater(QObject *context, Done done, Value value)
    {
        QMetaObject::invokeMethod(
            context,
            [done = std::move(done), value] {
                if (done)
                    done(value);
            },
            Qt::QueuedConnection);
    }

signals:
    // 0 = connected and `handle` is non-zero; anything else is the platform's error number.
    void dialFinished(qint32 result, quintptr handle);
};

} // namespace ringlark
