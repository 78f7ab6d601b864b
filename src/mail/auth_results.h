#pragma once

#include "mail_header.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ringlark {

// One result of an Authentication-Results field (RFC 8601): "dkim=pass header.d=example.com".
// Method, result and property names are lower case (they compare case-insensitively);
// property values are as written, without quotes.
struct AuthResult
{
    QString method; // without a version ("dkim/1" is "dkim")
    QString result;
    QList<std::pair<QString, QString>> properties; // "header.d" -> "example.com"; reason too

    QString property(QLatin1StringView name) const;
};

struct AuthResults
{
    QString authservId; // as written; empty when the field names none
    QList<AuthResult> results;
};

// Parses a field's (unfolded) text: comments in parentheses anywhere, blanks and folding
// anywhere, an optional version after the authserv-id, results separated by ";", "none" for
// no result, quoted values. Fields that Microsoft's servers write without an authserv-id
// ("spf=pass ...; dkim=pass ...") are read with an empty authserv-id, which matches no
// setting. nullopt for a text that is no such field at all.
std::optional<AuthResults> parseAuthenticationResults(const QString &text);

// The one mail address in a From field's text, without display name, comments or
// angle brackets; nullopt when the text holds no address or several.
std::optional<QString> fromAddress(const QString &fromText);
// That address's domain, in lower case.
std::optional<QString> fromDomain(const QString &fromText);

// The sender check. Only the topmost Authentication-Results field whose authserv-id equals
// servId (ignoring case) counts: the provider adds its own on top of the header, and any
// field below it may come from the sender; a field with blanks before its colon is none. It
// passes when it reports dmarc=pass naming the From domain in header.from, or dkim=pass
// with a signing domain (header.d; header.i's domain when a verifier writes only that) of
// the same organisational domain as the From domain (org_domain.h).
bool senderAuthenticated(const QList<HeaderField> &fields, const QString &servId);

// The authserv-ids of a header's Authentication-Results fields, topmost first, each once
// (ignoring case): what the setup window offers to pick from.
QStringList authservIds(const QList<HeaderField> &fields);

} // namespace ringlark
