#pragma once

#include <QByteArray>
#include <QImage>

namespace ringlark {

// A QR code of the text, drawn by libqrencode: black modules on white, each module
// moduleSize pixels square, with the four-module quiet zone that scanners need around it.
// A null image when the text does not fit in a QR code.
QImage qrImage(const QByteArray &text, int moduleSize);

} // namespace ringlark
