#include "ok_checks.h"

#include "leading_number.h"

namespace ringlark {

QString intervalRefusal(const QString &seconds)
{
    if (leadingNumber(seconds) > 0)
        return {};
    return QStringLiteral("チェック間隔「") + seconds +
           QStringLiteral("」では監視できません。0 より大きい秒数を入れてください");
}

QString senderVerdictRefusal(bool required, const QString &authServId)
{
    if (!required || !authServId.trimmed().isEmpty())
        return {};
    return QStringLiteral("送信者を認証結果で確認するには、認証ｻｰﾊﾞｰIDを入れてください");
}

} // namespace ringlark
