#include "mail_connection.h"

#include "message_box.h"
#include "recognition.h"
#include "server_address.h"
#include "tcp_socket.h"

#include <QAbstractSocket>
#include <QLoggingCategory>
#include <QPointer>

namespace ringlark {

MailConnection::MailConnection(SessionValues &values, SessionSettingsSource settings,
                               TcpSocket &socket, MessageBox &messageBox,
                               const TimerFactory &timers, LogCategory log, QObject *parent)
    : MailSession(parent), m_values(values), m_socket(&socket), m_watchdog(makeTimer(timers)),
      m_deadline(makeTimer(timers)), m_settingsSource(std::move(settings)),
      m_messageBox(messageBox), m_log(log)
{
    connect(m_deadline.get(), &Timer::timeout, this, &MailConnection::onDeadline);
}

MailConnection::MailConnection(SessionValues &values, SessionSettingsSource settings,
                               std::unique_ptr<TcpSocket> socket, MessageBox &messageBox,
                               const TimerFactory &timers, LogCategory log, QObject *parent)
    : MailConnection(values, std::move(settings), *socket, messageBox, timers, log, parent)
{
    m_ownedSocket = std::move(socket);
}

MailConnection::~MailConnection()
{
    // The socket never outlives its session's window; a server left waiting would only
    // time out on its side. The protocol's handlers are gone already: nothing reaches them.
    m_socket->disconnect(this);
    if (!m_socket->isClosed())
        m_socket->close();
}

SessionSettings MailConnection::freshSettings() const
{
    return m_settingsSource ? m_settingsSource() : SessionSettings{};
}

std::optional<ServerAddress> MailConnection::startSession(SessionSettings settings)
{
    ++m_generation;
    clearFailure();
    m_settings = std::move(settings);
    emit started();
    closeConnection();
    setStep(SessionStep::Connect);
    m_watchdog->startOnce(kWatchdogMs);
    m_deadline->startOnce(kSessionDeadlineMs);
    setRunning(true);

    const std::optional<ServerAddress> address = parseServerAddress(m_settings.account.server);
    if (!address)
        qCDebug(m_log).noquote() << "bad server address:" << m_settings.account.server;
    return address;
}

void MailConnection::connectTo(const ServerAddress &address)
{
    qCDebug(m_log).noquote() << "connecting to" << address.host << address.port
                             << (address.tls ? "(TLS)" : "(plain)");
    m_socket->connectToServer(address.host, address.port, address.tls);
}

void MailConnection::clearFailure()
{
    m_failure = SessionFailure::None;
    m_failureDetail.clear();
}

void MailConnection::holdTraffic(const QByteArray &chunk, qint64 from)
{
    m_unshown = chunk;
    m_unshownFrom = from;
}

void MailConnection::showTraffic(qint64 upTo)
{
    // With many replies in one chunk, each is shown before it is acted on, so that the
    // traffic view keeps every separator after its own reply.
    const qsizetype end =
        upTo < 0 ? m_unshown.size()
                 : qsizetype(qBound<qint64>(0, upTo - m_unshownFrom, m_unshown.size()));
    if (end == 0)
        return;
    const QString text = m_trafficDecoder.decode(QByteArrayView(m_unshown).first(end));
    m_unshown.remove(0, end);
    m_unshownFrom += end;
    emit dataArrived(text);
}

void MailConnection::showChunk(const QByteArray &chunk)
{
    emit dataArrived(m_trafficDecoder.decode(chunk));
}

void MailConnection::reportSocketError(int code, const QString &description)
{
    qCDebug(m_log).noquote() << "socket error" << code << description;
    const bool tls = code == QAbstractSocket::SslHandshakeFailedError ||
                     code == QAbstractSocket::SslInternalError ||
                     code == QAbstractSocket::SslInvalidUserDataError;
    noteFailure(tls ? SessionFailure::Tls : SessionFailure::Socket, errorReport(code, description));
    // An unattended machine must not pile up a box per check: one at a time.
    if (m_boxOpen)
        return;
    m_boxOpen = true;
    // The box may outlive the session (the program ends while it is open).
    m_messageBox.open(errorReport(code, description), MessageBox::Icon::None,
                      [self = QPointer<MailConnection>(this)] {
                          if (self)
                              self->m_boxOpen = false;
                      });
}

void MailConnection::endOnSocketError(int code, const QString &description)
{
    reportSocketError(code, description);
    if (m_running)
        endUnanswered();
}

void MailConnection::endUnanswered()
{
    noteFailure(SessionFailure::Silent);
    finishClose();
    emit serverSilent();
    setStep(SessionStep::Quit);
    afterFailure();
}

void MailConnection::fail(Pop3Error error)
{
    qCDebug(m_log).noquote() << "session failed:" << errorReport(error);
    finishClose();
    emit failed(errorReport(error));
    setStep(SessionStep::Quit);
    afterFailure();
}

void MailConnection::failLost()
{
    noteFailure(SessionFailure::Socket, errorReport(Pop3Error::ConnectionLost));
    fail(Pop3Error::ConnectionLost);
}

void MailConnection::onDeadline()
{
    // Only a session still running can outlive its deadline; every ending stops the timer.
    if (!m_running)
        return;
    qCDebug(m_log) << "the session outlived its deadline";
    noteFailure(SessionFailure::Overran);
    fail(Pop3Error::SessionTooLong);
}

void MailConnection::finishClose()
{
    closeConnection();
    m_watchdog->stop();
    m_deadline->stop();
    setRunning(false);
}

void MailConnection::closeConnection()
{
    if (!m_socket->isClosed())
        m_socket->close();
    m_trafficDecoder.resetState();
}

void MailConnection::setStep(SessionStep step)
{
    if (m_values.SessionStep == step)
        return;
    m_values.SessionStep = step;
    if (step == SessionStep::Quit)
        emit ended(m_failure, m_failureDetail);
    emit sessionStepChanged();
}

void MailConnection::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    emit runningChanged(running);
}

void MailConnection::noteFailure(SessionFailure failure, const QString &detail)
{
    if (m_failure != SessionFailure::None)
        return;
    m_failure = failure;
    m_failureDetail = detail;
}

QString MailConnection::masked(const QByteArray &line) const
{
    QString shown = QString::fromUtf8(line);
    const QString &password = m_settings.account.password;
    if (!password.isEmpty())
        shown.replace(password, QStringLiteral("****"));
    return shown;
}

void MailConnection::takeVerdict(const Examination &result)
{
    if (result.verdict == Verdict::TriggerFound) {
        m_values.TriggerFlag = TriggerFlag::Start;
        m_values.TriggerFoundDate = m_values.TriggerMailDate.value;
        m_values.TriggerFoundCodeStep = result.checks.codeStep;
        m_values.TriggerFoundMail = result.trigger;
    } else if (result.verdict == Verdict::CloseNow) {
        m_values.TriggerFlag = TriggerFlag::Stop;
    }
}

void MailConnection::tellExamined(const Examination &result, const QString &identity)
{
    emit mailExamined(result.resultLines);
    for (const QString &line :
         m_memory.failureLines(identity, result.checks, m_values.TriggerMailDate))
        emit triggerIgnored(line);
}

void MailConnection::tellWalkEnd(const Examination &result)
{
    if (result.passedOver)
        emit mailPassedOver(*result.passedOver);
    if (result.newestMailText)
        emit walkEnded(*result.newestMailText);
}

} // namespace ringlark
