#include "auth_results.h"

#include "mail_text.h"
#include "org_domain.h"

#include <QSet>

namespace ringlark {

namespace {

// Reads a field whose comments are gone: words, "=", ";" and quoted strings.
class Reader
{
public:
    explicit Reader(const QString &text) : m_text(text) {}

    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    QChar peek()
    {
        skipBlanks();
        return m_pos < m_text.size() ? m_text.at(m_pos) : QChar();
    }
    bool take(QChar c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }
    qsizetype position() const { return m_pos; }
    void rewind(qsizetype pos) { m_pos = pos; }

    // A keyword: ends at a blank, "=", ";", "/" or a quote.
    QString word() { return run(QStringLiteral("=;/\"")); }
    // A value: a quoted string, or a run up to a blank or ";". Values such as header.b hold
    // "=" and "/", so those do not end it.
    QString value()
    {
        if (peek() != QLatin1Char('"'))
            return run(QStringLiteral(";\""));
        QString out;
        for (++m_pos; m_pos < m_text.size(); ++m_pos) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('\\') && m_pos + 1 < m_text.size()) {
                out += m_text.at(++m_pos);
            } else if (c == QLatin1Char('"')) {
                ++m_pos;
                break;
            } else {
                out += c;
            }
        }
        return out;
    }
    // Past the next ";" (or to the end), after something that could not be read.
    void skipResult()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos) != QLatin1Char(';'))
            ++m_pos;
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text.at(m_pos)))
            ++m_pos;
    }
    QString run(QStringView stops)
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && !isBlank(m_text.at(m_pos)) &&
               !stops.contains(m_text.at(m_pos)))
            ++m_pos;
        return m_text.sliced(start, m_pos - start);
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

// "method[/version] = result" then "ptype.property = value" pairs, up to ";" or the end.
std::optional<AuthResult> readResult(Reader &r)
{
    AuthResult result;
    result.method = r.word().toLower();
    if (r.take(QLatin1Char('/')))
        r.word();
    if (result.method.isEmpty() || !r.take(QLatin1Char('=')))
        return std::nullopt;
    result.result = r.word().toLower();
    if (result.result.isEmpty())
        return std::nullopt;
    while (!r.atEnd() && r.peek() != QLatin1Char(';')) {
        const QString name = r.word().toLower();
        if (name.isEmpty() || !r.take(QLatin1Char('=')))
            return std::nullopt;
        result.properties.append({name, r.value()});
    }
    return result;
}

bool isVersion(const QString &word)
{
    if (word.isEmpty())
        return false;
    for (const QChar c : word)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// The domain in a property such as header.i ("@example.com", "user@example.com") or
// header.d ("example.com").
QString domainOf(const QString &value)
{
    const qsizetype at = value.lastIndexOf(QLatin1Char('@'));
    QString domain = (at >= 0 ? value.sliced(at + 1) : value).trimmed().toLower();
    while (domain.endsWith(QLatin1Char('.')))
        domain.chop(1);
    return domain;
}

// Relaxed alignment (RFC 7489, 3.1.1): both names have the same organisational domain. A
// signer that is a public suffix ("co.jp", "com") has none and aligns with nothing.
bool aligned(const QString &signer, const QString &domain)
{
    const QString organisation = organisationalDomain(signer);
    return !organisation.isEmpty() && organisation == organisationalDomain(domain);
}

bool passes(const AuthResult &r, const QString &domain)
{
    if (r.result != QLatin1StringView("pass"))
        return false;
    if (r.method == QLatin1StringView("dmarc")) {
        // DMARC judged a From domain; only a verdict that names this one vouches for it (a
        // mail with two From fields may have been judged by the other).
        const QString judged = r.property(QLatin1StringView("header.from"));
        return !judged.isEmpty() && domainOf(judged) == domain;
    }
    if (r.method == QLatin1StringView("dkim")) {
        QString signer = r.property(QLatin1StringView("header.d"));
        // Gmail writes only header.i, the identity the signer vouches for: its domain is the
        // signing domain or below it, so its organisational domain is the signer's.
        if (signer.isEmpty())
            signer = r.property(QLatin1StringView("header.i"));
        return aligned(domainOf(signer), domain);
    }
    return false;
}

// Written in today's form only: a name with blanks before the colon may be read as this
// field by one program and as something else by another.
bool isAuthResultsField(const HeaderField &f)
{
    return f.name.compare(QLatin1StringView("Authentication-Results"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString AuthResult::property(QLatin1StringView name) const
{
    for (const auto &[key, value] : properties)
        if (key == name)
            return value;
    return {};
}

std::optional<AuthResults> parseAuthenticationResults(const QString &text)
{
    const QString clean = withoutComments(text);
    Reader r(clean);
    if (r.atEnd())
        return std::nullopt;

    AuthResults field;
    const qsizetype start = r.position();
    const QString id = r.peek() == QLatin1Char('"') ? r.value() : r.word();
    if (r.peek() == QLatin1Char('=') || r.peek() == QLatin1Char('/'))
        r.rewind(start); // no authserv-id: the field starts with its first result
    else
        field.authservId = id;
    if (!field.authservId.isEmpty() && !r.atEnd() && r.peek() != QLatin1Char(';')) {
        const qsizetype beforeVersion = r.position();
        if (!isVersion(r.word()))
            r.rewind(beforeVersion);
    }

    while (!r.atEnd()) {
        if (r.take(QLatin1Char(';')))
            continue;
        const qsizetype before = r.position();
        if (r.word().compare(QLatin1StringView("none"), Qt::CaseInsensitive) == 0 &&
            (r.atEnd() || r.peek() == QLatin1Char(';')))
            continue;
        r.rewind(before);
        if (const std::optional<AuthResult> result = readResult(r))
            field.results.append(*result);
        else
            r.skipResult();
    }
    return field;
}

std::optional<QString> fromAddress(const QString &fromText)
{
    const QString clean = withoutComments(fromText, QuotedText::Blank);
    QString address;
    for (const QString &part : clean.split(QLatin1Char(','))) {
        QString candidate = part;
        const qsizetype open = part.lastIndexOf(QLatin1Char('<'));
        if (open >= 0) {
            const qsizetype close = part.indexOf(QLatin1Char('>'), open);
            candidate = part.sliced(open + 1, (close < 0 ? part.size() : close) - open - 1);
        }
        candidate = candidate.trimmed();
        if (!candidate.contains(QLatin1Char('@')))
            continue;
        if (!address.isEmpty())
            return std::nullopt; // several senders: no single domain vouches for the mail
        address = candidate;
    }
    if (address.isEmpty() || address.contains(QLatin1Char(' ')) ||
        address.contains(QLatin1Char('\t')))
        return std::nullopt;
    return address;
}

std::optional<QString> fromDomain(const QString &fromText)
{
    const std::optional<QString> address = fromAddress(fromText);
    if (!address)
        return std::nullopt;
    const QString domain = domainOf(*address);
    if (domain.isEmpty())
        return std::nullopt;
    return domain;
}

bool senderAuthenticated(const QList<HeaderField> &fields, const QString &servId)
{
    const std::optional<QString> from = fieldValue(fields, QLatin1StringView("From"));
    const std::optional<QString> domain = from ? fromDomain(*from) : std::nullopt;
    if (!domain || servId.trimmed().isEmpty())
        return false;
    for (const HeaderField &f : fields) {
        if (!isAuthResultsField(f))
            continue;
        const std::optional<AuthResults> field = parseAuthenticationResults(f.value);
        if (!field || field->authservId.compare(servId.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        // The topmost field of the provider decides; fields further down are not consulted.
        for (const AuthResult &r : field->results)
            if (passes(r, *domain))
                return true;
        return false;
    }
    return false;
}

QStringList authservIds(const QList<HeaderField> &fields)
{
    QStringList ids;
    QSet<QString> seen; // a mail may carry tens of thousands of such fields
    for (const HeaderField &f : fields) {
        if (!isAuthResultsField(f))
            continue;
        const std::optional<AuthResults> field = parseAuthenticationResults(f.value);
        if (field && !field->authservId.isEmpty() && !seen.contains(field->authservId.toLower())) {
            seen.insert(field->authservId.toLower());
            ids.append(field->authservId);
        }
    }
    return ids;
}

} // namespace ringlark
