#pragma once

#include "mail_sender.h"

#include <QQueue>

#include <atomic>
#include <memory>
#include <thread>

namespace ringlark {

// SMTP through libcurl, which does STARTTLS, AUTH PLAIN/LOGIN and dot-stuffing. libcurl's
// calls block, so each mail is sent on a worker thread of its own, one at a time; the
// result comes back to this object's thread by a queued call. Destroying the sender stops a
// send under way within about a second.
class CurlSmtpSender final : public MailSender
{
    Q_OBJECT
public:
    explicit CurlSmtpSender(QObject *parent = nullptr);
    ~CurlSmtpSender() override;

    void send(quint64 id, const OutgoingMail &mail) override;

    // Trust only this PEM file's authorities instead of the system's (tests).
    void setCaFile(const QString &path) { m_caFile = path; }

private:
    struct Job
    {
        quint64 id;
        OutgoingMail mail;
    };
    void startNext();
    void onDone(quint64 id, bool ok, const QString &detail);

    QQueue<Job> m_queue;
    std::thread m_worker;
    bool m_busy = false;
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    QString m_caFile;
};

} // namespace ringlark
