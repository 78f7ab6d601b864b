#pragma once

#include <QProcess>
#include <QString>

namespace ringlark::bench {

// bench/pop3/delay_relay.py in front of a local server, for one round-trip time: it holds
// every byte for half of it each way. The relay stops when this object goes.
class DelayRelay
{
public:
    DelayRelay(quint16 target, int rttMs)
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(RINGLARK_DELAY_RELAY), QStringLiteral("--target"),
                         QStringLiteral("127.0.0.1:") + QString::number(target),
                         QStringLiteral("--delay-ms"), QString::number(rttMs / 2.0)});
        // Set-up, before anything is timed: waiting here blocks nothing that is measured.
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(10000))
            out += m_process.readAllStandardOutput();
        if (out.startsWith("PORT "))
            m_port = static_cast<quint16>(out.mid(5).trimmed().toUInt());
    }
    ~DelayRelay()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    DelayRelay(const DelayRelay &) = delete;
    DelayRelay &operator=(const DelayRelay &) = delete;

    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace ringlark::bench
