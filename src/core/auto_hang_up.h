#pragma once

#include <QObject>

#include <memory>

namespace ringlark {

class Timer;

// HANGUP_AFTER: a connection that a trigger mail brought up is hung up after that many
// minutes. One that was up already, or that a user dialled by hand, is left alone; a new
// trigger while it is up restarts the time; any hang-up ends it.
class AutoHangUp : public QObject
{
    Q_OBJECT
public:
    // timer comes from the services' timer factory.
    explicit AutoHangUp(std::unique_ptr<Timer> timer, QObject *parent = nullptr);
    ~AutoHangUp() override;

    // A trigger's dial has ended with this result (0: it connected, -1: it was connected
    // already); afterMs is HANGUP_AFTER's time now, or 0 for never.
    void triggerDialled(qint32 result, qint64 afterMs);
    // The connection went down, whoever hung it up.
    void connectionClosed();
    bool running() const;

signals:
    void due();

private:
    std::unique_ptr<Timer> m_timer;
};

} // namespace ringlark
