#include "registry_settings_store_win.h"

#include <QTest>

#include <windows.h>

using namespace ringlark;

namespace {

// Where earlier Windows versions of the program keep the settings, as the Win32 API names it.
const wchar_t kSubKey[] = L"Software\\VB and VBA Program Settings\\TERNCALL\\STARTUP";

// The raw value as another program sees it: its type and its text.
struct RawValue
{
    DWORD type = REG_NONE;
    QString text;
};

RawValue rawValue(const QString &name)
{
    RawValue raw;
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, kSubKey, reinterpret_cast<LPCWSTR>(name.utf16()),
                     RRF_RT_ANY | RRF_NOEXPAND, &raw.type, buffer, &bytes) == ERROR_SUCCESS)
        raw.text = QString::fromWCharArray(buffer);
    return raw;
}

void writeAsEarlierVersion(const QString &name, const QString &text)
{
    HKEY key = nullptr;
    QCOMPARE(RegCreateKeyExW(HKEY_CURRENT_USER, kSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                             &key, nullptr),
             LONG(ERROR_SUCCESS));
    RegSetValueExW(key, reinterpret_cast<LPCWSTR>(name.utf16()), 0, REG_SZ,
                   reinterpret_cast<const BYTE *>(text.utf16()),
                   DWORD((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace

// The settings on Windows live in the user's registry, shared with earlier versions of the
// program. These tests rewrite that key, so they run only where the registry is a throwaway
// one (the Wine prefix of the Windows test run says so).
class TestRegistrySettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        if (qEnvironmentVariable("RINGLARK_DISPOSABLE_REGISTRY") != QStringLiteral("1"))
            QSKIP("would overwrite this user's RINGLARK settings");
        RegDeleteTreeW(HKEY_CURRENT_USER, kSubKey);
    }

    void valuesRoundTripAsPlainStrings()
    {
        const QList<std::pair<QString, QString>> values{
            {QStringLiteral("PASSWORD"), QStringLiteral("  pa ss, word  ")},
            {QStringLiteral("DIALUPNETWORK"), QStringLiteral("会社のＶＰＮ")},
            {QStringLiteral("TIMEINTERVAL"), QString()},
            {QStringLiteral("LASTDATE"), QStringLiteral("2004/09/25 09:00:00")},
        };
        {
            RegistrySettingsStore store;
            for (const auto &[key, value] : values) {
                QVERIFY(store.write(key, value));
                QVERIFY(store.lastError().isEmpty());
            }
        }
        const RegistrySettingsStore fresh;
        for (const auto &[key, value] : values) {
            QCOMPARE(fresh.read(key, QStringLiteral("default")), value);
            // What an earlier version reads back with its own string call.
            const RawValue raw = rawValue(key);
            QCOMPARE(raw.type, DWORD(REG_SZ));
            QCOMPARE(raw.text, value);
        }
        QCOMPARE(fresh.read(QStringLiteral("AUTOSTART"), QStringLiteral("0")),
                 QStringLiteral("0"));
    }

    void valuesOfAnEarlierVersionAreRead()
    {
        writeAsEarlierVersion(QStringLiteral("POP3SERVER"), QStringLiteral("mail.example.jp"));
        writeAsEarlierVersion(QStringLiteral("FROM_CHECK"), QStringLiteral("1"));
        const RegistrySettingsStore store;
        QCOMPARE(store.read(QStringLiteral("POP3SERVER"), {}), QStringLiteral("mail.example.jp"));
        QCOMPARE(store.read(QStringLiteral("FROM_CHECK"), QStringLiteral("0")),
                 QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(TestRegistrySettingsStore)
#include "tst_registry_settings_store.moc"
