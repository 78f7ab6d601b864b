#pragma once

#include <QObject>

class QSocketNotifier;

namespace ringlark {

// Turns the requests to end that a service manager or a terminal sends (SIGTERM, SIGINT,
// SIGHUP) into a Qt signal on the event loop, so the program leaves by its own exit path
// and with status 0 instead of being killed by the signal's default action. One object at a
// time; while it lives, those signals no longer end the process by themselves.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // "SIGTERM" and so on, for a log line.
    static QString nameOf(int signalNumber);

signals:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace ringlark
