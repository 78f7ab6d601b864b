#include "date_text.h"

#include <QLocale>
#include <QRegularExpression>

namespace ringlark {

QDateTime asWritten(const QDate &date, const QTime &time)
{
    return QDateTime(date, time, Qt::UTC);
}

QString dateText(const QDateTime &value)
{
    return value.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

std::optional<QDateTime> readDateText(const QString &text)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(\d{4})[/-](\d{1,2})[/-](\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        QTime time(0, 0, 0);
        if (m.hasCaptured(4))
            time = QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                         m.hasCaptured(6) ? m.captured(6).toInt() : 0);
        if (date.isValid() && time.isValid())
            return asWritten(date, time);
        return std::nullopt;
    }

    // What an earlier version may have written in the user's own locale.
    const QLocale locale = QLocale::system();
    for (const QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime dt = locale.toDateTime(text.trimmed(), format);
        if (dt.isValid())
            return asWritten(dt.date(), dt.time());
        const QDate d = locale.toDate(text.trimmed(), format);
        if (d.isValid())
            return asWritten(d, QTime(0, 0, 0));
    }
    return std::nullopt;
}

} // namespace ringlark
