// Stand-in for the trigger-mail recognition until the real one lands: it only moves the
// walk on (message 1 is examined, then the walk ends) so that the session can be built and
// tested. Delete this file when recognition.cpp is merged.
#include "recognition.h"

namespace ringlark {

Examination examineReply(const QList<QByteArray> &lines, SessionValues &session,
                         const SettingsTable &settings)
{
    Q_UNUSED(settings)
    Examination out;
    out.resultLines =
        QStringLiteral("No:") + (session.MailNo < 0 ? QString() : QStringLiteral(" ")) +
        QString::number(session.MailNo) + QStringLiteral(" (%1 lines)\r\n").arg(lines.size()) +
        QStringLiteral("     件名: \r\n");
    if (session.MailNo <= 0) {
        session.MailNo = 0;
        session.SessionStep = QStringLiteral("Quit");
        out.label7 = QString();
    } else {
        --session.MailNo;
    }
    return out;
}

} // namespace ringlark
