#pragma once

#include <QObject>
#include <QString>

namespace ringlark {

// Text4's content: the traffic as it arrives. Views append what `appended` carries instead
// of replacing their whole text per chunk, which would be quadratic over a long walk. The
// text keeps at most about maxLines() lines: past that the oldest lines are dropped (a view
// caps itself at the same count, e.g. QPlainTextEdit::setMaximumBlockCount).
class TrafficLog : public QObject
{
    Q_OBJECT
public:
    explicit TrafficLog(int maxLines = 10000, QObject *parent = nullptr);

    void append(const QString &text);
    void clear();

    const QString &text() const { return m_text; }
    int maxLines() const { return m_maxLines; }

signals:
    void appended(const QString &text);
    void cleared();

private:
    QString m_text;
    qsizetype m_lines = 0; // line feeds held in m_text
    int m_maxLines;
};

} // namespace ringlark
