#include "curl_smtp_sender.h"

#include "log_categories.h"
#include "smtp_server.h"

#include <curl/curl.h>

#include <QPointer>
#include <QSysInfo>
#include <QUrl>

#include <cstring>
#include <mutex>

namespace ringlark {

namespace {

struct Transfer
{
    QByteArray message;
    qsizetype sent = 0;
    QString lastServerLine;
    std::shared_ptr<std::atomic<bool>> stop;
};

size_t readBody(char *buffer, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = std::min(size * count, static_cast<size_t>(t->message.size() - t->sent));
    std::memcpy(buffer, t->message.constData() + t->sent, n);
    t->sent += static_cast<qsizetype>(n);
    return n;
}

int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer *>(user)->stop->load() ? 1 : 0;
}

// The dialogue for the ringlark.reply category: the server's lines, and of ours only the
// command names, since AUTH and the lines after it carry the password.
int trace(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    QString line = QString::fromUtf8(data, static_cast<qsizetype>(size)).trimmed();
    // The server's words reach the log: no control character of theirs goes with them.
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    if (type == CURLINFO_HEADER_IN) {
        t->lastServerLine = line;
        qCDebug(lcReply).noquote() << "S:" << line;
        return 0;
    }
    static const QStringList kShown = {QStringLiteral("EHLO"),     QStringLiteral("HELO"),
                                       QStringLiteral("STARTTLS"), QStringLiteral("MAIL"),
                                       QStringLiteral("RCPT"),     QStringLiteral("DATA"),
                                       QStringLiteral("QUIT")};
    const QString verb = line.section(u' ', 0, 0).toUpper();
    qCDebug(lcReply).noquote() << "C:"
                               << (kShown.contains(verb) ? line
                                                         : verb.left(4) + QStringLiteral(" ****"));
    return 0;
}

// Runs on the worker thread: everything it touches was copied in.
QString sendNow(const OutgoingMail &mail, const QString &caFile,
                std::shared_ptr<std::atomic<bool>> stop, bool &ok)
{
    ok = false;
    const std::optional<SmtpServer> server = parseSmtpServer(mail.server);
    if (!server)
        return QStringLiteral("SMTPSERVER「") + mail.server +
               QStringLiteral("」は smtps://host[:port] か smtp://host[:port] で指定してください");
    CURL *curl = curl_easy_init();
    if (!curl)
        return QStringLiteral("libcurl を初期化できません");
    Transfer transfer{mail.message, 0, {}, std::move(stop)};
    char error[CURL_ERROR_SIZE] = {};
    // The path names us in EHLO.
    const QByteArray url =
        (server->url() + u'/' +
         QString::fromLatin1(QUrl::toPercentEncoding(QSysInfo::machineHostName())))
            .toUtf8();
    const QByteArray user = mail.user.toUtf8(), password = mail.password.toUtf8();
    const QByteArray from = '<' + mail.from.toUtf8() + '>', to = '<' + mail.to.toUtf8() + '>';
    const QByteArray ca = caFile.toLocal8Bit();
    curl_slist *recipients = curl_slist_append(nullptr, to.constData());
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     server->startTlsRequired ? CURLUSESSL_ALL : CURLUSESSL_TRY);
    if (!ca.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, ca.constData());
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
        // PLAIN or LOGIN where offered; a server that offers no AUTH gets none.
        curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=PLAIN;AUTH=LOGIN");
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readBody);
    curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.message.size()));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, trace);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    const CURLcode result = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    if (result == CURLE_OK) {
        ok = true;
        return transfer.lastServerLine;
    }
    QString detail = QString::fromUtf8(error[0] ? error : curl_easy_strerror(result));
    // The server's own words, where it refused something.
    if (!transfer.lastServerLine.isEmpty() &&
        (result == CURLE_LOGIN_DENIED || result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR ||
         result == CURLE_WEIRD_SERVER_REPLY || result == CURLE_USE_SSL_FAILED ||
         result == CURLE_UPLOAD_FAILED || result == CURLE_QUOTE_ERROR))
        detail += QStringLiteral("（") + transfer.lastServerLine + QStringLiteral("）");
    return detail;
}

} // namespace

CurlSmtpSender::CurlSmtpSender(QObject *parent) : MailSender(parent)
{
    // Not thread-safe in older libcurl: once, from the thread that makes the first sender.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlSmtpSender::~CurlSmtpSender()
{
    m_stop->store(true);
    if (m_worker.joinable())
        m_worker.join();
}

void CurlSmtpSender::send(quint64 id, const OutgoingMail &mail)
{
    m_queue.enqueue({id, mail});
    if (!m_busy)
        startNext();
}

void CurlSmtpSender::startNext()
{
    if (m_queue.isEmpty())
        return;
    m_busy = true;
    if (m_worker.joinable())
        m_worker.join(); // the last one has posted its result and is ending
    const Job job = m_queue.dequeue();
    qCDebug(lcReply) << "sending" << job.id << "to" << job.mail.to << "through" << job.mail.server;
    m_worker = std::thread([this, job, caFile = m_caFile, stop = m_stop] {
        bool ok = false;
        const QString detail = sendNow(job.mail, caFile, stop, ok);
        // Posted to this object: the destructor joins before the object goes, and posted
        // calls to a destroyed object are dropped.
        QMetaObject::invokeMethod(
            this, [this, id = job.id, ok, detail] { onDone(id, ok, detail); },
            Qt::QueuedConnection);
    });
}

void CurlSmtpSender::onDone(quint64 id, bool ok, const QString &detail)
{
    m_busy = false;
    qCDebug(lcReply) << "sent" << id << ok << detail;
    emit finished(id, ok, detail);
    startNext();
}

} // namespace ringlark
