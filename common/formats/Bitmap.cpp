#include "Bitmap.h"

#include "DeskError.h"
#include "WholeFile.h"

#include <QtEndian>
#include <cstring>
#include <vector>

namespace Bitmap {

namespace {

constexpr int fileHeaderSize = 14;
constexpr int infoHeaderSize = 40;

void put16(char*& at, quint16 value) {
    qToLittleEndian(value, at);
    at += 2;
}

void put32(char*& at, quint32 value) {
    qToLittleEndian(value, at);
    at += 4;
}

} // namespace

QByteArray encodeBmp24(const QImage& image) {
    const QImage bgr = image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    const int width = bgr.width();
    const int height = bgr.height();
    const qsizetype rowBytes = qsizetype(width) * 3;
    const qsizetype stride = (rowBytes + 3) & ~qsizetype(3);
    const qsizetype imageSize = stride * height;

    QByteArray file(fileHeaderSize + infoHeaderSize + imageSize, '\0');
    char* at = file.data();
    *at++ = 'B';
    *at++ = 'M';
    put32(at, quint32(file.size()));
    put32(at, 0); // reserved
    put32(at, fileHeaderSize + infoHeaderSize);
    put32(at, infoHeaderSize);
    put32(at, quint32(width));
    put32(at, quint32(height)); // positive: bottom-up rows
    put16(at, 1);               // planes
    put16(at, 24);
    put32(at, 0); // uncompressed
    put32(at, quint32(imageSize));
    put32(at, 0); // pixels per metre, x and y
    put32(at, 0);
    put32(at, 0); // colours used, important
    put32(at, 0);
    for (int y = 0; y < height; ++y) {
        // The padding at the end of each row stays zero.
        std::memcpy(at + (height - 1 - y) * stride, bgr.constScanLine(y), size_t(rowBytes));
    }
    return file;
}

void writeBmp24(const QString& path, const QImage& image) { WholeFile::overwrite(path, encodeBmp24(image)); }

QImage scaleBitmap(const QImage& given, QSize size) {
    const int w = size.width();
    const int h = size.height();
    if (w < 2 || h < 2)
        throw DeskError(QStringLiteral("照片尺寸至少为 2 × 2 像素，现为 %1 × %2。").arg(w).arg(h));
    if (given.isNull())
        throw DeskError(QStringLiteral("没有可缩放的图像。"));

    QImage source = given;
    QImage::Format format = source.format();
    int bytes = 0;
    switch (source.depth()) {
    case 16:
        bytes = 2;
        if (format == QImage::Format_RGB555)
            format = QImage::Format_RGB16;
        break;
    case 24:
        bytes = 3;
        break;
    case 32:
        bytes = 4;
        break;
    default:
        format = QImage::Format_BGR888;
        source = given.convertToFormat(format);
        bytes = 3;
        break;
    }

    const int sourceW = source.width();
    const int sourceH = source.height();
    const quint64 dx = quint64(w - 1);
    const quint64 dy = quint64(h - 1);
    const quint64 area = dx * dy;
    const quint64 half = area / 2;

    // Columns are the same for every row: work them out once, as byte
    // offsets into a source row.
    struct Column {
        qsizetype at0, at1;
        quint64 fx;
    };
    std::vector<Column> columns(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) {
        const quint64 sx = quint64(x) * quint64(sourceW - 1);
        const quint64 col0 = sx / dx;
        const quint64 fx = sx % dx;
        const quint64 col1 = fx != 0 ? col0 + 1 : col0;
        columns[size_t(x)] = {qsizetype(col0) * bytes, qsizetype(col1) * bytes, fx};
    }

    QImage destination(w, h, format);
    for (int y = 0; y < h; ++y) {
        const quint64 sy = quint64(y) * quint64(sourceH - 1);
        const int row0 = int(sy / dy);
        const quint64 fy = sy % dy;
        const int row1 = fy != 0 ? row0 + 1 : row0;
        const uchar* line0 = source.constScanLine(row0);
        const uchar* line1 = source.constScanLine(row1);
        uchar* out = destination.scanLine(y);
        for (const Column& c : columns) {
            const quint64 w00 = (dx - c.fx) * (dy - fy);
            const quint64 w10 = c.fx * (dy - fy);
            const quint64 w01 = (dx - c.fx) * fy;
            const quint64 w11 = c.fx * fy;
            for (int b = 0; b < bytes; ++b) {
                const quint64 value = w00 * line0[c.at0 + b] + w10 * line0[c.at1 + b] + w01 * line1[c.at0 + b] +
                                      w11 * line1[c.at1 + b] + half;
                *out++ = uchar(value / area);
            }
        }
    }
    return destination;
}

} // namespace Bitmap
