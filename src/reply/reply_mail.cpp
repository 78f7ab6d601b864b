#include "reply_mail.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

namespace ringlark {

namespace {

bool printableAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

QByteArray rfc5322Date(const QDateTime &local)
{
    const int offset = local.offsetFromUtc() / 60;
    const QString zone = (offset < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
                         QStringLiteral("%1%2")
                             .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    return QLocale::c()
        .toString(local, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss "))
        .append(zone)
        .toLatin1();
}

QByteArray base64Lines(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + "\r\n";
    return out;
}

} // namespace

std::optional<QString> mailboxAddress(const QString &text)
{
    static const QRegularExpression kAddress(
        QStringLiteral(R"(^[^\s<>()\[\]\\,;:"@]+@[^\s<>()\[\]\\,;:"@]+$)"));
    const QString address = text.trimmed();
    // ASCII only: an address beyond it needs SMTPUTF8, which few servers offer.
    if (!printableAscii(address) || !kAddress.match(address).hasMatch())
        return std::nullopt;
    return address;
}

std::optional<QString> messageIdOf(const QString &field)
{
    static const QRegularExpression kId(QStringLiteral(R"(<[!-;=?-~]+@[!-;=?-~]+>)"));
    const QRegularExpressionMatch m = kId.match(field);
    if (!m.hasMatch() || m.capturedLength() > 250)
        return std::nullopt;
    return m.captured();
}

QByteArray subjectField(const QString &subject)
{
    QByteArray out = "Subject: ";
    if (printableAscii(subject) && subject.size() <= 70)
        return out + subject.toLatin1() + "\r\n";
    // Each word holds at most 45 bytes of UTF-8 (60 in base64, 72 with its frame), cut at a
    // character's boundary so that every word decodes on its own.
    QByteArray chunk;
    bool first = true;
    const auto flush = [&] {
        out += (first ? "" : "\r\n ") + ("=?UTF-8?B?" + chunk.toBase64() + "?=");
        first = false;
        chunk.clear();
    };
    for (qsizetype i = 0; i < subject.size();) {
        const qsizetype len = subject.at(i).isHighSurrogate() && i + 1 < subject.size() ? 2 : 1;
        const QByteArray character = subject.mid(i, len).toUtf8();
        if (chunk.size() + character.size() > 45)
            flush();
        chunk += character;
        i += len;
    }
    if (!chunk.isEmpty() || first)
        flush();
    return out + "\r\n";
}

QByteArray composeReply(const ReplyMail &mail)
{
    QByteArray out;
    out += "From: " + mail.from.toUtf8() + "\r\n";
    out += "To: " + mail.to.toUtf8() + "\r\n";
    out += subjectField(mail.subject);
    out += "Date: " + rfc5322Date(mail.date) + "\r\n";
    out += "Message-ID: <" + mail.idUnique.toLatin1() + '@' + mail.idDomain.toLatin1() + ">\r\n";
    if (!mail.inReplyTo.isEmpty()) {
        out += "In-Reply-To: " + mail.inReplyTo.toLatin1() + "\r\n";
        out += "References: " + mail.inReplyTo.toLatin1() + "\r\n";
    }
    out += "Auto-Submitted: auto-replied\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n\r\n";
    QString body = mail.body;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(u'\n', QStringLiteral("\r\n"));
    if (!body.endsWith(QStringLiteral("\r\n")))
        body += QStringLiteral("\r\n");
    out += base64Lines(body.toUtf8());
    return out;
}

} // namespace ringlark
