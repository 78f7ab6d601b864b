#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace ringlark {

class SettingsStore;

// The settings of the two checks that make a trigger mail hard to forge: a one-time code in
// the subject, and the mailbox provider's verdict on the sender. Kept in the same store and
// section as the eleven settings. Every key is optional and a missing one means off, so a
// settings file written before these checks existed behaves exactly as it did.
struct TriggerChecks
{
    QString totpCheck;  // "TOTP_CHECK": "1" requires the code; anything else does not
    QString totpSecret; // "TOTP_SECRET": base32
    QString authCheck;  // "AUTH_CHECK": "1" requires the provider's verdict
    QString authServId; // "AUTH_SERVID": the provider's authserv-id, e.g. "mx.google.com"
    // "TOTP_LASTSTEP": the time step of the code of the last trigger acted on, in decimal.
    // Written by the check cycle together with LASTDATE, never by the window.
    QString totpLastStep;

    bool codeRequired() const { return totpCheck == QLatin1StringView("1"); }
    bool senderVerdictRequired() const { return authCheck == QLatin1StringView("1"); }

    // The shared secret; empty when there is none or it cannot be read as base32.
    QByteArray totpKey() const;
    std::optional<qint64> lastCodeStep() const;

    void load(const SettingsStore &store);
    // Writes the window's four keys; returns the names of those the store could not write.
    QStringList save(SettingsStore &store) const;
    // Records the step of a code acted on; false when the store could not write it.
    bool saveLastCodeStep(SettingsStore &store, qint64 step);
};

// A new shared secret: 20 bytes (the length of an HMAC-SHA-1 key) from the system's
// cryptographic random source, in base32.
QString newTotpSecret();

// What an authenticator app scans to enrol: the secret, and the account and issuer it shows
// beside the codes. The account is percent-encoded; the secret goes without blanks.
QString otpauthUri(const QString &secret, const QString &account);

} // namespace ringlark
