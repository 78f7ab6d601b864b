#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

class QAbstractSocket;
class QTcpSocket;

namespace ringlark::test {

// What a hostile server sends, piece by piece; an empty piece ends the stream.
using Source = std::function<QByteArray()>;

// Writes the pieces of `source` into `socket` until the source ends or the connection goes.
// intervalMs > 0: one piece per interval, a drip. 0: as fast as the peer reads, with only a
// few hundred kilobytes waiting in the socket at a time, so that the server's own memory
// stays small however much it sends.
void streamInto(QTcpSocket *socket, Source source, int intervalMs = 0);

// `piece`, over and over.
Source endless(const QByteArray &piece);
// `head`, then `total` bytes of `fill` in 64 KiB pieces, then `tail`.
Source sized(const QByteArray &head, qsizetype total, char fill, const QByteArray &tail);
// `bytes` one byte per piece; then, if given, `thenForever` one byte per piece without end.
Source byteByByte(const QByteArray &bytes, std::optional<char> thenForever = std::nullopt);

// Drops the connection with a reset (RST), as a crashing or hostile peer does, instead of
// an orderly close.
void resetConnection(QAbstractSocket *socket);

// The process's resident memory, for a generous bound on what a test may add. Not usable
// under AddressSanitizer, whose quarantine keeps freed memory resident on purpose.
struct RssProbe
{
    static bool usable();
    // Starts a measurement: resets the peak and notes the current size.
    void begin();
    // How far the peak rose above the size at begin(), in bytes.
    qint64 peakGrowth() const;

    qint64 baseline = 0;
};

} // namespace ringlark::test
