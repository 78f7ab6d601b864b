#include "session_settings.h"

#include "leading_number.h"
#include "settings_table.h"

namespace ringlark {

namespace {

// A check box flag as stored or as the dialog left it; text that is no number reads as 0,
// the test switched off, which is what the dialog shows for it.
bool checkOn(const QVariant &flag)
{
    return flagValue(settingText(flag)) != 0;
}

} // namespace

SessionSettings sessionSettings(const SettingsTable &settings, const QDateTime &now)
{
    SessionSettings s;
    s.account.server = settingText(settings.Pop3Server);
    s.account.user = settingText(settings.UserName);
    s.account.password = settingText(settings.Password);
    s.lastUid = settings.lastUid;
    s.lastUidl = settings.lastUidl;
    s.rules.fromCheck = checkOn(settings.FromCheck);
    s.rules.fromText = settingText(settings.FromAddress);
    s.rules.subjectCheck = checkOn(settings.SubjectCheck);
    s.rules.subjectText = settingText(settings.Subject);
    s.rules.lastDateText = settingText(settings.LastDate);
    s.rules.lastDate = settings.lastDate();
    const TriggerChecks &checks = settings.triggerChecks;
    s.rules.checks.codeRequired = checks.codeRequired();
    s.rules.checks.totpKey = checks.totpKey();
    s.rules.checks.senderVerdictRequired = checks.senderVerdictRequired();
    s.rules.checks.authServId = checks.authServId;
    s.rules.lastCodeStep = checks.lastCodeStep();
    s.rules.hangUpSubject = settings.reply.hangUpSubject;
    // Instants: a mail written in any zone is compared with the clock as the same moment.
    if (now.isValid()) {
        s.rules.latestBelievable = now.toUTC().addSecs(LatestBelievableSeconds);
        s.rules.checks.clock = now.toUTC();
    }
    return s;
}

} // namespace ringlark
