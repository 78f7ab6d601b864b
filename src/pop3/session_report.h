#pragma once

#include "traffic_log.h"

#include <QObject>
#include <QString>

namespace ringlark {

class MailSession;

// What the POP3 window shows of a session, kept here so that a test needs no widget: the
// traffic (Text4), the results (Text6), the newest mail's date (Label7) and the progress
// labels Label9 to Label11. It listens to the session; the window shows it.
class SessionReport : public QObject
{
    Q_OBJECT
public:
    // The results keep at most about this many characters (some ten thousand listed mails);
    // past that the oldest lines go, as in the traffic.
    static constexpr qsizetype kMaxResultChars = 1024 * 1024;
    static constexpr int kSeparatorLength = 37;

    explicit SessionReport(MailSession &session, QObject *parent = nullptr);

    TrafficLog &traffic() { return m_traffic; }
    const TrafficLog &traffic() const { return m_traffic; }
    const QString &results() const { return m_results; }
    // "yyyy/MM/dd HH:mm:ss" of the newest mail, or LastDate when the window was activated.
    const QString &newestMail() const { return m_newestMail; }
    void setNewestMail(const QString &text);
    // "MailNo: 5", "MailStep:Retr", "最後の起動日時:2003/04/01 00:00:00".
    const QString &mailNumber() const { return m_mailNumber; }
    const QString &step() const { return m_step; }
    const QString &lastDate() const { return m_lastDate; }

signals:
    void resultsAppended(const QString &text);
    void resultsReplaced(const QString &text);
    void newestMailChanged(const QString &text);
    // mailNumber(), step() and lastDate() were rewritten.
    void progressChanged();

private:
    void onStarted();
    void onDataArrived(const QString &text);
    void onMailExamined(const QString &resultLines);
    void appendResults(const QString &text);
    void replaceResults(const QString &text);

    MailSession &m_session;
    TrafficLog m_traffic;
    QString m_results;
    QString m_newestMail = QStringLiteral("Label7");
    QString m_mailNumber = QStringLiteral("MailNo:");
    QString m_step = QStringLiteral("MailStep:");
    QString m_lastDate = QStringLiteral("最後の起動日時:");
};

} // namespace ringlark
