// Fuzz target: the IMAP session, and through it the response reader, fed arbitrary server bytes
// in arbitrary chunks.
//
// Input layout (short inputs read the missing bytes as 0):
//   byte 0   bit 0 the server closes the connection after its last byte,
//            bit 1 a stored LASTUID ("1/5"), bit 2 push allowed (IDLE),
//            bit 3 a password beyond 7-bit ASCII (sent as a literal)
//   byte 1   chunking: 0 delivers everything at once, n > 0 chunks of 1 to n bytes
//   then     the server's bytes.
//
// The session is driven through the socket's signals and fake timers; no event loop runs.
// Checked: every write is whole lines; nothing is written to a closed connection; nothing
// but read-only commands go out; the reader stays within its caps; once the input is spent
// and the watchdog has fired, the session has ended or idles, and a clean session after it
// runs as on the wire.

#include "fuzz_support.h"

#include "fake_timer.h"
#include "fakes.h"
#include "imap_session.h"
#include "pop3_errors.h"
#include "session_settings.h"
#include "settings_table.h"
#include "tcp_socket.h"

#include <QCoreApplication>

using namespace ringlark;
using ringlark::fuzz::Input;
using ringlark::test::FakeMessageBox;
using ringlark::test::FakeTimer;

namespace {

class FuzzSocket final : public TcpSocket
{
public:
    void connectToServer(const QString &, quint16, bool) override
    {
        incoming.clear();
        written.clear();
        closed = false;
    }
    void close() override
    {
        closed = true;
        incoming.clear();
    }
    bool isClosed() const override { return closed; }
    qint64 bytesAvailable() const override { return incoming.size(); }
    QByteArray readAll() override { return std::exchange(incoming, {}); }
    void write(const QByteArray &data) override
    {
        FUZZ_CHECK(!closed);
        FUZZ_CHECK(data.endsWith("\r\n"));
        // Read-only: EXAMINE and BODY.PEEK, never a command that changes the mailbox.
        for (const char *word : {" SELECT ", " STORE ", " COPY ", " EXPUNGE", " APPEND ",
                                 " DELETE ", " MOVE ", "BODY["})
            FUZZ_CHECK(!data.contains(word));
        written += data;
    }
    void deliver(const QByteArray &bytes)
    {
        if (closed)
            return;
        incoming += bytes;
        emit readyRead();
    }
    void serverClose()
    {
        if (closed)
            return;
        closed = true;
        emit remoteClosed();
    }

    QByteArray incoming;
    QByteArray written;
    bool closed = true;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_imap";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input input(data, size);
    const unsigned mode = input.byte();
    const unsigned chunkLimit = input.byte();
    const QByteArray server = input.rest();

    SettingsTable settings;
    settings.Pop3Server = QStringLiteral("imap://imap.example.jp");
    settings.UserName = QStringLiteral("taro");
    settings.Password = (mode & 8u) ? QStringLiteral("päss") : QStringLiteral("s3cret pw");
    settings.FromCheck = QStringLiteral("0");
    settings.SubjectCheck = QStringLiteral("0");
    settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    settings.lastUid = (mode & 2u) ? QStringLiteral("1/5") : QString();

    SessionValues values;
    auto owned = std::make_unique<FuzzSocket>();
    FuzzSocket &socket = *owned;
    FakeMessageBox box;
    QList<FakeTimer *> timers; // watchdog, deadline, renew, retry
    ImapSession session(
        values, [&settings] { return sessionSettings(settings); }, std::move(owned), box,
        [&timers] {
            auto t = std::make_unique<FakeTimer>();
            timers.append(t.get());
            return t;
        });
    session.setPushAllowed((mode & 4u) != 0);

    values.SessionStep = SessionStep::None;
    session.Command1_Click();
    quint32 state = 0x9e3779b9u ^ chunkLimit;
    for (qsizetype at = 0; at < server.size();) {
        qsizetype n = server.size() - at;
        if (chunkLimit != 0) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            n = qMin(n, static_cast<qsizetype>(1 + state % chunkLimit));
        }
        socket.deliver(server.mid(at, n));
        at += n;
        FUZZ_CHECK(session.reader().heldBytes() < 2 * kMaxReplyBytes + server.size());
    }
    if (mode & 1u)
        socket.serverClose();
    // Time passes: whatever was due is given up, and the session has ended or idles.
    timers.at(0)->fire();
    timers.at(1)->fire();
    FUZZ_CHECK(values.SessionStep == SessionStep::Quit || session.idling());
    FUZZ_CHECK(session.idling() || !session.isRunning());
    session.setPushAllowed(false);
    FUZZ_CHECK(!session.idling());

    // A clean session after it: nothing of the broken one leaks into it.
    settings.lastUid.clear();
    values.SessionStep = SessionStep::None;
    session.Command1_Click();
    FUZZ_CHECK(!socket.closed && socket.written.isEmpty());
    socket.deliver("* OK ready\r\nA1 OK\r\nA2 OK\r\n* CAPABILITY IMAP4rev1\r\nA3 OK\r\n"
                   "* 0 EXISTS\r\nA4 OK\r\n");
    const QByteArray login = (mode & 8u) ? QByteArray("A2 LOGIN taro {5}\r\n")
                                         : QByteArray("A2 LOGIN taro \"s3cret pw\"\r\n");
    FUZZ_CHECK(socket.written.startsWith("A1 CAPABILITY\r\n" + login));
    if (!(mode & 8u)) {
        FUZZ_CHECK(socket.written == "A1 CAPABILITY\r\n" + login +
                                         "A3 CAPABILITY\r\nA4 EXAMINE INBOX\r\nA5 LOGOUT\r\n");
        FUZZ_CHECK(values.SessionStep == SessionStep::Quit);
        socket.deliver("* BYE\r\nA5 OK\r\n");
        FUZZ_CHECK(socket.closed && !session.isRunning());
    }
    return 0;
}
