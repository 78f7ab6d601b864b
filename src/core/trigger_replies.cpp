#include "trigger_replies.h"

#include "clock.h"
#include "date_text.h"
#include "dialup_result.h"
#include "event_log.h"
#include "log_categories.h"
#include "mail_sender.h"
#include "reply_mail.h"
#include "settings_table.h"
#include "smtp_server.h"

#include <QSysInfo>
#include <QUuid>

namespace ringlark {

namespace {

QString timeText(const QDateTime &now)
{
    return now.toString(QStringLiteral("MM/dd HH:mm "));
}

} // namespace

TriggerReplies::TriggerReplies(const SettingsTable &settings, EventLog &log, const Clock &clock,
                               MailSender &sender, QObject *parent)
    : QObject(parent), m_settings(settings), m_log(log), m_clock(clock), m_sender(sender)
{
    connect(&m_sender, &MailSender::finished, this, &TriggerReplies::onFinished);
}

QString TriggerReplies::replyFrom() const
{
    const QString from = m_settings.reply.replyFrom.trimmed();
    if (!from.isEmpty())
        return mailboxAddress(from).value_or(QString());
    return mailboxAddress(settingText(m_settings.UserName)).value_or(QString());
}

QString TriggerReplies::bodyText(const DialCommands::Outcome &outcome) const
{
    QString body;
    const auto line = [&body](const QString &label, const QString &value) {
        body += label + value + u'\n';
    };
    line(QStringLiteral("時刻: "), dateText(m_clock.now()));
    line(QStringLiteral("接続: "), outcome.entry);
    line(QStringLiteral("結果: "), outcome.line);
    if (outcome.result > 0)
        line(QStringLiteral("理由: "),
             QString::number(outcome.result) + u' ' + dialup::describe(outcome.result));
    if (!outcome.advice.isEmpty())
        line(QStringLiteral("対処: "), outcome.advice);
    if (!outcome.addresses.isEmpty())
        line(QStringLiteral("アドレス: "), outcome.addresses.join(QStringLiteral(", ")));
    line(QStringLiteral("ホスト名: "), QSysInfo::machineHostName());
    body += QStringLiteral("\n-- \nRINGLARK\n");
    return body;
}

void TriggerReplies::answer(const TriggerMail &mail, const DialCommands::Outcome &outcome)
{
    const ReplySettings &reply = m_settings.reply;
    if (!reply.replyOn())
        return;
    const QString skip = timeText(m_clock.now()) + QStringLiteral("返信しません: ");
    if (mail.autoSubmitted) {
        m_log.appendLog(skip + QStringLiteral("トリガーメールは自動送信のメールです"));
        return;
    }
    const std::optional<QString> to = mailboxAddress(mail.fromAddress);
    if (!to) {
        m_log.appendLog(skip + QStringLiteral("トリガーメールの送信者のアドレスが読めません"));
        return;
    }
    const QString from = replyFrom();
    if (from.isEmpty()) {
        m_log.appendLog(
            skip + QStringLiteral("差出人のアドレスがありません（REPLY_FROM を設定してください）"));
        return;
    }
    if (!parseSmtpServer(reply.smtpServer)) {
        m_log.appendLog(
            skip + QStringLiteral("SMTPSERVER「") + reply.smtpServer +
            QStringLiteral("」は smtps://ホスト名 か smtp://ホスト名 で指定してください"));
        return;
    }
    ReplyMail message;
    message.from = from;
    message.to = *to;
    message.inReplyTo = messageIdOf(mail.messageId).value_or(QString());
    message.subject = QStringLiteral("RINGLARK: ") + outcome.line;
    message.body = bodyText(outcome);
    message.date = m_clock.now();
    message.idDomain = from.section(u'@', -1);
    message.idUnique = QUuid::createUuid().toString(QUuid::WithoutBraces);
    Pending pending;
    pending.to = *to;
    pending.from = from;
    pending.message = composeReply(message);
    send(std::move(pending));
}

void TriggerReplies::send(Pending pending)
{
    const ReplySettings &reply = m_settings.reply;
    pending.id = m_nextId++;
    OutgoingMail mail;
    mail.server = reply.smtpServer;
    mail.user = reply.smtpUser.isEmpty() ? settingText(m_settings.UserName) : reply.smtpUser;
    mail.password =
        reply.smtpPassword.isEmpty() ? settingText(m_settings.Password) : reply.smtpPassword;
    mail.from = pending.from;
    mail.to = pending.to;
    mail.message = pending.message;
    m_inFlight.append(pending);
    m_sender.send(pending.id, mail);
}

void TriggerReplies::onFinished(quint64 id, bool ok, const QString &detail)
{
    const auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                                 [id](const Pending &p) { return p.id == id; });
    if (it == m_inFlight.end())
        return;
    Pending pending = *it;
    m_inFlight.erase(it);
    if (ok) {
        m_log.appendLog(timeText(m_clock.now()) + pending.to + QStringLiteral(" へ返信しました"));
        return;
    }
    m_log.appendLog(timeText(m_clock.now()) + QStringLiteral("返信を送れませんでした: ") + detail);
    qCDebug(lcReply) << "reply" << id << "failed:" << detail;
    if (!pending.retried) {
        pending.retried = true;
        m_retry = pending;
    }
}

void TriggerReplies::checkFinished()
{
    if (!m_retry)
        return;
    Pending pending = *m_retry;
    m_retry.reset();
    send(std::move(pending));
}

} // namespace ringlark
