#include <QTest>
class TestTlsWire : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestTlsWire)
#include "tst_tls_wire.moc"
