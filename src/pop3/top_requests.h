#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace ringlark {

// The TOP requests of a walk that a pipelining server is sent ahead of its replies: numbers
// from the highest down to 1, as many at a time as fit in a window of request bytes. The
// window is counted in bytes because that is what a server's TCP receive window limits
// (RFC 2449). 16 KB is a quarter of the 64 KB window TCP stacks commonly start with, and
// keeps some 1,400 requests in flight, so that a walk takes about one round trip per 1,400
// messages, not one per message. The session always reads while it writes, so a server
// that is slow to read cannot deadlock it either way.
//
// The requests in flight are always consecutive numbers, oldest (highest) first, and the
// server answers them in that order.
class TopRequests
{
public:
    static constexpr qsizetype kPipelineWindowBytes = 16 * 1024;

    // A new walk whose first request is for `highest` and whose last is for `lowest`. A
    // window of 0 bytes keeps one request in flight at a time: the exchange for a server
    // that does not pipeline.
    void start(qint64 highest, qsizetype windowBytes, qint64 lowest = 1);
    // The request lines to send now so that the window is full: "TOP n 1" CR LF each, the
    // oldest first. Empty when the window is full or every number has been asked for.
    QByteArray topUp();
    // The reply to the oldest request in flight has been taken; returns its message number
    // (0 when nothing was in flight).
    qint64 answered();
    // No further requests: the walk has ended. Those in flight are still counted.
    void stop() { m_stopped = true; }

    qint64 inFlight() const { return m_oldest - m_next; }
    qsizetype bytesInFlight() const { return m_bytes; }
    // The number the next request would ask for; 0 once the lowest has been asked for.
    qint64 next() const { return m_stopped || m_next < m_lowest ? 0 : m_next; }

    static QByteArray requestLine(qint64 number);

private:
    qsizetype m_windowBytes = 0;
    qint64 m_oldest = 0; // the number of the oldest request in flight, when any
    qint64 m_next = 0;
    qint64 m_lowest = 1;
    qsizetype m_bytes = 0;
    bool m_stopped = false;
};

// Whether a CAPA reply's lines (RFC 2449) name a capability, in any letter case.
bool listsCapability(const QList<QByteArray> &capabilities, const char *capability);
bool listsPipelining(const QList<QByteArray> &capabilities);

} // namespace ringlark
