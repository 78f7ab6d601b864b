#include "trigger_checks.h"

#include "base32.h"
#include "settings_store.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

#include <array>

namespace ringlark {

namespace {

struct KeyOf
{
    const char *name;
    QString TriggerChecks::*entry;
};

const std::array<KeyOf, 4> &keys()
{
    static const std::array<KeyOf, 4> table{{{"TOTP_CHECK", &TriggerChecks::totpCheck},
                                             {"TOTP_SECRET", &TriggerChecks::totpSecret},
                                             {"AUTH_CHECK", &TriggerChecks::authCheck},
                                             {"AUTH_SERVID", &TriggerChecks::authServId}}};
    return table;
}


const QString lastStepKey = QStringLiteral("TOTP_LASTSTEP");

} // namespace

namespace {

bool isNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    return number.match(text).hasMatch();
}

} // namespace

bool TriggerChecks::isOn(const QString &value)
{
    if (value.trimmed().isEmpty())
        return false;
    return !isNumber(value) || value.trimmed().toDouble() != 0.0;
}

QStringList TriggerChecks::unreadableFlags() const
{
    QStringList unreadable;
    for (const auto &[name, value] : {std::pair{"TOTP_CHECK", &totpCheck}, {"AUTH_CHECK", &authCheck}})
        if (!value->trimmed().isEmpty() && !isNumber(*value))
            unreadable.append(QString::fromLatin1(name) + QLatin1Char('=') + *value);
    return unreadable;
}

QByteArray TriggerChecks::totpKey() const
{
    return base32Decode(totpSecret).value_or(QByteArray());
}

std::optional<qint64> TriggerChecks::lastCodeStep() const
{
    bool ok = false;
    const qint64 step = totpLastStep.trimmed().toLongLong(&ok);
    return ok ? std::optional(step) : std::nullopt;
}

void TriggerChecks::load(const SettingsStore &store)
{
    for (const KeyOf &k : keys())
        this->*k.entry = store.read(QString::fromLatin1(k.name), QString());
    totpLastStep = store.read(lastStepKey, QString());
}

bool TriggerChecks::saveLastCodeStep(SettingsStore &store, qint64 step)
{
    totpLastStep = QString::number(step);
    return store.write(lastStepKey, totpLastStep);
}

QStringList TriggerChecks::save(SettingsStore &store) const
{
    QStringList failed;
    for (const KeyOf &k : keys())
        if (!store.write(QString::fromLatin1(k.name), this->*k.entry))
            failed.append(QString::fromLatin1(k.name));
    return failed;
}

QString newTotpSecret()
{
    std::array<quint32, 5> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return base32Encode(QByteArray(reinterpret_cast<const char *>(words.data()),
                                   static_cast<qsizetype>(sizeof words)));
}

QString otpauthUri(const QString &secret, const QString &account)
{
    const QString compact = QString(secret).remove(QLatin1Char(' ')).toUpper();
    return QStringLiteral("otpauth://totp/RINGLARK:") +
           QString::fromLatin1(QUrl::toPercentEncoding(account)) + QStringLiteral("?secret=") +
           compact + QStringLiteral("&issuer=RINGLARK");
}

} // namespace ringlark
