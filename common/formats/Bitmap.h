#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Device-independent bitmaps as the photo capture uses them. An image in
// memory is a QImage whose layout is that of a DIB row: Format_BGR888 is a
// 24-bit DIB (blue, green, red), Format_RGB32 a 32-bit one, Format_RGB555 a
// 15-bit one and Format_RGB16 a 16-bit (5-6-5) one; rows are padded to four
// bytes in both.
namespace Bitmap {

// Writes `image` as an uncompressed 24-bit BMP file, rows bottom-up, each
// padded to four bytes, replacing the file. An image of another format is
// converted to 24 bits first. Throws FileError when the file cannot be
// written.
void writeBmp24(const QString& path, const QImage& image);

// The same file in memory.
QByteArray encodeBmp24(const QImage& image);

// Bilinear scaling in integers, byte by byte, to `size` (at least 2 x 2; the
// source at least 2 x 2 as well, or DeskError):
//   destination row y takes sy = y * (H - 1): row0 = sy / (h - 1),
//   fy = sy % (h - 1), row1 = row0 + 1 when fy != 0 (likewise for columns),
//   and each byte is
//   ((dx-fx)(dy-fy)P00 + fx(dy-fy)P10 + (dx-fx)fy P01 + fx fy P11 + dx dy / 2) / (dx dy)
//   with dx = w - 1, dy = h - 1.
// The destination keeps the source's pixel format, except that 15-bit
// becomes 16-bit (the bytes themselves are interpolated as they are). Every
// byte of a pixel is interpolated on its own, the fourth byte of 32-bit
// pixels included. Sources of 8 bits per pixel or less are taken as 24-bit.
QImage scaleBitmap(const QImage& source, QSize size);

} // namespace Bitmap
