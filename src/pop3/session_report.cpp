#include "session_report.h"

#include "mail_session.h"

namespace ringlark {

SessionReport::SessionReport(MailSession &session, QObject *parent)
    : QObject(parent), m_session(session)
{
    connect(&session, &MailSession::started, this, &SessionReport::onStarted);
    connect(&session, &MailSession::dataArrived, this, &SessionReport::onDataArrived);
    connect(&session, &MailSession::mailExamined, this, &SessionReport::onMailExamined);
    connect(&session, &MailSession::walkEnded, this, &SessionReport::setNewestMail);
    connect(&session, &MailSession::failed, this, &SessionReport::appendResults);
    connect(&session, &MailSession::serverSilent, this,
            [this] { replaceResults(QStringLiteral("メールサーバーが応答しません")); });
}

void SessionReport::setNewestMail(const QString &text)
{
    if (m_newestMail == text)
        return;
    m_newestMail = text;
    emit newestMailChanged(m_newestMail);
}

void SessionReport::onStarted()
{
    m_traffic.clear();
    replaceResults(QString());
}

void SessionReport::onDataArrived(const QString &text)
{
    m_traffic.append(text);
    const SessionValues &values = m_session.values();
    m_mailNumber = QStringLiteral("MailNo:") + pop3NumberText(values.MailNo);
    m_step = QStringLiteral("MailStep:") + spelling(values.SessionStep);
    m_lastDate = QStringLiteral("最後の起動日時:") + m_session.sessionSettings().rules.lastDateText;
    emit progressChanged();
}

void SessionReport::onMailExamined(const QString &resultLines)
{
    m_traffic.append(QString(kSeparatorLength, u'-') + QStringLiteral("\r\n"));
    appendResults(resultLines);
}

void SessionReport::appendResults(const QString &text)
{
    if (text.isEmpty())
        return;
    m_results += text;
    if (m_results.size() > kMaxResultChars + kMaxResultChars / 4) {
        dropOldestText(m_results, kMaxResultChars);
        emit resultsReplaced(m_results);
        return;
    }
    emit resultsAppended(text);
}

void SessionReport::replaceResults(const QString &text)
{
    m_results = text;
    emit resultsReplaced(text);
}

} // namespace ringlark
