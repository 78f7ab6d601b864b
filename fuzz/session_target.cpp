// Fuzz target: the POP3 session fed arbitrary server bytes in arbitrary chunks.
//
// Input layout (short inputs read the missing bytes as 0):
//   byte 0   bits 0-1 FromCheck form, bits 2-3 SubjectCheck form (as in header_target.cpp),
//            bit 4 the server closes the connection after its last byte,
//            bit 5 a password holding CR LF (must never be sent),
//            bits 6-7 LastDate form
//   byte 1   which LastDate
//   byte 2   low nibble: length of the FromAddress search text, high nibble: of Subject
//   byte 3   chunking: 0 delivers everything at once, n > 0 chunks of 1 to n bytes
//   byte 4   bits 0-1 an event between two chunks: 0 none, 1 socket error, 2 server close,
//            3 a new start (Command1_Click) while the session runs; bits 2-7 before which chunk
//   then     the two search texts, then the server's bytes.
//
// The session is driven through its handlers directly, as the socket's signals and the
// watchdog would call them; no event loop runs. Once the input is spent, the watchdog fires
// if it is armed. Whatever arrived, the session must then have ended with Quit, and a
// following clean session must work: nothing of the broken one may leak into it.

#include "fuzz_support.h"

#include "fake_socket.h"
#include "fakes.h"
#include "pop3_session.h"
#include "session_settings.h"
#include "session_values.h"
#include "settings_table.h"

#include <QCoreApplication>
#include <QList>

#include <array>
#include <utility>

using namespace ringlark;
using ringlark::fuzz::checkFlag;
using ringlark::fuzz::Input;
using ringlark::test::FakeMessageBox;
using ringlark::test::FakeSocket;

namespace {

const QString kUser = QStringLiteral("taro");
const QString kPassword = QStringLiteral("s3cret pw");

QVariant lastDate(unsigned form, unsigned pick)
{
    static const std::array<const char *, 4> texts{"2003/04/01 00:00:00", "2004/09/25 09:00:00",
                                                   "2004/9/5 9:00:00", "not a date"};
    switch (form & 3u) {
    case 0:
        return QString::fromLatin1(texts[0]);
    case 1:
        return QString::fromLatin1(texts[pick % texts.size()]);
    default:
        return QDateTime(QDate(1990 + static_cast<int>(pick % 40), 1 + static_cast<int>(pick % 12),
                               1 + static_cast<int>(pick % 28)),
                         QTime(static_cast<int>(pick % 24), 0, 0),
                         (form & 3u) == 2 ? Qt::UTC : Qt::LocalTime);
    }
}

// Chunk sizes from the input's own choice: a small generator seeded by the chunking byte.
class Chunker
{
public:
    explicit Chunker(unsigned limit) : m_limit(limit), m_state(0x9e3779b9u ^ limit) {}

    qsizetype next(qsizetype left)
    {
        if (m_limit == 0)
            return left;
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return qMin(left, static_cast<qsizetype>(1 + m_state % m_limit));
    }

private:
    unsigned m_limit;
    quint32 m_state;
};

// The commands of one session, in the order RFC 1939, RFC 2449 and the walk allow them: CAPA,
// USER, PASS, STAT, then TOP from STAT's count down by one to message 1, with QUIT possible
// at any point and nothing after it. Each write is whole commands: one, or several TOP
// requests sent ahead to a server that pipelines.
void checkCommands(const QList<QByteArray> &writes, const SettingsTable &settings)
{
    QList<QByteArray> lines;
    for (const QByteArray &write : writes) {
        FUZZ_CHECK(write.endsWith("\r\n"));
        for (const QByteArray &line : write.split('\n'))
            if (!line.isEmpty())
                lines.append(line + '\n');
        FUZZ_CHECK(write.count('\n') == 1 || write.startsWith("TOP "));
    }
    // A password holding a line break is never sent: no PASS line can match then.
    const QString password = settingText(settings.Password);
    const bool unsafe = password.contains(u'\r') || password.contains(u'\n');
    const QByteArray user = "USER " + settingText(settings.UserName).toUtf8() + "\r\n";
    const QByteArray pass = unsafe ? QByteArray() : "PASS " + password.toUtf8() + "\r\n";
    const std::array<QByteArray, 4> opening{QByteArray("CAPA\r\n"), user, pass,
                                            QByteArray("STAT\r\n")};
    qsizetype i = 0;
    for (; i < lines.size() && i < 4 && lines[i] == opening[static_cast<size_t>(i)]; ++i) {
    }
    qint64 lastTop = 0;
    for (; i < lines.size() && lines[i].startsWith("TOP "); ++i) {
        FUZZ_CHECK(i >= 4 && lines[i].endsWith(" 1\r\n"));
        const QByteArray number = lines[i].mid(4, lines[i].size() - 8);
        bool ok = false;
        const qint64 n = number.toLongLong(&ok);
        FUZZ_CHECK(ok && n >= 1 && number == QByteArray::number(n));
        FUZZ_CHECK(lastTop == 0 || n == lastTop - 1);
        lastTop = n;
    }
    if (i < lines.size() && lines[i] == "QUIT\r\n")
        ++i;
    FUZZ_CHECK(i == lines.size());
}

// After the fuzzed session: a plain exchange with an empty mailbox must run as on the wire.
void checkCleanSession(Pop3Session &session, SessionValues &values, FakeSocket &socket,
                       QList<QByteArray> &writes)
{
    writes.clear();
    values.SessionStep = SessionStep::None;
    session.Command1_Click();
    FUZZ_CHECK(!socket.closed && writes.isEmpty());
    socket.deliver(
        "+OK Dovecot ready.\r\n-ERR Unknown command.\r\n+OK\r\n+OK Logged in.\r\n+OK 0 0\r\n");
    const QList<QByteArray> expected{"CAPA\r\n", "USER " + kUser.toUtf8() + "\r\n",
                                     "PASS " + kPassword.toUtf8() + "\r\n", "STAT\r\n", "QUIT\r\n"};
    FUZZ_CHECK(writes == expected);
    FUZZ_CHECK(values.SessionStep == SessionStep::Quit);
    socket.deliver("+OK Logging out.\r\n");
    FUZZ_CHECK(socket.closed && !session.watchdogActive() && !session.isRunning());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_session";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    // The session's debug lines run (they are part of what is fuzzed) but print nothing.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input input(data, size);
    const unsigned mode = input.byte();
    const unsigned pick = input.byte();
    const unsigned lengths = input.byte();
    Chunker chunker(input.byte());
    const unsigned event = input.byte();

    SettingsTable settings;
    settings.Pop3Server = QStringLiteral("pop.example.jp");
    settings.UserName = kUser;
    settings.Password = (mode & 0x20u) != 0 ? QStringLiteral("pw\r\nDELE 1") : kPassword;
    settings.FromCheck = checkFlag(mode);
    settings.SubjectCheck = checkFlag(mode >> 2);
    settings.LastDate = lastDate(mode >> 6, pick);
    settings.FromAddress = QString::fromUtf8(input.take(lengths & 15u));
    settings.Subject = QString::fromUtf8(input.take(lengths >> 4));
    const QByteArray server = input.rest();

    SessionValues values;
    // The client's writes as it made them, each of this session.
    QList<QByteArray> writes;
    FakeSocket socket;
    socket.onWrite = [&socket, &writes](const QByteArray &write) {
        FUZZ_CHECK(!socket.closed); // nothing is written to a closed connection
        writes.append(write);
    };
    // The user never closes a box: a second one while this one is open would pile up.
    FakeMessageBox box;
    Pop3Session session(values, [&settings] { return sessionSettings(settings); }, socket,
                        box);

    values.SessionStep = SessionStep::None;
    session.Command1_Click();
    FUZZ_CHECK(session.isRunning() && session.watchdogActive());

    const unsigned eventKind = event & 3u;
    const unsigned eventAt = event >> 2;
    bool errorRaised = false;
    qsizetype from = 0;
    for (unsigned chunk = 0; from < server.size() || chunk <= eventAt; ++chunk) {
        if (chunk == eventAt && eventKind != 0) {
            if (eventKind == 1 && !socket.closed) {
                errorRaised = true;
                socket.close(); // a socket in error delivers nothing more
                socket.raiseError(1, QStringLiteral("Connection refused"));
            } else if (eventKind == 2 && !socket.closed) {
                socket.serverClose(); // bytes already here stay readable
            } else if (eventKind == 3) {
                checkCommands(writes, settings);
                writes.clear();
                values.SessionStep = SessionStep::None;
                session.Command1_Click();
            }
        }
        if (from >= server.size())
            continue;
        const qsizetype n = chunker.next(server.size() - from);
        socket.deliver(server.mid(from, n));
        from += n;
    }
    if ((mode & 0x10u) != 0 && !socket.closed)
        socket.serverClose();

    // Whatever ended it, the session is over once the watchdog has had its say; a session
    // with no armed watchdog must have ended already, or nothing would ever end it.
    if (session.watchdogActive())
        session.Timer1_Timer();
    FUZZ_CHECK(values.SessionStep == SessionStep::Quit);
    FUZZ_CHECK(!session.watchdogActive() && !session.isRunning() && socket.closed);
    checkCommands(writes, settings);
    // One box for a socket error, none for a server that only closed.
    FUZZ_CHECK(box.openCount() == (errorRaised ? 1 : 0));

    settings.Password = kPassword;
    checkCleanSession(session, values, socket, writes);
    return 0;
}
