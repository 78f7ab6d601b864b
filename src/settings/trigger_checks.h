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
    // "TOTP_CHECK" requires the code and "AUTH_CHECK" the provider's verdict: on for any
    // value but an empty one or a number equal to 0 (isOn).
    QString totpCheck;
    QString totpSecret; // "TOTP_SECRET": base32
    QString authCheck;
    QString authServId; // "AUTH_SERVID": the provider's authserv-id, e.g. "mx.google.com"
    // "TOTP_LASTSTEP": the time step of the code of the last trigger acted on, in decimal.
    // Written by the check cycle together with LASTDATE, never by the window.
    QString totpLastStep;

    bool codeRequired() const { return isOn(totpCheck); }
    bool senderVerdictRequired() const { return isOn(authCheck); }
    // A check key's value: anything but an empty text or 0 switches the check on, so that a
    // hand-edited "true" or "2" never leaves the trigger unguarded.
    static bool isOn(const QString &value);
    // "KEY=value" of the check keys whose value is neither empty nor a number, and so on
    // only by that rule: told once at start.
    QStringList unreadableFlags() const;

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
