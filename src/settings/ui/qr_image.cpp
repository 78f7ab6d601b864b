#include "qr_image.h"

#include <qrencode.h>

#include <QPainter>

#include <memory>

namespace ringlark {

namespace {

constexpr int QuietZone = 4;

struct QrFree
{
    void operator()(QRcode *code) const { QRcode_free(code); }
};

} // namespace

QImage qrImage(const QByteArray &text, int moduleSize)
{
    // Medium error correction: a phone camera reads it off a screen easily, and the enrolment
    // URI still fits a small symbol.
    const std::unique_ptr<QRcode, QrFree> code(
        QRcode_encodeString(text.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
    if (!code || moduleSize < 1)
        return {};
    const int side = (code->width + 2 * QuietZone) * moduleSize;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1) // bit 0: a dark module
                painter.fillRect((x + QuietZone) * moduleSize, (y + QuietZone) * moduleSize,
                                 moduleSize, moduleSize, Qt::black);
    return image;
}

} // namespace ringlark
