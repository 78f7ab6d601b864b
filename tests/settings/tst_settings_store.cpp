#include "date_text.h"
#include "fakes.h"
#include "ini_settings_store.h"
#include "settings_table.h"
#include "temp_config_home.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

using namespace ringlark;
using Key = SettingsTable::Key;

namespace {
mode_t fileMode(const QString &path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}
} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    // Whatever key the program comes to read, a user can look it up.
    void the_manual_page_names_every_key_read()
    {
        test::FakeSettingsStore store;
        SettingsTable().load(store);
        QFile page(qEnvironmentVariable("RINGLARK_SOURCE_DIR") +
                   QStringLiteral("/data/ringlark.1"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        QString text; // without the page's comments
        for (const QByteArray &line : page.readAll().split('\n'))
            if (!line.startsWith(".\\\""))
                text += QString::fromUtf8(line) + u'\n';
        QVERIFY(store.reads.contains(QStringLiteral("TOTP_LASTSTEP")));
        for (const QString &key : std::as_const(store.reads))
            QVERIFY2(text.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(key))),
                     qPrintable(key));
    }

    void first_run_yields_the_defaults()
    {
        test::TempConfigHome home;
        IniSettingsStore store;
        SettingsTable table;
        table.load(store);
        for (const auto &k : SettingsTable::keys()) {
            const QString value = table[k.key].toString();
            if (k.key == Key::TimeInterval)
                QCOMPARE(value, QStringLiteral("60"));
            else if (k.key == Key::LastDate)
                QCOMPARE(value, QStringLiteral("2003/04/01 00:00:00"));
            else if (k.key == Key::AutoStart)
                QCOMPARE(value, QStringLiteral("0"));
            else
                QVERIFY2(value.isEmpty(), k.storeName);
        }
        QVERIFY(!QFile::exists(home.iniFile())); // reading creates nothing
    }

    void values_round_trip_through_the_ini_file()
    {
        test::TempConfigHome home;
        {
            IniSettingsStore store;
            SettingsTable table;
            table.load(store);
            table.Password = QStringLiteral("  pa ss, word  ");
            table.DialUpEntry = QStringLiteral("会社のＶＰＮ");
            table.TimeInterval = QString(); // cleared by the user: stays empty
            table.FromCheck = 1;
            table.Pop3Server = QStringLiteral("@mail.example.com");
            table.LastDate = asWritten(QDate(2004, 9, 25), QTime(9, 0, 0));
            for (const auto &k : SettingsTable::keys())
                QVERIFY(table.write(store, k.key));
            QCOMPARE(store.fileName(), home.iniFile());
        }
        IniSettingsStore reopened;
        SettingsTable table;
        table.load(reopened);
        QCOMPARE(table.Password.toString(), QStringLiteral("  pa ss, word  "));
        QCOMPARE(table.DialUpEntry.toString(), QStringLiteral("会社のＶＰＮ"));
        QCOMPARE(table.TimeInterval.toString(), QString());
        QCOMPARE(table.FromCheck.toString(), QStringLiteral("1"));
        QCOMPARE(table.Pop3Server.toString(), QStringLiteral("@mail.example.com"));
        QCOMPARE(table.LastDate.toString(), QStringLiteral("2004/09/25 09:00:00"));
        QCOMPARE(table.lastDate(), std::optional<QDateTime>(
                                       asWritten(QDate(2004, 9, 25), QTime(9, 0, 0))));

        QVERIFY(home.iniText().contains("[STARTUP]"));
    }

    void the_file_is_private_after_every_write()
    {
        test::TempConfigHome home;
        {
            IniSettingsStore store;
            QVERIFY(store.write(QStringLiteral("PASSWORD"), QStringLiteral("secret")));
        }
        QCOMPARE(fileMode(home.iniFile()), mode_t(0600));

        // A file left readable by others, for example by an earlier version, is tightened.
        QVERIFY(QFile::setPermissions(home.iniFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                          | QFileDevice::ReadGroup
                                                          | QFileDevice::ReadOther));
        IniSettingsStore store;
        QVERIFY(store.write(QStringLiteral("LASTDATE"), QStringLiteral("2004/09/25 09:00:00")));
        QCOMPARE(fileMode(home.iniFile()), mode_t(0600));
    }

    void every_write_tightens_a_file_loosened_meanwhile()
    {
        // The store is open before the file is loosened, so only the write itself can put
        // the mode back; rewriting a file keeps the mode it had.
        test::TempConfigHome home;
        IniSettingsStore store;
        const QFileDevice::Permissions loose = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther;
        int n = 0;
        for (const auto &k : SettingsTable::keys()) {
            QVERIFY(store.write(QString::fromLatin1(k.storeName), QString::number(++n)));
            QCOMPARE(fileMode(home.iniFile()), mode_t(0600));
            QVERIFY(QFile::setPermissions(home.iniFile(), loose));
        }
        QVERIFY(store.write(QStringLiteral("PASSWORD"), QStringLiteral("secret")));
        QCOMPARE(fileMode(home.iniFile()), mode_t(0600));
    }

    void a_write_that_cannot_reach_the_disk_is_reported()
    {
        test::TempConfigHome home;
        // A folder where the file should be: nothing can be written there.
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("TERNCALL.ini")));
        IniSettingsStore store;
        QVERIFY(!store.write(QStringLiteral("LASTDATE"), QStringLiteral("2004/09/25 09:00:00")));
        // The reason names the file, so that the user knows what to look at.
        QVERIFY2(store.lastError().startsWith(home.iniFile() + QStringLiteral(": "))
                     && store.lastError().size() > home.iniFile().size() + 2,
                 qPrintable(store.lastError()));
    }

    void lines_qt_cannot_parse_do_not_make_writes_look_failed()
    {
        // QSettings reports such a file as badly formed for as long as the object lives.
        test::TempConfigHome home;
        QVERIFY(home.writeIni("# written by hand\n[STARTUP]\nFROM=a@example.com\n"));
        IniSettingsStore store;
        for (const QString &date : {QStringLiteral("2004/09/25 09:00:00"),
                                    QStringLiteral("2004/09/26 10:00:00")}) {
            QVERIFY2(store.write(QStringLiteral("LASTDATE"), date), qPrintable(store.lastError()));
            QVERIFY(store.lastError().isEmpty());
            QVERIFY(home.iniText().contains("LASTDATE=" + date.toLatin1() + '\n'));
        }
    }

    void hand_edited_values_keep_their_text()
    {
        test::TempConfigHome home;
        QVERIFY(home.writeIni("[STARTUP]\nFROM=a@example.com,b@example.com\nLASTDATE=2004/9/5 9:00:00\n"));
        IniSettingsStore store;
        SettingsTable table;
        table.load(store);
        QCOMPARE(table.FromAddress.toString(), QStringLiteral("a@example.com,b@example.com"));
        QCOMPARE(table.lastDate(),
                 std::optional<QDateTime>(asWritten(QDate(2004, 9, 5), QTime(9, 0, 0))));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
