#include "base32.h"
#include "fakes.h"
#include "trigger_checks.h"
#include "trigger_checks_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace ringlark;

class TestTriggerChecksDialog : public QObject
{
    Q_OBJECT
private slots:
    void enrolAndSave();
    void storedValuesShowAndCancelForgets();
};

namespace {

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace

void TestTriggerChecksDialog::enrolAndSave()
{
    test::FakeSettingsStore store;
    store.values.insert(QStringLiteral("FROM"), QStringLiteral("me@example.com"));
    TriggerChecks checks;
    checks.load(store);
    QVERIFY(!checks.codeRequired() && !checks.senderVerdictRequired());

    TriggerChecksDialog dialog(checks, store);
    dialog.showFromMenu(QStringLiteral("taro yamada"),
                        {QStringLiteral("mx.example.net"), QStringLiteral("relay.example.org")});
    QVERIFY(dialog.shownSecret().isEmpty());
    QVERIFY(child<QLabel>(dialog, "qrCode")->pixmap().isNull());

    // Switching the code on makes the secret, with its QR code and the enrolment URI.
    child<QCheckBox>(dialog, "codeCheck")->click();
    const QString secret = dialog.shownSecret();
    QCOMPARE(base32Decode(secret).value_or(QByteArray()).size(), 20);
    QCOMPARE(dialog.shownUri(), QStringLiteral("otpauth://totp/RINGLARK:taro%20yamada?secret=") +
                                    secret + QStringLiteral("&issuer=RINGLARK"));
    QVERIFY(!child<QLabel>(dialog, "qrCode")->pixmap().isNull());
    QCOMPARE(child<QLineEdit>(dialog, "secretText")->text().remove(QLatin1Char(' ')), secret);
    dialog.makeNewSecret();
    QVERIFY(dialog.shownSecret() != secret);

    // The authserv-ids of the newest mail are there to pick.
    auto *servId = child<QComboBox>(dialog, "servId");
    QCOMPARE(servId->count(), 2);
    child<QCheckBox>(dialog, "senderCheck")->click();
    // The verdict required from no server at all: no mail could pass, so OK refuses it.
    servId->setEditText(QStringLiteral(" "));
    child<QPushButton>(dialog, "okButton")->click();
    QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("refusal")) && dialog.isVisible());
    QVERIFY(store.writes.isEmpty());
    servId->setCurrentIndex(1);

    child<QPushButton>(dialog, "okButton")->click();
    QVERIFY(dialog.isHidden());
    QCOMPARE(store.writes,
             QStringList({QStringLiteral("TOTP_CHECK"), QStringLiteral("TOTP_SECRET"),
                          QStringLiteral("AUTH_CHECK"), QStringLiteral("AUTH_SERVID")}));
    QCOMPARE(store.values.value(QStringLiteral("TOTP_SECRET")), dialog.shownSecret());
    QCOMPARE(store.values.value(QStringLiteral("AUTH_SERVID")),
             QStringLiteral("relay.example.org"));
    TriggerChecks reread;
    reread.load(store);
    QVERIFY(reread.codeRequired() && reread.senderVerdictRequired());
    QCOMPARE(reread.totpSecret, checks.totpSecret);
}

void TestTriggerChecksDialog::storedValuesShowAndCancelForgets()
{
    test::FakeSettingsStore store;
    TriggerChecks checks{QStringLiteral("1"), QStringLiteral("MZXW6YTBOI"), QStringLiteral("0"),
                         QStringLiteral("mx.example.net"), QString()};
    TriggerChecksDialog dialog(checks, store);
    dialog.showFromMenu(QStringLiteral("u"), {});
    QVERIFY(child<QCheckBox>(dialog, "codeCheck")->isChecked());
    QVERIFY(!child<QCheckBox>(dialog, "senderCheck")->isChecked());
    QCOMPARE(child<QComboBox>(dialog, "servId")->currentText(), QStringLiteral("mx.example.net"));
    QCOMPARE(dialog.shownSecret(), QStringLiteral("MZXW6YTBOI"));

    dialog.makeNewSecret();
    child<QPushButton>(dialog, "cancelButton")->click();
    QVERIFY(dialog.isHidden());
    QVERIFY(store.writes.isEmpty());
    QCOMPARE(checks.totpSecret, QStringLiteral("MZXW6YTBOI"));
    dialog.showFromMenu(QStringLiteral("u"), {});
    QCOMPARE(dialog.shownSecret(), QStringLiteral("MZXW6YTBOI"));

    store.failWrites = true;
    QSignalSpy failed(&dialog, &TriggerChecksDialog::settingsWriteFailed);
    child<QPushButton>(dialog, "okButton")->click();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(0).toStringList().size(), 4);
}

QTEST_MAIN(TestTriggerChecksDialog)
#include "tst_trigger_checks_dialog.moc"
