#include "top_requests.h"

namespace ringlark {

QByteArray TopRequests::requestLine(qint64 number)
{
    return "TOP " + QByteArray::number(number) + " 1\r\n";
}

void TopRequests::start(qint64 highest, qsizetype windowBytes, qint64 lowest)
{
    m_windowBytes = windowBytes;
    m_lowest = qMax<qint64>(1, lowest);
    m_oldest = qMax<qint64>(0, highest);
    m_next = m_oldest;
    m_bytes = 0;
    m_stopped = false;
}

QByteArray TopRequests::topUp()
{
    QByteArray lines;
    // At least one request in flight whatever the window, or the walk would stall.
    while (!m_stopped && m_next >= m_lowest) {
        const QByteArray line = requestLine(m_next);
        if (inFlight() > 0 && m_bytes + line.size() > m_windowBytes)
            break;
        lines += line;
        m_bytes += line.size();
        --m_next;
    }
    return lines;
}

qint64 TopRequests::answered()
{
    if (inFlight() <= 0)
        return 0;
    m_bytes -= requestLine(m_oldest).size();
    return m_oldest--;
}

bool listsCapability(const QList<QByteArray> &capabilities, const char *capability)
{
    for (const QByteArray &line : capabilities) {
        const QByteArray name = line.trimmed().split(' ').value(0);
        if (name.compare(capability, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool listsPipelining(const QList<QByteArray> &capabilities)
{
    return listsCapability(capabilities, "PIPELINING");
}

} // namespace ringlark
