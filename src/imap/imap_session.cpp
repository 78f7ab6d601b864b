#include "imap_session.h"

#include "log_categories.h"
#include "mail_header.h"
#include "recognition.h"
#include "server_address.h"
#include "tcp_socket.h"

namespace ringlark {

namespace {

// A header literal as the recognition reads it: lines without their line ends.
QList<QByteArray> headerLines(const QByteArray &header)
{
    QList<QByteArray> lines = header.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// "<UIDVALIDITY>/<UID>" as stored; nullopt when it cannot be read.
std::optional<std::pair<quint64, quint64>> readIdentity(const QString &text)
{
    const qsizetype slash = text.indexOf(u'/');
    bool okValidity = false;
    bool okUid = false;
    const quint64 validity = text.left(slash).toULongLong(&okValidity);
    const quint64 uid = text.mid(slash + 1).toULongLong(&okUid);
    if (slash < 0 || !okValidity || !okUid)
        return std::nullopt;
    return std::pair{validity, uid};
}

} // namespace

ImapSession::ImapSession(SessionValues &values, SessionSettingsSource settings,
                         std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                         TimerFactory timers, QObject *parent)
    : MailConnection(values, std::move(settings), std::move(socket), messageBox, timers, lcImap,
                     parent),
      m_renew(makeTimer(timers)), m_retry(makeTimer(timers))
{
    connect(m_watchdog.get(), &Timer::timeout, this, &ImapSession::onWatchdog);
    connect(m_renew.get(), &Timer::timeout, this, &ImapSession::onRenew);
    connect(m_retry.get(), &Timer::timeout, this, [this] {
        m_retry->stop();
        emit checkWanted();
    });
    connect(m_socket, &TcpSocket::readyRead, this, &ImapSession::onReadyRead);
    connect(m_socket, &TcpSocket::errorOccurred, this, &ImapSession::onSocketError);
    connect(m_socket, &TcpSocket::remoteClosed, this, &ImapSession::onRemoteClosed);
}

ImapSession::~ImapSession()
{
    // Nothing listens any more; an IDLE still gets its DONE and LOGOUT.
    blockSignals(true);
    setPushAllowed(false);
}

void ImapSession::Command1_Click()
{
    m_retry->stop();
    SessionSettings fresh = freshSettings();
    const bool live = (m_phase == Phase::Idle || m_phase == Phase::Done) &&
                      fresh.account.server == m_settings.account.server &&
                      fresh.account.user == m_settings.account.user &&
                      fresh.account.password == m_settings.account.password;
    if (live) {
        // The IDLE connection reports new mail by itself: a check opens no new session. It
        // walks only when the mailbox grew, or when the last walk's end was not stored (the
        // dial it led to failed, and the mail must be found again).
        const bool unstored = !m_walkIdentity.isEmpty() && fresh.lastUid != m_walkIdentity;
        m_settings = std::move(fresh);
        clearFailure();
        if (m_exists <= m_walked && !unstored) {
            setStep(SessionStep::Quit);
            return;
        }
        emit started();
        m_firstBatch = unstored ? -1 : m_exists - m_walked;
        setRunning(true);
        m_deadline->startOnce(kSessionDeadlineMs);
        setStep(SessionStep::Retr);
        done(AfterIdle::Walk);
        return;
    }

    const std::optional<ServerAddress> address = startSession(std::move(fresh));
    if (!address) {
        onSocketError(errorCode(Pop3Error::BadServerAddress),
                      errorText(Pop3Error::BadServerAddress));
        return;
    }
    m_tls = address->tls;
    m_tagNumber = 0;
    m_phase = Phase::Greeting;
    connectTo(*address);
}

void ImapSession::setPushAllowed(bool allowed)
{
    m_pushAllowed = allowed;
    if (allowed)
        return;
    m_retry->stop();
    m_lostReported = false;
    if (m_phase != Phase::Idle && m_phase != Phase::Done)
        return;
    // At once: a stopped monitor or an ending program waits for nothing.
    if (m_phase == Phase::Idle)
        send("DONE\r\n");
    command("LOGOUT");
    finishClose();
}

void ImapSession::setRetryCap(int ms)
{
    m_retryCapMs = qBound(kFirstRetryMs, ms, kMaxRetryMs);
}

void ImapSession::onReadyRead()
{
    const QByteArray chunk = m_socket->readAll();
    if (chunk.isEmpty())
        return;
    if (m_phase == Phase::Closed) {
        showChunk(chunk);
        return;
    }
    if (m_watchdog->isActive())
        m_watchdog->startOnce(kWatchdogMs);
    holdTraffic(chunk, m_reader.appendedBytes());
    m_reader.append(chunk);
    processResponses();
    showTraffic(-1);
}

void ImapSession::onSocketError(int code, const QString &description)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Done) {
        qCDebug(lcImap).noquote() << "socket error" << code << description;
        lost();
    } else if (m_phase == Phase::Logout) {
        reportSocketError(code, description);
        finishClose();
    } else {
        endOnSocketError(code, description);
    }
}

void ImapSession::onRemoteClosed()
{
    qCDebug(lcImap) << "the server closed the connection";
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
    if (m_phase == Phase::Idle || m_phase == Phase::Done) {
        lost();
    } else if (m_phase == Phase::Logout || m_phase == Phase::Closed || !isRunning()) {
        finishClose();
    } else {
        failLost();
    }
}

void ImapSession::onWatchdog()
{
    m_watchdog->stop();
    if (m_socket->bytesAvailable() > 0) {
        onReadyRead();
        if (m_watchdog->isActive() || m_phase == Phase::Closed)
            return;
    }
    if (m_phase == Phase::Idle || m_phase == Phase::Done) {
        qCDebug(lcImap) << "watchdog: the IDLE was not answered";
        lost();
        return;
    }
    if (m_phase == Phase::Logout) {
        finishClose();
        return;
    }
    qCDebug(lcImap) << "watchdog: the server does not answer";
    endUnanswered();
}

void ImapSession::onRenew()
{
    m_renew->stop();
    if (m_phase == Phase::Idle)
        done(AfterIdle::Renew);
}

void ImapSession::processResponses()
{
    const quint64 generation = m_generation;
    while (generation == m_generation && m_phase != Phase::Closed) {
        ImapReader::Response response;
        switch (m_reader.take(response)) {
        case ImapReader::Result::Incomplete:
            return;
        case ImapReader::Result::TooLarge:
            fail(Pop3Error::ReplyTooLarge);
            return;
        case ImapReader::Result::Complete:
            showTraffic(m_reader.takenBytes());
            handle(response);
            break;
        }
    }
}

void ImapSession::handle(const ImapReader::Response &response)
{
    if (lcImap().isDebugEnabled()) {
        QString shown = masked(response.text);
        for (const QByteArray &literal : response.literals)
            shown += QStringLiteral(" [%1 bytes]").arg(literal.size());
        qCDebug(lcImap).noquote() << "S:" << shown;
    }
    if (response.continuation()) {
        if (!m_parts.isEmpty()) {
            send(m_parts.takeFirst(), "****");
        } else if (m_phase == Phase::Idle && !m_idleAcked) {
            m_idleAcked = true;
            m_lostReported = false;
            m_retryMs = kFirstRetryMs;
            m_watchdog->stop();
            m_renew->start(kRenewMs);
            if (m_afterIdle != AfterIdle::Nothing)
                done(m_afterIdle);
            else if (m_exists > m_walked)
                emit checkWanted(); // mail that came during the walk
        }
        return;
    }
    if (response.untagged())
        handleUntagged(response);
    else
        handleTagged(response);
}

void ImapSession::handleUntagged(const ImapReader::Response &response)
{
    const QByteArray first = response.word(1);
    if (m_phase == Phase::Greeting) {
        if (first != "OK" && first != "PREAUTH") {
            // A BYE (too many connections, say) or not an IMAP server at all.
            noteFailure(SessionFailure::Socket, masked(response.text.mid(2)));
            finishClose();
            setStep(SessionStep::Quit);
            return;
        }
        m_afterLogin = first == "PREAUTH";
        m_tag = command("CAPABILITY");
        m_phase = Phase::Capability;
        return;
    }
    if (first == "BYE") {
        if (m_phase != Phase::Logout)
            noteFailure(SessionFailure::Socket, masked(response.text.mid(2)));
        return;
    }
    if (first == "CAPABILITY") {
        m_capabilities = capabilityWords(response.text);
        return;
    }
    if (first == "OK" || first == "NO" || first == "BAD") {
        if (const auto validity = responseCodeNumber(response.text, "UIDVALIDITY"))
            m_uidValidity = *validity;
        if (const auto next = responseCodeNumber(response.text, "UIDNEXT"))
            m_uidNext = *next;
        return;
    }
    bool ok = false;
    const qint64 number = first.toLongLong(&ok);
    if (!ok || number < 0)
        return; // FLAGS, RECENT's kin, and whatever else a server adds
    const QByteArray what = response.word(2);
    if (what == "EXISTS") {
        m_exists = number;
        if (m_phase == Phase::Idle && m_idleAcked && m_exists > m_walked)
            emit checkWanted();
    } else if (what == "EXPUNGE") {
        if (number <= m_exists)
            --m_exists;
        if (number <= m_walked)
            --m_walked;
    } else if (what == "FETCH" && m_walking && !m_batches.isEmpty() &&
               number >= m_batches.last().from && number <= m_batches.first().to) {
        const std::optional<QList<ImapToken>> tokens = imapTokens(response);
        if (!tokens) {
            fail(Pop3Error::ImapUnreadable);
            return;
        }
        Fetched &mail = m_fetched[number];
        // "* n FETCH (name value name value ...)"; a value may be a list (FLAGS).
        for (qsizetype i = 4; i + 1 < tokens->size(); ++i) {
            const QByteArray name = tokens->at(i).text.toUpper();
            const ImapToken &value = tokens->at(i + 1);
            if (name == "UID")
                mail.uid = value.text.toULongLong();
            else if (name == "BODY[HEADER]" && value.kind == ImapToken::Kind::String)
                m_fetchedBytes += (mail.header = value.text).size();
            ++i;
            for (int depth = value.kind == ImapToken::Kind::Open ? 1 : 0;
                 depth > 0 && i + 1 < tokens->size();) {
                const ImapToken::Kind kind = tokens->at(++i).kind;
                depth += kind == ImapToken::Kind::Open    ? 1
                         : kind == ImapToken::Kind::Close ? -1
                                                          : 0;
            }
        }
        if (m_fetchedBytes > kMaxReplyBytes)
            fail(Pop3Error::ReplyTooLarge);
    }
}

void ImapSession::handleTagged(const ImapReader::Response &response)
{
    const QByteArray tag = response.tag();
    const bool ok = response.word(1) == "OK";
    if (!m_batches.isEmpty() && tag == m_batches.first().tag) {
        const Batch batch = m_batches.takeFirst();
        if (!ok && m_walking) {
            // A server that cannot give the headers: the session ends politely.
            m_walking = false;
            logout();
            return;
        }
        if (m_walking)
            examineBatch(batch);
        if (m_walking)
            sendBatches();
        else if (m_batches.isEmpty() && m_phase == Phase::Fetch)
            afterWalk();
        return;
    }
    if (!m_idleTag.isEmpty() && tag == m_idleTag) {
        // The IDLE ended: after our DONE, or refused by a server that lists it all the same.
        m_idleTag.clear();
        if (m_phase == Phase::Fetch || m_phase == Phase::Logout)
            return; // the walk sent right behind DONE is under way
        m_watchdog->stop();
        const AfterIdle then = std::exchange(m_afterIdle, AfterIdle::Nothing);
        if (m_phase == Phase::Done && then == AfterIdle::Walk)
            startWalk();
        else if ((m_phase == Phase::Done && then == AfterIdle::Renew) ||
                 (m_phase == Phase::Idle && ok))
            idle();
        else
            logout();
        return;
    }
    if (tag != m_tag)
        return;
    m_tag.clear();
    switch (m_phase) {
    case Phase::Capability:
        if (m_afterLogin) {
            m_tag = command("EXAMINE INBOX");
            m_phase = Phase::Examine;
            setStep(SessionStep::Stat);
        } else {
            login();
        }
        break;
    case Phase::Login:
        m_parts.clear(); // answered, whatever of it the server did not wait for
        if (!ok) {
            // The owner must hear of a refused password, in the server's own words.
            noteFailure(SessionFailure::LoginRefused, masked(response.text.mid(tag.size() + 1)));
            logout();
            break;
        }
        // Some servers (Cyrus) list IDLE only once signed in.
        m_afterLogin = true;
        m_capabilities.clear();
        m_tag = command("CAPABILITY");
        m_phase = Phase::Capability;
        break;
    case Phase::Examine:
        if (!ok) {
            fail(Pop3Error::MailboxRefused);
            break;
        }
        {
            // Only as many messages as can be new: UIDNEXT bounds them.
            const std::optional<std::pair<quint64, quint64>> stored =
                readIdentity(m_settings.lastUid);
            m_firstBatch = -1;
            if (stored && stored->first == m_uidValidity && m_uidNext)
                m_firstBatch = qMax<qint64>(0, qint64(*m_uidNext) - 1 - qint64(stored->second));
            m_walked = 0;
            startWalk();
        }
        break;
    case Phase::Logout:
        finishClose();
        break;
    case Phase::Closed:
    case Phase::Greeting:
    case Phase::Fetch:
    case Phase::Idle:
    case Phase::Done:
        break;
    }
}

void ImapSession::login()
{
    const QByteArray user = m_settings.account.user.toUtf8();
    const QByteArray password = m_settings.account.password.toUtf8();
    if (user.contains('\r') || user.contains('\n') || password.contains('\r') ||
        password.contains('\n')) {
        fail(Pop3Error::UnsafeCredential);
        return;
    }
    m_phase = Phase::Login;
    setStep(SessionStep::User);
    if (m_capabilities.contains("LOGINDISABLED")) {
        // Over TLS a server may still take the password by SASL PLAIN; in clear it wants
        // STARTTLS, which is not ours to offer: say so rather than send it.
        if (!m_tls || !m_capabilities.contains("AUTH=PLAIN")) {
            noteFailure(SessionFailure::LoginRefused, QStringLiteral("LOGINDISABLED"));
            logout();
            return;
        }
        m_parts = {(QByteArray(1, '\0') + user + '\0' + password).toBase64() + "\r\n"};
        m_tag = command("AUTHENTICATE PLAIN");
        return;
    }
    // Quoted where RFC 3501 allows it, else a literal sent on the server's "+".
    m_tag = "A" + QByteArray::number(++m_tagNumber);
    QByteArray piece = m_tag + " LOGIN ";
    QList<QByteArray> pieces;
    for (int i = 0; i < 2; ++i) {
        const QByteArray &value = i == 0 ? user : password;
        const QByteArray end = i == 0 ? " " : "\r\n";
        if (const std::optional<QByteArray> quoted = imapQuoted(value)) {
            piece += *quoted + end;
            continue;
        }
        pieces.append(piece + '{' + QByteArray::number(value.size()) + "}\r\n");
        piece = value + end;
    }
    pieces.append(piece);
    m_parts = pieces;
    send(m_parts.takeFirst(), m_tag + " LOGIN ****");
}

void ImapSession::startWalk()
{
    m_baseUid = 0;
    if (const auto stored = readIdentity(m_settings.lastUid);
        stored && stored->first == m_uidValidity)
        m_baseUid = stored->second;
    // A first count of 0 from a known end: nothing can be new.
    const bool bounded = m_baseUid > 0 && m_firstBatch >= 0 && m_firstBatch <= kBatch;
    m_walkCovered = bounded;
    m_values.MailCount = QString::number(m_exists);
    m_walked = m_exists;
    m_nextTop = m_exists;
    m_walking = true;
    m_examinedAny = false;
    m_batchesDone = 0;
    m_fetched.clear();
    m_fetchedBytes = 0;
    m_phase = Phase::Fetch;
    setStep(SessionStep::Retr);
    if (m_exists == 0 || (bounded && m_firstBatch == 0)) {
        endWalk(false);
        return;
    }
    if (!bounded)
        m_firstBatch = kBatch;
    sendBatches();
}

void ImapSession::sendBatches()
{
    // A first request known to cover every new mail goes alone; otherwise a few are kept in
    // flight, so that a long walk costs a round trip per few batches.
    const qsizetype inFlight = m_walkCovered && m_batchesDone == 0 ? 1 : 8;
    while (m_walking && m_nextTop >= 1 && m_batches.size() < inFlight) {
        const qint64 size = m_batchesDone == 0 && m_batches.isEmpty() ? m_firstBatch : kBatch;
        const qint64 from = qMax<qint64>(1, m_nextTop - size + 1);
        const QByteArray tag = command("FETCH " + QByteArray::number(from) + ':' +
                                       QByteArray::number(m_nextTop) + " (UID BODY.PEEK[HEADER])");
        m_batches.append({tag, from, m_nextTop});
        m_nextTop = from - 1;
    }
}

void ImapSession::examineBatch(const Batch &batch)
{
    ++m_batchesDone;
    for (qint64 seq = batch.to; seq >= batch.from && m_walking; --seq) {
        const auto it = m_fetched.constFind(seq);
        if (it == m_fetched.cend())
            continue; // expunged meanwhile
        const Fetched mail = *it;
        if (mail.uid == 0) {
            fail(Pop3Error::ImapUnreadable);
            return;
        }
        // The end by identity: everything from here down was examined by an earlier walk.
        if (mail.uid <= m_baseUid) {
            endWalk(m_examinedAny);
            break;
        }
        if (!examine(seq, mail))
            break;
    }
    m_fetched.removeIf([&batch](const auto &entry) { return entry.key() >= batch.from; });
    m_fetchedBytes = 0;
    for (const Fetched &mail : std::as_const(m_fetched))
        m_fetchedBytes += mail.header.size();
    if (m_walking && m_batchesDone == 1 && m_walkCovered)
        endWalk(m_examinedAny);
}

bool ImapSession::examine(qint64 seq, const Fetched &mail)
{
    if (!m_examinedAny) {
        m_examinedAny = true;
        m_walkIdentity = QString::number(m_uidValidity) + u'/' + QString::number(mail.uid);
    }
    m_values.MailNo = seq - 1;
    // The walk ends by identity, never at a mail that merely looks like the one seen last,
    // nor at a matching mail that is not new.
    m_settings.rules.walkByIdentity = true;
    const Examination result =
        examineMail(headerFields(headerLines(mail.header)), m_values, m_settings.rules);
    takeVerdict(result);
    tellExamined(result, QString::number(m_uidValidity) + u'/' + QString::number(mail.uid));
    tellWalkEnd(result);
    if (result.verdict == Verdict::GoOn)
        return true;
    endWalk(false);
    return false;
}

void ImapSession::endWalk(bool announceNewest)
{
    m_walking = false;
    m_nextTop = 0;
    if (announceNewest)
        emit walkEnded(mailDateText(m_values.SessionNewestDate));
    // The check's result stands: the check cycle goes on (and dials) while the requests
    // still in flight are read.
    setStep(SessionStep::Quit);
    if (m_batches.isEmpty())
        afterWalk();
}

void ImapSession::afterWalk()
{
    m_fetched.clear();
    m_fetchedBytes = 0;
    m_deadline->stop();
    if (m_pushAllowed && m_capabilities.contains("IDLE"))
        idle();
    else
        logout();
}

void ImapSession::idle()
{
    m_idleTag = command("IDLE");
    m_phase = Phase::Idle;
    m_idleAcked = false;
    m_watchdog->startOnce(kWatchdogMs);
    setRunning(false);
}

void ImapSession::done(AfterIdle then)
{
    m_afterIdle = then;
    m_renew->stop();
    if (m_phase != Phase::Idle || !m_idleAcked)
        return; // DONE goes out once the server has said "+", or already went
    send("DONE\r\n");
    m_phase = Phase::Done;
    m_watchdog->startOnce(kWatchdogMs);
    // The server answers in order: the walk need not wait a round trip for the IDLE's end.
    if (std::exchange(m_afterIdle, AfterIdle::Nothing) == AfterIdle::Walk)
        startWalk();
    else
        m_afterIdle = then;
}

void ImapSession::logout()
{
    m_tag = command("LOGOUT");
    m_phase = Phase::Logout;
    m_watchdog->startOnce(kWatchdogMs);
    setStep(SessionStep::Quit);
}

void ImapSession::lost()
{
    const bool checking = isRunning();
    qCDebug(lcImap) << "the IDLE connection is lost";
    finishClose();
    if (checking) {
        noteFailure(SessionFailure::Socket, errorReport(Pop3Error::ConnectionLost));
        emit failed(errorReport(Pop3Error::ConnectionLost));
        setStep(SessionStep::Quit);
    }
    if (!m_pushAllowed)
        return;
    if (!m_lostReported) {
        m_lostReported = true;
        m_retryMs = kFirstRetryMs;
        emit pushLost();
    }
    scheduleRetry();
}

void ImapSession::scheduleRetry()
{
    if (!m_pushAllowed)
        return;
    m_retry->start(qMin(m_retryMs, m_retryCapMs));
    m_retryMs = qMin(m_retryMs * 2, kMaxRetryMs);
}

QByteArray ImapSession::command(const QByteArray &text)
{
    const QByteArray tag = "A" + QByteArray::number(++m_tagNumber);
    send(tag + ' ' + text + "\r\n");
    return tag;
}

void ImapSession::send(const QByteArray &bytes, const QByteArray &shown)
{
    if (lcImap().isDebugEnabled())
        qCDebug(lcImap).noquote() << "C:"
                                  << (shown.isEmpty() ? masked(bytes.trimmed())
                                                      : QString::fromLatin1(shown));
    m_socket->write(bytes);
}

void ImapSession::afterFailure()
{
    if (m_lostReported)
        scheduleRetry();
}

void ImapSession::closeConnection()
{
    MailConnection::closeConnection();
    m_renew->stop();
    // A response cut off here must not swallow the next session's greeting.
    m_reader.reset();
    dropUnshownTraffic();
    m_phase = Phase::Closed;
    m_afterIdle = AfterIdle::Nothing;
    m_tag.clear();
    m_idleTag.clear();
    m_idleAcked = false;
    m_parts.clear();
    m_capabilities.clear();
    m_afterLogin = false;
    m_batches.clear();
    m_fetched.clear();
    m_fetchedBytes = 0;
    m_walking = false;
    m_exists = 0;
    m_walked = 0;
    m_uidValidity = 0;
    m_uidNext.reset();
}

} // namespace ringlark
