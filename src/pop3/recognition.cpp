#include "recognition.h"

#include "date_text.h"
#include "mail_date.h"
#include "mail_header.h"

namespace ringlark {

namespace {

bool passes(bool check, const QString &searchText, const QString &headerText)
{
    return !check || occursIn(searchText, headerText);
}

// The first message a session examines is the one STAT counted; the session has lowered
// MailNo by one before it asks for the examination.
bool isSessionsFirst(const SessionValues &session)
{
    bool ok = false;
    const qint64 count = session.MailCount.trimmed().toLongLong(&ok);
    return ok && session.MailNo == count - 1;
}

bool equalsKnownNewest(const SessionValues &session)
{
    return session.KnownNewestDate.sameAs(session.TriggerMailDate) &&
           session.KnownNewestSubject == session.MailSubject &&
           session.KnownNewestFrom == session.MailFrom;
}

} // namespace

QString undatedText()
{
    return QStringLiteral("日付不明");
}

QString mailDateText(const MailDate &date)
{
    switch (date.kind) {
    case MailDate::Kind::Dated:
        return dateText(date.value);
    case MailDate::Kind::Undated:
        return undatedText();
    case MailDate::Kind::None:
        break;
    }
    return {};
}

QString pop3NumberText(qint64 number)
{
    return number < 0 ? QString::number(number) : u' ' + QString::number(number);
}

bool matchesRules(const SessionValues &session, const RecognitionRules &rules)
{
    return passes(rules.subjectCheck, rules.subjectText, session.MailSubject) &&
           passes(rules.fromCheck, rules.fromText, session.MailFrom);
}

bool occursIn(const QString &needle, const QString &haystack)
{
    if (needle.isEmpty())
        return !haystack.isEmpty();
    return haystack.contains(needle, Qt::CaseInsensitive);
}

Examination examineReply(const QList<QByteArray> &lines, SessionValues &session,
                         const RecognitionRules &rules)
{
    Examination result;

    const MailHeader header = readMailHeader(lines);
    session.MailFrom = header.from.value_or(QStringLiteral("FROM:None"));
    session.MailSubject = header.subject.value_or(QString());
    // A mail without a readable date is still listed and the walk goes on below it. It gets
    // its own "undated" value rather than the previous mail's date.
    const std::optional<QDateTime> date = header.date ? parseMailDate(*header.date) : std::nullopt;
    session.TriggerMailDate = date ? MailDate::dated(*date) : MailDate::undated();

    result.resultLines = QStringLiteral("No:") + pop3NumberText(session.MailNo) + QLatin1Char(' ') +
                         mailDateText(session.TriggerMailDate) + QStringLiteral(" 送信者:") +
                         session.MailFrom + QStringLiteral("\r\n") + QStringLiteral("     件名:") +
                         session.MailSubject + QStringLiteral(" \r\n");

    if (isSessionsFirst(session)) {
        session.SessionNewestDate = session.TriggerMailDate;
        session.SessionNewestSubject = session.MailSubject;
        session.SessionNewestFrom = session.MailFrom;
    }

    // The walk ends after message 1 (MailNo 0), so that a trigger that is the oldest of several
    // new mails is still seen; or at the newest mail an earlier session saw, since everything
    // below it was looked at then.
    if (session.MailNo == 0 || equalsKnownNewest(session)) {
        session.KnownNewestDate = session.SessionNewestDate;
        session.KnownNewestSubject = session.SessionNewestSubject;
        session.KnownNewestFrom = session.SessionNewestFrom;
        result.newestMailText = mailDateText(session.KnownNewestDate);
        session.MailNo = 0;
        result.verdict = Verdict::StopHere;
    } else {
        session.MailNo -= 1;
    }

    // An undated mail cannot be compared with LastDate, so it is never the trigger.
    if (!date)
        return result;
    if (!matchesRules(session, rules))
        return result;

    // An unreadable LastDate counts as earlier than every mail. Both sides are compared as
    // written, whatever Qt time zone a stored value carries.
    const std::optional<QDateTime> &lastDate = rules.lastDate;
    const bool isNew =
        !lastDate || !lastDate->isValid() || *date > asWritten(lastDate->date(), lastDate->time());
    result.verdict = isNew ? Verdict::TriggerFound : Verdict::CloseNow;
    return result;
}

} // namespace ringlark
