#include "pop3_errors.h"

#include <array>

namespace ringlark {

namespace {
constexpr std::array<Pop3ErrorInfo, 9> kErrors{{
    {Pop3Error::StatReplyUnreadable, u"STATの応答からメール数を読めません"},
    {Pop3Error::MessageCountTooLarge, u"メール数が大きすぎます"},
    {Pop3Error::ReplyTooLarge, u"サーバーの応答が大きすぎます"},
    {Pop3Error::UnsafeCredential, u"ユーザー名かパスワードに改行が含まれています"},
    {Pop3Error::ConnectionLost, u"サーバーが接続を切りました"},
    {Pop3Error::BadServerAddress, u"POP3サーバーの指定が正しくありません"},
    {Pop3Error::SessionTooLong, u"メールサーバーとのやり取りが制限時間内に終わりません"},
    {Pop3Error::ImapUnreadable, u"IMAPサーバーの応答を読めません"},
    {Pop3Error::MailboxRefused, u"受信箱を開けません"},
}};
} // namespace

int errorCode(Pop3Error error)
{
    return static_cast<int>(error);
}

QString errorText(Pop3Error error)
{
    for (const Pop3ErrorInfo &info : kErrors)
        if (info.error == error)
            return QString::fromUtf16(info.text);
    return QString();
}

QString errorReport(int code, const QString &text)
{
    return QStringLiteral("ERR(") + QString::number(code) + u';' + text + u')';
}

QString errorReport(Pop3Error error)
{
    return errorReport(errorCode(error), errorText(error));
}

} // namespace ringlark
