#include "recognition.h"

#include "auth_results.h"
#include "date_text.h"
#include "encoded_words.h"
#include "mail_date.h"
#include "mail_header.h"
#include "mail_text.h"
#include "text_fold.h"

namespace ringlark {

namespace {

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

QString ignoredTriggerText(IgnoredBecause reason, const MailDate &date)
{
    QString why;
    switch (reason) {
    case IgnoredBecause::CodeWrong:
        why = QStringLiteral("ワンタイムコードが違うため");
        break;
    case IgnoredBecause::CodeReused:
        why = QStringLiteral("ワンタイムコードが使用済みのため");
        break;
    case IgnoredBecause::SenderUnproven:
        why = QStringLiteral("送信者を確認できないため");
        break;
    }
    return why +
           QStringLiteral("、コールバックメール（") + mailDateText(date) +
           QStringLiteral("）を無視しました");
}

QString pop3NumberText(qint64 number)
{
    return number < 0 ? QString::number(number) : u' ' + QString::number(number);
}

bool matchesRules(const QString &fromField, const QString &subject, const RecognitionRules &rules)
{
    // Both tests fold case and width (text_fold.h), as a search that ignored case did on a
    // Japanese system.
    if (rules.subjectCheck && !occursFolded(rules.subjectText, subject))
        return false;
    return !rules.fromCheck ||
           senderMatches(rules.fromText, fromField, rules.checks.senderVerdictRequired);
}

Examination examineMail(const QList<HeaderField> &fields, SessionValues &session,
                        const RecognitionRules &rules)
{
    Examination result;

    const std::optional<QString> from = fieldValue(fields, QLatin1StringView("From"));
    const std::optional<QString> subject = fieldValue(fields, QLatin1StringView("Subject"));
    const std::optional<QString> dateField = fieldValue(fields, QLatin1StringView("Date"));
    // Listed and tested as a reader sees them: Japanese mailers encode even plain subjects.
    // Shown without control characters, so that no mail can write a line of its own.
    session.MailFrom = from ? shownText(decodeEncodedWords(*from)) : QStringLiteral("FROM:None");
    session.MailSubject = subject ? shownText(decodeEncodedWords(*subject)) : QString();
    // A mail without a readable date is still listed and the walk goes on below it. It gets
    // its own "undated" value rather than the previous mail's date. Dates are instants, shown
    // and compared on the machine's clock.
    const std::optional<QDateTime> instant = dateField ? mailInstant(*dateField) : std::nullopt;
    const std::optional<QDateTime> date = dateField ? localMailDate(*dateField) : std::nullopt;
    session.TriggerMailDate = date ? MailDate::dated(*date) : MailDate::undated();

    result.resultLines = QStringLiteral("No:") + pop3NumberText(session.MailNo) + QLatin1Char(' ') +
                         mailDateText(session.TriggerMailDate) + QStringLiteral(" 送信者:") +
                         session.MailFrom + QStringLiteral("\r\n") + QStringLiteral("     件名:") +
                         session.MailSubject + QStringLiteral(" \r\n");

    if (isSessionsFirst(session)) {
        session.SessionNewestDate = session.TriggerMailDate;
        session.SessionNewestSubject = session.MailSubject;
        session.SessionNewestFrom = session.MailFrom;
        session.SessionNewestAuthservIds = authservIds(fields);
    }

    // The walk ends after message 1 (MailNo 0) or the lowest mail above LASTUIDL, so that a trigger that is the oldest of several
    // new mails is still seen. Without identities, it ends too at the newest mail an earlier
    // session saw, since everything below it was looked at then.
    if (session.MailNo <= session.WalkFloor ||
        (!rules.walkByIdentity && equalsKnownNewest(session))) {
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
    if (!date || !instant)
        return result;
    if (!matchesRules(from.value_or(session.MailFrom), session.MailSubject, rules))
        return result;

    // An unreadable LastDate counts as earlier than every mail. Both sides are the machine's
    // time, held as written.
    const std::optional<QDateTime> &lastDate = rules.lastDate;
    if (lastDate && lastDate->isValid() && *date <= asWritten(lastDate->date(), lastDate->time())) {
        // Acted on already, or older: never "ignored", whatever checks were switched on since.
        if (!rules.walkByIdentity)
            result.verdict = Verdict::CloseNow;
        return result;
    }
    // A mail that looks like the trigger but fails a check may be forged: not a trigger, and
    // the walk goes on to the genuine one that may lie below it.
    result.checks = checkMail(fields, session.MailSubject, rules.checks);
    const std::optional<qint64> &codeStep = result.checks.codeStep;
    if (codeStep && rules.lastCodeStep && *codeStep <= *rules.lastCodeStep) {
        // A replay: the right code of a trigger acted on, in a copy dated anew.
        result.checks.codeFailed = true;
        result.checks.codeReused = true;
    }
    if (!result.checks.passed())
        return result;
    if (rules.latestBelievable && *instant > *rules.latestBelievable) {
        result.passedOver = mailDateText(session.TriggerMailDate) + QStringLiteral(" 送信者:") +
                            session.MailFrom;
        return result;
    }
    result.verdict = Verdict::TriggerFound;
    const std::optional<QString> autoSubmitted =
        fieldValue(fields, QLatin1StringView("Auto-Submitted"));
    result.trigger.fromAddress = from ? fromAddress(*from).value_or(QString()) : QString();
    result.trigger.messageId =
        fieldValue(fields, QLatin1StringView("Message-ID")).value_or(QString());
    result.trigger.autoSubmitted =
        autoSubmitted &&
        autoSubmitted->trimmed().compare(QLatin1StringView("no"), Qt::CaseInsensitive) != 0;
    result.trigger.hangUp = !rules.hangUpSubject.isEmpty() &&
                            occursFolded(rules.hangUpSubject, session.MailSubject);
    return result;
}

} // namespace ringlark
