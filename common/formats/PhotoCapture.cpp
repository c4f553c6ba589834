#include "PhotoCapture.h"

#include "Bitmap.h"
#include "Jpeg.h"
#include "Text.h"

#include <algorithm>
#include <cstring>

namespace PhotoCapture {

namespace {

constexpr int subNumberLength = 14;

} // namespace

FrameRect framingRect(QPoint centre, QSize photoSize) {
    return {centre.x() - photoSize.width(), centre.y() - photoSize.height(), centre.x() + photoSize.width(),
            centre.y() + photoSize.height()};
}

QPoint initialCentre(QSize videoArea) {
    const int x = int(double(videoArea.width()) / 2);
    const int y = int(double(videoArea.height()) / 2);
    return QPoint(int(double(frameWidth) / videoArea.width() * x), int(double(frameHeight) / videoArea.height() * y));
}

QImage cutFrame(const QImage& frame, const FrameRect& rect) {
    const int width = std::max(rect.width(), 0);
    const int height = std::max(rect.height(), 0);
    QImage cut(width, height, QImage::Format_BGR888);
    cut.fill(Qt::black);
    if (cut.isNull())
        return cut;
    const QImage source = frame.format() == QImage::Format_BGR888 ? frame : frame.convertToFormat(QImage::Format_BGR888);
    // The part of the rectangle that lies on the frame, copied row by row.
    const int x0 = std::max(rect.left, 0);
    const int x1 = std::min(rect.right, source.width());
    const int y0 = std::max(rect.top, 0);
    const int y1 = std::min(rect.bottom, source.height());
    if (x0 >= x1 || y0 >= y1)
        return cut;
    for (int y = y0; y < y1; ++y)
        std::memcpy(cut.scanLine(y - rect.top) + qsizetype(x0 - rect.left) * 3, source.constScanLine(y) + qsizetype(x0) * 3,
                    size_t(x1 - x0) * 3);
    return cut;
}

QString frameFile(const QString& programFolder) { return programFolder + QStringLiteral("temp.bmp"); }

QString cutFile(const QString& programFolder) { return programFolder + QStringLiteral("tmp.bmp"); }

QString messageFor(Outcome outcome) {
    switch (outcome) {
    case Outcome::Captured:
        return QString();
    case Outcome::NoCamera:
        return QStringLiteral("没有连接上视频设备，请连接。");
    case Outcome::SubNumberEmpty:
        return QStringLiteral("学业水平测试副号不能为空，请输入学业水平测试副号！");
    case Outcome::SubNumberLength:
        return QStringLiteral("学业水平测试副号位数不够，请仔细核对！");
    }
    return QString();
}

Shot capture(const QImage& frame, const FrameRect& rect, QSize photoSize, const QString& subNumberText,
             const QString& programFolder) {
    if (frame.isNull())
        return {Outcome::NoCamera, {}};
    const QImage whole = frame.format() == QImage::Format_BGR888 ? frame : frame.convertToFormat(QImage::Format_BGR888);
    Bitmap::writeBmp24(frameFile(programFolder), whole);

    // The scaling works on the cut as it is in memory: the same pixels
    // "tmp.bmp" holds.
    const QImage cut = cutFrame(whole, rect);
    Bitmap::writeBmp24(cutFile(programFolder), cut);
    const QImage photo = Bitmap::scaleBitmap(cut, photoSize);
    QByteArray jpeg = Jpeg::encode(photo, Jpeg::photoQuality);

    if (subNumberText.isEmpty())
        return {Outcome::SubNumberEmpty, {}};
    if (Text::trimmed(subNumberText).size() != subNumberLength)
        return {Outcome::SubNumberLength, {}};
    return {Outcome::Captured, std::move(jpeg)};
}

} // namespace PhotoCapture
