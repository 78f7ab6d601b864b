#include "failure_notices.h"

namespace ringlark {

namespace {

QString masked(QString text, const QString &secret)
{
    // A server that quotes the command it refused would otherwise put the password in a
    // log that may be mailed around or kept by the service manager.
    if (!secret.isEmpty())
        text.replace(secret, QStringLiteral("****"));
    return text;
}

QString failureLine(SessionFailure failure, const QString &detail)
{
    switch (failure) {
    case SessionFailure::None:
        return QStringLiteral("メールサーバーの確認ができるようになりました");
    case SessionFailure::LoginRefused:
        return QStringLiteral("メールサーバーがログインを拒否しました: ") + detail;
    case SessionFailure::Tls:
        return QStringLiteral("メールサーバーとの TLS 接続に失敗しました: ") + detail;
    case SessionFailure::Socket:
        return QStringLiteral("メールサーバーに接続できません: ") + detail;
    case SessionFailure::Silent:
        return QStringLiteral("メールサーバーが応答しないため、確認を打ち切りました");
    case SessionFailure::Overran:
        return QStringLiteral("メールサーバーの確認が制限時間内に終わらないため、打ち切りました");
    case SessionFailure::PushLost:
        return QStringLiteral("メールサーバーとの接続が切れました。接続し直します");
    }
    return {};
}

} // namespace

QString FailureNotices::sessionEnded(SessionFailure failure, const QString &detail,
                                     const QString &secret)
{
    const QString shown = failure == SessionFailure::None ? QString() : masked(detail, secret);
    if (failure == m_failure && shown == m_detail)
        return {};
    m_failure = failure;
    m_detail = shown;
    return failureLine(failure, shown);
}

} // namespace ringlark
