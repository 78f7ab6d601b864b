#pragma once

#include "dialup_provider.h"

#include <QObject>
#include <QStringList>

#include <functional>

namespace ringlark {

// The program's one access to dial-up networking: lists the entries, dials one unattended,
// hangs up the connection it made, and tells whether the system reports a remote
// connection. It holds at most one connection handle, the last one it dialled itself.
//
// Results of StartDUN and HangUp: 0 success, -1 nothing done, anything else the provider's
// error number. Nothing here blocks: StartDUN returns at once and StartDUNFinished brings its
// result, after ConnectionMade when it connected. A hang-up's result comes to its `done`
// from the event loop, after ConnectionClosed when something was hung up.
class WinInet : public QObject
{
    Q_OBJECT
public:
    // The provider must outlive this object.
    explicit WinInet(DialUpProvider &provider, QObject *parent = nullptr);
    ~WinInet() override;

    // The handle of the connection this object dialled; 0 when it holds none.
    DialUpProvider::Handle hConnection() const { return m_hConnection; }

    bool DisconnectOnTerminate() const { return m_disconnectOnTerminate; }
    void setDisconnectOnTerminate(bool disconnect) { m_disconnectOnTerminate = disconnect; }

    // Hangs up the connection this object dialled; -1 when it holds none.
    void HangUp(std::function<void(qint32 result)> done = {});
    // The hang-up a trigger mail asks for: the connection this object dialled, else the
    // entry's active connection, where the platform can find it. Results as for HangUp.
    void HangUpEntry(const QString &entryName, std::function<void(qint32 result)> done);
    // The addresses of the connection this object holds; empty when it holds none.
    QStringList addresses() const;
    // Whether the connection this object holds was up before its dial took it over.
    bool upBeforeDial() const
    {
        return m_hConnection != 0 && m_provider.upBeforeDial(m_hConnection);
    }
    // The entries in the platform's order: done runs later from the event loop, unless this
    // object is gone or its dial was abandoned meanwhile.
    void ListDUNsLater(std::function<void(const QStringList &entryNames)> done);
    // Why the last listing could not ask the system; empty when it could.
    QString listProblem() const { return m_provider.listProblem(); }

    // Starts dialling `entry` unless this object's own connection is still up (-1). The result
    // always comes through StartDUNFinished, never from inside this call. A call while a dial
    // is under way joins it: no second dial, and the one result answers both.
    void StartDUN(quintptr parentWindow, const QString &entryName);
    bool dialling() const { return m_dialling; }
    // The program is ending: the dial under way is left to itself and reports nothing.
    void abandonDial();

signals:
    void ConnectionMade();
    void ConnectionClosed();
    void StartDUNFinished(qint32 result);

private:
    static void answer(const std::function<void(qint32)> &done, qint32 result)
    {
        if (done)
            done(result);
    }
    void onDialFinished(qint32 result, DialUpProvider::Handle handle);

    DialUpProvider &m_provider;
    DialUpProvider::Handle m_hConnection = 0;
    bool m_disconnectOnTerminate = false;
    bool m_dialling = false;
    // Counts abandonments: a listing asked for before one is dropped.
    quint64 m_abandoned = 0;
};

} // namespace ringlark
