// Fuzz target: the IMAP session, and through it the response reader, fed arbitrary server
// bytes in chunks the input chooses.
//
// Input: byte 0: bit 0 the server closes after its last byte, bit 1 a stored LASTUID
// ("1/5"), bit 2 push allowed (IDLE), bit 3 a password sent as a literal; byte 1: chunking
// (0 all at once, n: chunks of 1 to n bytes); then the server's bytes.
//
// Checked: whole lines only, never to a closed connection, nothing but read-only commands;
// the reader within its caps; once the watchdog has fired, the session has ended or idles;
// and a clean session after it runs as on the wire.

#include "fuzz_support.h"

#include "fake_socket.h"
#include "fake_timer.h"
#include "fakes.h"
#include "imap_session.h"
#include "pop3_errors.h"
#include "session_settings.h"
#include "settings_table.h"

#include <QCoreApplication>

using namespace ringlark;

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
    fuzz::Input input(data, size);
    const unsigned mode = input.byte();
    const unsigned chunkLimit = input.byte();
    const QByteArray server = input.rest();

    SettingsTable settings;
    settings.Pop3Server = QStringLiteral("imap://imap.example.jp");
    settings.UserName = QStringLiteral("taro");
    settings.Password = (mode & 8u) ? QStringLiteral("päss") : QStringLiteral("s3cret pw");
    settings.LastDate = QStringLiteral("2003/04/01 00:00:00");
    settings.lastUid = (mode & 2u) ? QStringLiteral("1/5") : QString();
    SessionValues values;
    auto owned = std::make_unique<test::FakeSocket>();
    test::FakeSocket &socket = *owned;
    socket.onWrite = [&socket](const QByteArray &write) {
        FUZZ_CHECK(!socket.closed && write.endsWith("\r\n"));
        for (const char *word : {" SELECT ", " STORE ", " COPY ", " EXPUNGE", " APPEND ", "BODY["})
            FUZZ_CHECK(!write.contains(word));
    };
    test::FakeMessageBox box;
    QList<test::FakeTimer *> timers; // watchdog, deadline, renew, retry
    ImapSession session(
        values, [&] { return sessionSettings(settings); }, std::move(owned), box,
        [&timers] {
            timers.append(new test::FakeTimer);
            return std::unique_ptr<Timer>(timers.last());
        });
    session.setPushAllowed((mode & 4u) != 0);
    session.Command1_Click();
    quint32 state = 0x9e3779b9u ^ chunkLimit;
    for (qsizetype at = 0, n = 0; at < server.size(); at += n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        n = chunkLimit ? qMin<qsizetype>(server.size() - at, 1 + state % chunkLimit)
                       : server.size();
        socket.deliver(server.mid(at, n));
        FUZZ_CHECK(session.reader().heldBytes() < 2 * kMaxReplyBytes + server.size());
    }
    if ((mode & 1u) && !socket.closed)
        socket.serverClose();
    timers.at(0)->fire();
    FUZZ_CHECK(session.idling() ||
               (values.SessionStep == SessionStep::Quit && !session.isRunning()));
    session.setPushAllowed(false);
    FUZZ_CHECK(!session.idling() && socket.closed);

    settings.lastUid.clear();
    socket.written.clear();
    values.SessionStep = SessionStep::None;
    session.Command1_Click();
    socket.deliver("* OK ready\r\nA1 OK\r\nA2 OK\r\nA3 OK\r\n* 0 EXISTS\r\nA4 OK\r\n");
    const QByteArray login =
        (mode & 8u) ? "A2 LOGIN taro {5}\r\n" : "A2 LOGIN taro \"s3cret pw\"\r\n";
    FUZZ_CHECK(socket.written ==
               "A1 CAPABILITY\r\n" + login + "A3 CAPABILITY\r\nA4 EXAMINE INBOX\r\nA5 LOGOUT\r\n");
    FUZZ_CHECK(values.SessionStep == SessionStep::Quit);
    socket.deliver("* BYE\r\nA5 OK\r\n");
    FUZZ_CHECK(socket.closed && !session.isRunning());
    return 0;
}
