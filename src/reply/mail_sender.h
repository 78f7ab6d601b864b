#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace ringlark {

// One mail to send.
struct OutgoingMail
{
    QString server; // SMTPSERVER as written
    QString user;   // empty: no AUTH
    QString password;
    QString from; // envelope sender
    QString to;   // envelope recipient
    QByteArray message;
};

// Sends mail without blocking its caller: send() returns at once, and finished follows
// exactly once per call, from the event loop, in the order of the calls.
class MailSender : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void send(quint64 id, const OutgoingMail &mail) = 0;

signals:
    // ok, or why not: the server's reply where it gave one, else the local reason.
    void finished(quint64 id, bool ok, const QString &detail);
};

} // namespace ringlark
