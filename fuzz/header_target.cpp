// Fuzz target: the header and date reading and the examination of each TOP reply.
//
// Input layout (short inputs read the missing bytes as 0):
//   byte 0   bits 0-1 FromCheck form, bits 2-3 SubjectCheck form (see checkFlag),
//            bit 4 split at LF only and keep the CR (otherwise as the session: CR LF or LF),
//            bit 5 run a second session over the same mailbox afterwards,
//            bits 6-7 LastDate form (see lastDate)
//   byte 1   the STAT count (see kCounts)
//   byte 2   which LastDate
//   byte 3   low nibble: length of the FromAddress search text, high nibble: of Subject
//   then     the two search texts, then the server's TOP replies, each ended by a line
//            holding only "." as on the wire; the last one may be unended.
//
// The session walks the mailbox from the highest message down, as the real one does, and
// every examination is checked against what the session and the check cycle rely on.

#include "fuzz_support.h"

#include "date_text.h"
#include "mail_date.h"
#include "mail_header.h"
#include "recognition.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QDateTime>
#include <QList>
#include <QVariant>

#include <array>
#include <limits>

using namespace ringlark;
using ringlark::fuzz::checkFlag;
using ringlark::fuzz::Input;

namespace {

// Mailbox sizes that matter: small walks, and counts past 16 and 32 bits.
constexpr std::array<qint64, 8> kCounts{1, 2, 3, 5, 32768, 4294967296LL, 4294967297LL,
                                        std::numeric_limits<qint64>::max()};
// Replies examined per session at most; enough to reach every ending of a walk.
constexpr qsizetype kMaxReplies = 48;

QVariant lastDate(unsigned form, unsigned pick)
{
    static const std::array<const char *, 8> texts{
        "2003/04/01 00:00:00", "2004/09/25 09:00:00", "2004/09/25 08:59:59", "2004/9/5 9:00:00",
        "2004/09/25",          "1969/02/13 23:32:00", "not a date",          ""};
    const QDate day(1900 + static_cast<int>(pick), 1 + static_cast<int>(pick % 12),
                    1 + static_cast<int>(pick % 28));
    const QTime time(static_cast<int>(pick % 24), static_cast<int>(pick % 60), 0);
    switch (form & 3u) {
    case 0:
        return QString::fromLatin1(texts[0]);
    case 1:
        return QString::fromLatin1(texts[pick % texts.size()]);
    case 2:
        return asWritten(day, time); // as the check cycle holds it after a dial
    default:
        return QDateTime(day, time, Qt::LocalTime); // another zone must not shift it
    }
}

// The server's TOP replies, split into lines as the session splits them.
QList<QList<QByteArray>> topReplies(const QByteArray &text, bool keepCr)
{
    QList<QList<QByteArray>> replies;
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < text.size() && replies.size() < kMaxReplies) {
        qsizetype end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        QByteArray line = text.mid(from, end - from);
        from = end + 1;
        if (!keepCr && line.endsWith('\r'))
            line.chop(1);
        if (line == "." || line == ".\r") {
            replies.append(std::exchange(lines, {}));
            continue;
        }
        if (line.startsWith('.'))
            line.remove(0, 1);
        lines.append(line);
    }
    if (!lines.isEmpty() && replies.size() < kMaxReplies)
        replies.append(lines);
    return replies;
}

// A date as the parser returns it must be one the program can store as LastDate and read back
// unchanged; otherwise the same trigger mail would dial again on every check.
std::optional<QDateTime> checkedDate(const QString &text)
{
    const std::optional<QDateTime> date = parseMailDate(text);
    if (date) {
        FUZZ_CHECK(date->isValid());
        FUZZ_CHECK(date->timeSpec() == Qt::UTC);
        const std::optional<QDateTime> back = readDateText(dateText(*date));
        FUZZ_CHECK(back && *back == *date);
    }
    return date;
}

void checkHeader(const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines) {
        // Nothing lost or replaced: UTF-8 as UTF-8, anything else byte for byte.
        const QString text = decodeMailLine(line);
        FUZZ_CHECK(text.toUtf8() == line || (text.size() == line.size() && text.toLatin1() == line));
    }
    const QList<HeaderField> fields = headerFields(lines);
    // The body line TOP returns is never read as a field.
    QList<QByteArray> withBody = lines;
    withBody << QByteArray() << "From: body@example.com" << "Date: 1 Jan 2000 00:00:00";
    const QList<HeaderField> again = headerFields(withBody);
    FUZZ_CHECK(again.size() == fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i) {
        FUZZ_CHECK(again[i].name == fields[i].name && again[i].value == fields[i].value);
        FUZZ_CHECK(!fields[i].name.isEmpty() && !fields[i].value.contains(QLatin1Char('\n')));
    }
    if (const std::optional<QString> date = fieldValue(fields, QLatin1StringView("Date")))
        checkedDate(*date);
}

bool newTrigger(const SessionValues &before, const SessionValues &after)
{
    return after.TriggerFlag == TriggerFlag::Start &&
           (before.TriggerFlag != TriggerFlag::Start ||
            after.TriggerFoundDate != before.TriggerFoundDate ||
            after.TriggerFoundDate.isNull());
}

// What the session does with a verdict, as far as the check cycle sees it.
void applyVerdict(const Examination &result, SessionValues &session)
{
    if (result.verdict == Verdict::TriggerFound) {
        session.TriggerFlag = TriggerFlag::Start;
        session.TriggerFoundDate = session.TriggerMailDate.value;
    } else if (result.verdict == Verdict::CloseNow) {
        session.TriggerFlag = TriggerFlag::Stop;
    }
}

// What the session and the check cycle rely on after one examination.
void checkExamination(const QList<QByteArray> &lines, const SessionValues &before,
                      const SessionValues &after, const Examination &result,
                      const SettingsTable &settings)
{
    // The walk goes on below, or ends: nothing else.
    FUZZ_CHECK(after.MailNo == 0 || after.MailNo == before.MailNo - 1);
    FUZZ_CHECK(after.MailNo >= 0);
    if (before.MailNo == 0) // message 1 always ends the walk
        FUZZ_CHECK(result.verdict != Verdict::GoOn && result.newestMailText);
    if (result.newestMailText)
        FUZZ_CHECK(after.MailNo == 0 && result.verdict != Verdict::GoOn);
    if (result.verdict == Verdict::StopHere)
        FUZZ_CHECK(result.newestMailText);

    FUZZ_CHECK(after.TriggerMailDate.kind != MailDate::Kind::None);
    if (after.TriggerMailDate.isDated())
        FUZZ_CHECK(after.TriggerMailDate.value.isValid() &&
                   after.TriggerMailDate.value.timeSpec() == Qt::UTC);
    FUZZ_CHECK(!after.MailFrom.contains(QLatin1Char('\n')) &&
               !after.MailSubject.contains(QLatin1Char('\n')));
    FUZZ_CHECK(result.resultLines.startsWith(QStringLiteral("No:")) &&
               result.resultLines.endsWith(QStringLiteral(" \r\n")));

    if (!after.TriggerMailDate.isDated()) { // an undated mail is never the trigger
        FUZZ_CHECK(result.verdict != Verdict::TriggerFound && result.verdict != Verdict::CloseNow);
        FUZZ_CHECK(after.TriggerFoundDate == before.TriggerFoundDate);
    }
    if (!newTrigger(before, after))
        return;

    FUZZ_CHECK(result.verdict == Verdict::TriggerFound);
    FUZZ_CHECK(after.TriggerFoundDate.isValid() &&
               after.TriggerFoundDate == after.TriggerMailDate.value);
    const std::optional<QDateTime> last = settings.lastDate();
    if (last && last->isValid())
        FUZZ_CHECK(after.TriggerFoundDate > asWritten(last->date(), last->time()));

    // The check cycle stores the trigger's date as LastDate, held as a date-time and, after a
    // restart, as its stored text. Either way the same mail must not trigger again.
    for (const QVariant &stored :
         {QVariant(after.TriggerFoundDate), QVariant(dateText(after.TriggerFoundDate))}) {
        SettingsTable later = settings;
        later.LastDate = stored;
        SessionValues again = before;
        const Examination second =
            examineMail(headerFields(lines), again, sessionSettings(later).rules);
        FUZZ_CHECK(second.verdict == Verdict::CloseNow);
    }
}

struct WalkEnd
{
    bool ended = false;       // the walk's own ending set Label7
    bool flagChanged = false; // some examination set TriggerFlag or closed at once
    int examined = 0;
};

// The session's side of the walk: STAT's count names the first message; each reply is
// examined after the next request (or QUIT, before message 1) went out.
WalkEnd walk(const QList<QList<QByteArray>> &replies, qint64 count, SessionValues &session,
             const SettingsTable &settings)
{
    WalkEnd end;
    session.MailCount = QString::number(count);
    session.MailNo = count - 1;
    const RecognitionRules rules = sessionSettings(settings).rules;
    for (const QList<QByteArray> &lines : replies) {
        checkHeader(lines);
        const SessionValues before = session;
        const Examination result = examineMail(headerFields(lines), session, rules);
        applyVerdict(result, session);
        checkExamination(lines, before, session, result, settings);
        ++end.examined;
        end.ended = end.ended || result.newestMailText.has_value();
        end.flagChanged =
            end.flagChanged || result.verdict == Verdict::CloseNow || newTrigger(before, session);
        if (result.verdict != Verdict::GoOn || before.MailNo == 0)
            break;
    }
    return end;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input input(data, size);
    const unsigned mode = input.byte();
    const qint64 count = kCounts[input.byte() % kCounts.size()];
    const unsigned pick = input.byte();
    const unsigned lengths = input.byte();

    SettingsTable settings;
    settings.FromCheck = checkFlag(mode);
    settings.SubjectCheck = checkFlag(mode >> 2);
    settings.LastDate = lastDate(mode >> 6, pick);
    settings.FromAddress = decodeMailLine(input.take(lengths & 15u));
    settings.Subject = decodeMailLine(input.take(lengths >> 4));
    const QByteArray text = input.rest();

    // The whole text as one Date value too: the date reader alone, on anything.
    checkedDate(decodeMailLine(text));

    const QList<QList<QByteArray>> replies = topReplies(text, (mode & 0x10u) != 0);
    SessionValues session;
    const WalkEnd first = walk(replies, count, session, settings);

    // A second check of the unchanged mailbox stops at the newest mail the first one saw.
    if ((mode & 0x20u) != 0) {
        const WalkEnd second = walk(replies, count, session, settings);
        if (first.ended && !first.flagChanged)
            FUZZ_CHECK(second.examined == 1 && second.ended);
    }
    return 0;
}
