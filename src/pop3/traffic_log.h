#pragma once

#include <QObject>
#include <QString>

namespace ringlark {

// Drops the oldest lines of `text` so that at most about maxChars characters are left: whole
// lines where the kept part still starts a line, else the front of the one long line.
// Returns the number of line feeds dropped.
qsizetype dropOldestText(QString &text, qsizetype maxChars);

// Text4's content: the traffic as it arrives. Views append what `appended` carries instead
// of replacing their whole text per chunk, which would be quadratic over a long walk. The
// text keeps at most about maxLines() lines: past that the oldest lines are dropped (a view
// caps itself at the same count, e.g. QPlainTextEdit::setMaximumBlockCount). It also keeps
// at most about maxChars() characters, so that a server sending endless lines without a
// line end cannot grow it without bound; when that cap drops text, `cleared` and then
// `appended` with the whole kept text tell a view to start again from it.
class TrafficLog : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kDefaultMaxChars = 2 * 1024 * 1024;

    explicit TrafficLog(int maxLines = 10000, qsizetype maxChars = kDefaultMaxChars,
                        QObject *parent = nullptr);

    void append(const QString &text);
    void clear();

    const QString &text() const { return m_text; }
    int maxLines() const { return m_maxLines; }
    qsizetype maxChars() const { return m_maxChars; }

signals:
    void appended(const QString &text);
    void cleared();

private:
    QString m_text;
    qsizetype m_lines = 0; // line feeds held in m_text
    int m_maxLines;
    qsizetype m_maxChars;
};

} // namespace ringlark
