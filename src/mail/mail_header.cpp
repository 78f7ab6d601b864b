#include "mail_header.h"

#include <QStringDecoder>

namespace ringlark {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// RFC 5322: printable ASCII except the colon. Blanks between the name and the colon are an
// obsolete form that old mailers still write ("Subject :"); they are kept in the name, so
// that a field which must be written in today's form can tell.
std::optional<QByteArray> fieldName(const QByteArray &line, qsizetype colon)
{
    qsizetype end = colon;
    while (end > 0 && isBlank(line.at(end - 1)))
        --end;
    if (end == 0)
        return std::nullopt;
    for (qsizetype i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(line.at(i));
        if (c < 33 || c > 126)
            return std::nullopt;
    }
    return line.left(colon);
}

QByteArray withoutLineEnd(const QByteArray &line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

QString withoutLeadingBlanks(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    return text.mid(i);
}

} // namespace

QString decodeMailLine(const QByteArray &line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(line);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(line);
}

QList<HeaderField> headerFields(const QList<QByteArray> &lines)
{
    QList<HeaderField> fields;
    bool inField = false; // whether a continuation line has a field to join
    for (const QByteArray &raw : lines) {
        const QByteArray line = withoutLineEnd(raw);
        if (line.isEmpty())
            break; // end of the header block: what follows is the body
        if (isBlank(line.at(0))) {
            if (inField)
                fields.last().value += decodeMailLine(line);
            continue;
        }
        inField = false;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const std::optional<QByteArray> name = fieldName(line, colon);
        if (!name)
            continue;
        fields.append({QString::fromLatin1(*name), decodeMailLine(line.mid(colon + 1))});
        inField = true;
    }
    // The text starts at the first non-blank after the colon, which may be on a folded line.
    for (HeaderField &field : fields)
        field.value = withoutLeadingBlanks(field.value);
    return fields;
}

bool isField(const HeaderField &field, QLatin1StringView name)
{
    return QStringView(field.name).trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

std::optional<QString> fieldValue(const QList<HeaderField> &fields, QLatin1StringView name)
{
    for (const HeaderField &field : fields) {
        if (isField(field, name))
            return field.value;
    }
    return std::nullopt;
}

} // namespace ringlark
