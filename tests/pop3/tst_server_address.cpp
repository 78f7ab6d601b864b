#include "server_address.h"

#include <QTest>

using namespace ringlark;

Q_DECLARE_METATYPE(std::optional<ServerAddress>)

class TestServerAddress : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestServerAddress::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<ServerAddress>>("expected");
    using A = std::optional<ServerAddress>;
    const auto plain = [](const char *host, quint16 port) {
        return A(ServerAddress{QString::fromLatin1(host), port, false});
    };
    const auto tls = [](const char *host, quint16 port) {
        return A(ServerAddress{QString::fromLatin1(host), port, true});
    };
    QTest::newRow("classic host") << "pop.example.jp" << plain("pop.example.jp", 110);
    QTest::newRow("blanks around") << "  pop.example.jp \t" << plain("pop.example.jp", 110);
    QTest::newRow("host:port") << "pop.example.jp:1110" << plain("pop.example.jp", 1110);
    QTest::newRow("ipv4:port") << "127.0.0.1:2110" << plain("127.0.0.1", 2110);
    QTest::newRow("[v6]:port") << "[::1]:2110" << plain("::1", 2110);
    QTest::newRow("[v6]") << "[fe80::1]" << plain("fe80::1", 110);
    QTest::newRow("bare v6") << "2001:db8::5" << plain("2001:db8::5", 110);
    QTest::newRow("pop3://") << "pop3://pop.example.jp" << plain("pop.example.jp", 110);
    QTest::newRow("POP3:// port slash")
        << "POP3://pop.example.jp:2110/" << plain("pop.example.jp", 2110);
    QTest::newRow("pop3s://") << "pop3s://pop.gmail.com" << tls("pop.gmail.com", 995);
    QTest::newRow("pop3s://port") << "pop3s://pop.example.jp:1995" << tls("pop.example.jp", 1995);
    QTest::newRow("pop3s://[v6]:port") << "pop3s://[::1]:1995" << tls("::1", 1995);
    const auto imap = [](const char *host, quint16 port, bool secure) {
        return A(
            ServerAddress{QString::fromLatin1(host), port, secure, ServerAddress::Protocol::Imap});
    };
    QTest::newRow("imaps://") << "imaps://imap.spmode.ne.jp"
                              << imap("imap.spmode.ne.jp", 993, true);
    QTest::newRow("IMAP:// port") << "IMAP://10.0.0.2:1143/" << imap("10.0.0.2", 1143, false);
    QTest::newRow("imap://[v6]") << "imap://[::1]" << imap("::1", 143, false);

    QTest::newRow("empty") << "" << A();
    QTest::newRow("blank") << "   " << A();
    QTest::newRow("other scheme") << "imap4://pop.example.jp" << A();
    QTest::newRow("port zero") << "pop.example.jp:0" << A();
    QTest::newRow("port too big") << "pop.example.jp:65536" << A();
    QTest::newRow("port not a number") << "pop.example.jp:pop3" << A();
    QTest::newRow("empty port") << "pop.example.jp:" << A();
    QTest::newRow("space inside") << "pop example.jp" << A();
    QTest::newRow("path") << "pop3://pop.example.jp/inbox" << A();
    QTest::newRow("user@") << "pop3://taro@pop.example.jp" << A();
    QTest::newRow("unclosed bracket") << "[::1:110" << A();
    QTest::newRow("bracketed name") << "[pop.example.jp]:110" << A();
    QTest::newRow("scheme only") << "pop3s://" << A();
    QTest::newRow("CR LF") << "pop.example.jp\r\nUSER x" << A();
}

void TestServerAddress::parse()
{
    QFETCH(QString, text);
    QFETCH(std::optional<ServerAddress>, expected);
    QCOMPARE(parseServerAddress(text), expected);
}

QTEST_GUILESS_MAIN(TestServerAddress)
#include "tst_server_address.moc"
