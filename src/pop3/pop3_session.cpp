#include "pop3_session.h"

#include "log_categories.h"
#include "date_text.h"
#include "mail_date.h"
#include "mail_header.h"
#include "recognition.h"
#include "server_address.h"
#include "tcp_socket.h"

namespace ringlark {

namespace {

// The steps in which replies are read and answered; in any other (None, Stop) arrivals
// are only shown.
bool isProtocolStep(SessionStep step)
{
    switch (step) {
    case SessionStep::Connect:
    case SessionStep::User:
    case SessionStep::Pass:
    case SessionStep::Stat:
    case SessionStep::Retr:
        return true;
    case SessionStep::None:
    case SessionStep::Quit:
    case SessionStep::Stop:
        break;
    }
    return false;
}

// A Subject line as the traffic log shows it: a six-digit run there may be a one-time code
// still valid for minutes, and a debug log is read and pasted by others.
QByteArray withoutCode(const QByteArray &line)
{
    if (line.left(8).compare("subject:", Qt::CaseInsensitive) != 0)
        return line;
    QByteArray out = line;
    qsizetype run = 0;
    for (qsizetype i = 0; i <= out.size(); ++i) {
        if (i < out.size() && out.at(i) >= '0' && out.at(i) <= '9') {
            ++run;
            continue;
        }
        if (run == 6)
            out.replace(i - 6, 6, "******");
        run = 0;
    }
    return out;
}

} // namespace

Pop3Session::Pop3Session(SessionValues &values, SessionSettingsSource settings, TcpSocket &socket,
                         MessageBox &messageBox, const TimerFactory &timers, QObject *parent)
    : MailConnection(values, std::move(settings), socket, messageBox, timers, lcPop3, parent)
{
    init();
}

Pop3Session::Pop3Session(SessionValues &values, SessionSettingsSource settings,
                         std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                         const TimerFactory &timers, QObject *parent)
    : MailConnection(values, std::move(settings), std::move(socket), messageBox, timers, lcPop3,
                     parent)
{
    init();
}

void Pop3Session::init()
{
    connect(m_watchdog.get(), &Timer::timeout, this, &Pop3Session::Timer1_Timer);
    connect(m_socket, &TcpSocket::readyRead, this, &Pop3Session::Winsock1_DataArrival);
    connect(m_socket, &TcpSocket::errorOccurred, this, &Pop3Session::Winsock1_Error);
    connect(m_socket, &TcpSocket::remoteClosed, this, &Pop3Session::onRemoteClosed);
}

void Pop3Session::Command1_Click()
{
    m_graceTurns = 0;
    if (const std::optional<ServerAddress> address = startSession(freshSettings()))
        connectTo(*address);
    else // refused before any connection is tried: reported like a socket error
        Winsock1_Error(errorCode(Pop3Error::BadServerAddress),
                       errorText(Pop3Error::BadServerAddress));
}

void Pop3Session::Timer1_Timer()
{
    m_watchdog->stop();
    if (m_socket->bytesAvailable() > 0) {
        // An arrival restarts the watchdog or ends the session: not silent after all.
        Winsock1_DataArrival();
        if (m_watchdog->isActive() || m_socket->isClosed())
            return;
        // Bytes that reached the machine but not yet the socket's buffer: give the event
        // loop a few short turns to hand them over before calling the server silent.
        if (m_graceTurns < kGraceTurns) {
            ++m_graceTurns;
            m_watchdog->startOnce(kGraceMs);
            return;
        }
    }
    qCDebug(lcPop3) << "watchdog: the server does not answer";
    endUnanswered();
}

void Pop3Session::Winsock1_DataArrival()
{
    const QByteArray chunk = m_socket->readAll();
    if (chunk.isEmpty())
        return;
    m_graceTurns = 0;
    m_watchdog->startOnce(kWatchdogMs);

    if (!readingReplies()) {
        showChunk(chunk);
        if (m_values.SessionStep == SessionStep::Quit)
            finishClose();
        return;
    }
    holdTraffic(chunk, m_reader.appendedBytes());
    m_reader.append(chunk);
    processReplies();
    showTraffic(-1);
}

bool Pop3Session::readingReplies() const
{
    return isProtocolStep(m_values.SessionStep) ||
           (m_values.SessionStep == SessionStep::Quit && m_repliesToDrop > 0);
}

void Pop3Session::Winsock1_Error(int code, const QString &description)
{
    endOnSocketError(code, description);
}

void Pop3Session::processReplies()
{
    const quint64 generation = m_generation;
    while (generation == m_generation && readingReplies()) {
        const bool multiLine = m_values.SessionStep == SessionStep::Retr || m_awaitingCapa ||
                               m_awaitingUidl || m_repliesToDrop > 0;
        ReplyReader::Reply reply;
        switch (m_reader.take(multiLine ? ReplyReader::Kind::MultiLine
                                        : ReplyReader::Kind::SingleLine,
                              reply)) {
        case ReplyReader::Result::Incomplete:
            return;
        case ReplyReader::Result::TooLarge:
            // After the walk the session's result stands; nothing more is needed of the server.
            if (m_repliesToDrop > 0)
                finishClose();
            else
                fail(Pop3Error::ReplyTooLarge);
            return;
        case ReplyReader::Result::Complete:
            showTraffic(m_reader.takenBytes());
            handleReply(reply);
            break;
        case ReplyReader::Result::Dropped:
            showTraffic(m_reader.takenBytes());
            if (m_repliesToDrop > 0)
                dropAfterWalk();
            else if (m_awaitingUidl)
                handleUidl({}); // too many mails to list: walk as without UIDL
            else if (m_values.SessionStep == SessionStep::Retr)
                handleTop(reply, true);
            else
                fail(Pop3Error::ReplyTooLarge);
            break;
        }
    }
    // The walk ended while the reply that closes the connection was already here.
    if (generation == m_generation && m_values.SessionStep == SessionStep::Quit &&
        m_repliesToDrop == 0 && m_reader.holdsData())
        finishClose();
}

void Pop3Session::handleReply(const ReplyReader::Reply &reply)
{
    if (lcPop3().isDebugEnabled()) {
        qCDebug(lcPop3).noquote() << "S:" << masked(reply.status);
        for (const QByteArray &line : reply.lines)
            qCDebug(lcPop3).noquote() << "S:" << masked(withoutCode(line));
    }
    if (m_repliesToDrop > 0) {
        dropAfterWalk();
        return;
    }
    if (m_awaitingCapa) {
        handleCapa(reply);
        return;
    }
    if (m_awaitingUidl) {
        handleUidl(reply);
        return;
    }
    // Anything but a positive reply, "-ERR" or garbage, ends the session politely.
    if (!reply.positive()) {
        // A refused user name or password fails every check until someone acts: the owner
        // must hear of it, in the server's own words.
        if (m_values.SessionStep == SessionStep::User || m_values.SessionStep == SessionStep::Pass)
            noteFailure(SessionFailure::LoginRefused, masked(reply.status));
        if (m_values.SessionStep == SessionStep::Retr)
            m_requests.answered();
        quitAfterRequestsInFlight();
        return;
    }
    switch (m_values.SessionStep) {
    case SessionStep::Connect:
        // What the server can do decides how many requests the walk may keep in flight.
        send("CAPA\r\n");
        m_awaitingCapa = true;
        break;
    case SessionStep::User:
        if (sendCredential("PASS ", m_settings.account.password))
            setStep(SessionStep::Pass);
        break;
    case SessionStep::Pass:
        send("STAT\r\n");
        setStep(SessionStep::Stat);
        break;
    case SessionStep::Stat:
        handleStat(reply.status);
        break;
    case SessionStep::Retr:
        handleTop(reply, false);
        break;
    case SessionStep::None:
    case SessionStep::Quit:
    case SessionStep::Stop:
        break;
    }
}

void Pop3Session::handleCapa(const ReplyReader::Reply &reply)
{
    m_awaitingCapa = false;
    // A server older than CAPA answers -ERR; it, and any server that does not list
    // PIPELINING, gets one command at a time.
    m_pipelining = reply.positive() && listsPipelining(reply.lines);
    // UIDL is optional in POP3; a server that lists it names each mail for good.
    m_uidl = reply.positive() && listsCapability(reply.lines, "UIDL");
    qCDebug(lcPop3) << (m_pipelining ? "the server pipelines" : "the server does not pipeline");
    if (sendCredential("USER ", m_settings.account.user))
        setStep(SessionStep::User);
}

void Pop3Session::handleStat(const QByteArray &status)
{
    // "+OK count size"; some servers leave out the size.
    const QByteArray rest = status.mid(3).trimmed();
    const qsizetype space = rest.indexOf(' ');
    const QByteArray count = space < 0 ? rest : rest.left(space);
    if (count.isEmpty() ||
        !std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        fail(Pop3Error::StatReplyUnreadable);
        return;
    }
    bool ok = false;
    const qint64 number = count.toLongLong(&ok);
    if (!ok) {
        fail(Pop3Error::MessageCountTooLarge);
        return;
    }
    m_values.MailCount = QString::fromLatin1(count);
    if (number == 0) {
        sendQuit();
        return;
    }
    // The unique ids say where the last walk ended, whatever the mails above it look like.
    m_statCount = number;
    m_uids.clear();
    if (!m_uidl) {
        startWalk();
        return;
    }
    m_awaitingUidl = true;
    send("UIDL\r\n");
}

void Pop3Session::handleUidl(const ReplyReader::Reply &reply)
{
    m_awaitingUidl = false;
    m_uids.clear();
    // "n id" per mail (RFC 1939); a server without UIDL answers -ERR and keeps the old rules.
    if (reply.positive()) {
        for (const QByteArray &line : reply.lines) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            bool ok = false;
            const qint64 n = parts.value(0).toLongLong(&ok);
            if (!ok || parts.size() != 2 || n < 1 || n > m_statCount) {
                m_uids.clear(); // a list that cannot be trusted names no end
                break;
            }
            m_uids.insert(n, QString::fromLatin1(parts.at(1)));
        }
        if (m_uids.size() != m_statCount)
            m_uids.clear();
    }
    startWalk();
}

void Pop3Session::startWalk()
{
    const qint64 count = m_statCount;
    const bool byIdentity = !m_uids.isEmpty();
    m_settings.rules.walkByIdentity = byIdentity;
    m_walkIdentity.clear();
    m_memory.startWalk();
    qint64 lowest = 1;
    if (byIdentity) {
        m_memory.keepOnly(QSet<QString>(m_uids.cbegin(), m_uids.cend()));
        // Every mail above the one the last walk began with is new to the walk; a stored id
        // that is gone (the mail was deleted) names no end, and the walk goes down to 1.
        for (auto it = m_uids.cbegin(); it != m_uids.cend(); ++it)
            if (!m_settings.lastUidl.isEmpty() && it.value() == m_settings.lastUidl)
                lowest = it.key() + 1;
    }
    if (lowest > count) {
        qCDebug(lcPop3) << "no mail above the one examined last";
        m_walkIdentity = m_uids.value(count);
        sendQuit();
        return;
    }
    m_requests.start(count, m_pipelining ? m_windowBytes : 0, lowest);
    sendTops();
    m_values.MailNo = count - 1;
    m_values.WalkFloor = lowest - 1;
    setStep(SessionStep::Retr);
}

void Pop3Session::handleTop(const ReplyReader::Reply &reply, bool dropped)
{
    const qint64 number = m_requests.answered();
    // The next requests go out before this header is examined. The lowest mail is examined
    // too: once its reply is here only QUIT is left to send.
    if (m_requests.next() == 0 && m_requests.inFlight() == 0)
        sendQuit();
    else
        sendTops();

    // A mail too large to read is listed undated: never the trigger.
    const QList<HeaderField> fields = dropped ? QList<HeaderField>() : headerFields(reply.lines);
    const Examination result = examineMail(fields, m_values, m_settings.rules);
    const QString uid = m_uids.value(number);
    m_memory.examined(uid);
    takeVerdict(result);
    if (result.verdict != Verdict::GoOn) {
        setStep(SessionStep::Quit);
        m_walkIdentity = m_memory.newestExamined();
    }
    tellExamined(result, uid.isEmpty() ? WalkMemory::contentIdentity(m_values) : uid);
    if (dropped)
        reportSkipped(reply, uid);
    tellWalkEnd(result);
    if (result.verdict == Verdict::CloseNow)
        finishClose();
    else if (m_pipelining && m_values.SessionStep == SessionStep::Quit && !m_quitSent)
        quitAfterRequestsInFlight();
    // Without pipelining the one request still out is answered, and that reply closes.
}

void Pop3Session::quitAfterRequestsInFlight()
{
    // The server answers in order: QUIT goes out once every reply still due has been read.
    m_requests.stop();
    m_repliesToDrop = m_requests.inFlight();
    if (m_repliesToDrop == 0)
        sendQuit();
    else
        setStep(SessionStep::Quit);
}

void Pop3Session::dropAfterWalk()
{
    // A reply to a request sent before the walk ended: read, never examined.
    m_requests.answered();
    if (--m_repliesToDrop == 0)
        sendQuit();
}

void Pop3Session::reportSkipped(const ReplyReader::Reply &reply, const QString &id)
{
    const std::optional<QString> dateField =
        fieldValue(headerFields(reply.lines), QLatin1StringView("Date"));
    const std::optional<QDateTime> date = dateField ? localMailDate(*dateField) : std::nullopt;
    const QString when = date ? dateText(*date) : undatedText();
    const QString size = QString::number(reply.bytes);
    // Once per mail while it stays: by its unique id, else by what is known of it.
    if (m_skipped.contains(id.isEmpty() ? when + u'/' + size : id))
        return;
    m_skipped.insert(id.isEmpty() ? when + u'/' + size : id);
    emit mailSkipped(QStringLiteral("大きすぎて読めないメール（") + when + QStringLiteral("、") + size +
                     QStringLiteral(" バイト）を読み飛ばしました"));
}

void Pop3Session::onRemoteClosed()
{
    qCDebug(lcPop3) << "the server closed the connection";
    if (m_socket->bytesAvailable() > 0)
        Winsock1_DataArrival();
    if (isProtocolStep(m_values.SessionStep))
        failLost();
    else
        finishClose();
}

bool Pop3Session::sendCredential(const char *command, const QString &value)
{
    // A hand-edited store must not be able to slip further commands into the dialogue.
    if (value.contains(u'\r') || value.contains(u'\n')) {
        fail(Pop3Error::UnsafeCredential);
        return false;
    }
    send(QByteArray(command) + value.toUtf8() + "\r\n");
    return true;
}

void Pop3Session::send(const QByteArray &lines)
{
    if (lcPop3().isDebugEnabled()) {
        for (QByteArray line : lines.split('\n')) {
            if (line.isEmpty())
                continue;
            line.chop(1); // its CR
            qCDebug(lcPop3).noquote()
                << "C:" << masked(line.startsWith("PASS ") ? QByteArray("PASS ****") : line);
        }
    }
    m_socket->write(lines);
}

void Pop3Session::sendTops()
{
    const QByteArray lines = m_requests.topUp();
    if (!lines.isEmpty())
        send(lines);
}

void Pop3Session::sendQuit()
{
    send("QUIT\r\n");
    m_quitSent = true;
    setStep(SessionStep::Quit);
}

void Pop3Session::closeConnection()
{
    MailConnection::closeConnection();
    // A reply cut off here must not swallow the next session's greeting.
    m_reader.reset();
    m_awaitingCapa = false;
    m_pipelining = false;
    m_quitSent = false;
    m_awaitingUidl = false;
    m_uidl = false;
    m_repliesToDrop = 0;
    m_requests.start(0, 0);
}

} // namespace ringlark
