#pragma once

#include <QObject>
#include <QString>

namespace ringlark {

// The log box's text and the status line, mirrored to the ringlark.log and ringlark.status
// logging categories. The window shows them; tests read them here.
class EventLog : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The log is kept for the whole run; on a machine left alone for months only the newest
    // lines are, so that it cannot grow without end.
    static constexpr int kMaxLines = 10000;

    // The whole log text; every line ends with CR LF.
    const QString &text() const { return m_text; }
    const QString &status() const { return m_status; }

    // AppendLog: the message and CR LF at the end, caret moved to the end.
    void appendLog(const QString &message);
    // Start-up's lines: the first replaces everything, neither moves the caret.
    void replaceAll(const QString &message);
    void appendWithoutCaret(const QString &message);

    void setStatus(const QString &text);

signals:
    void replaced(const QString &text);
    void appended(const QString &message, bool moveCaret);
    void statusChanged(const QString &text);

private:
    void addLine(const QString &message);

    QString m_text;
    int m_lines = 0;
    QString m_status = QStringLiteral("状況：");
};

} // namespace ringlark
