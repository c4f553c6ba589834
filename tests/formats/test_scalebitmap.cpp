// Integer bilinear scaling on hand-computed small images, and the 24-bit
// BMP files of the photo capture.
#include "Bitmap.h"
#include "DeskError.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

// A w x h image of `format` whose pixel bytes are `bytes`, row by row.
QImage imageOf(int w, int h, QImage::Format format, const QList<int>& bytes) {
    QImage image(w, h, format);
    const int perPixel = image.depth() / 8;
    for (int y = 0; y < h; ++y)
        for (int b = 0; b < w * perPixel; ++b)
            image.scanLine(y)[b] = uchar(bytes.at(y * w * perPixel + b));
    return image;
}

QList<int> bytesOf(const QImage& image) {
    QList<int> bytes;
    const int perPixel = image.depth() / 8;
    for (int y = 0; y < image.height(); ++y)
        for (int b = 0; b < image.width() * perPixel; ++b)
            bytes << image.constScanLine(y)[b];
    return bytes;
}

} // namespace

class TestScaleBitmap : public QObject {
    Q_OBJECT

private slots:
    // 2 x 2 -> 3 x 3, every byte on its own. The middle pixel is
    // (0 + 100 + 200 + 255 + 2) div 4 = 139: without the rounding term it
    // would be 138; the edge midpoints are (2*0 + 2*100 + 2) div 4 = 50 and
    // so on.
    void twoByTwoToThreeByThree_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("bytesPerPixel");
        QTest::newRow("24-bit") << int(QImage::Format_BGR888) << 3;
        QTest::newRow("32-bit, fourth byte too") << int(QImage::Format_ARGB32) << 4;
    }
    void twoByTwoToThreeByThree() {
        QFETCH(int, format);
        QFETCH(int, bytesPerPixel);
        // Every byte of a pixel carries the same corner value, so the
        // expected bytes repeat per pixel.
        const QList<int> corners{0, 100, 200, 255};
        const QList<int> expected{0, 50, 100, 100, 139, 178, 200, 228, 255};
        QList<int> source;
        for (int v : corners)
            for (int b = 0; b < bytesPerPixel; ++b)
                source << v;
        const QImage scaled = Bitmap::scaleBitmap(imageOf(2, 2, QImage::Format(format), source), QSize(3, 3));
        QCOMPARE(int(scaled.format()), format);
        QCOMPARE(scaled.size(), QSize(3, 3));
        QList<int> want;
        for (int v : expected)
            for (int b = 0; b < bytesPerPixel; ++b)
                want << v;
        QCOMPARE(bytesOf(scaled), want);
    }

    // Channels are interpolated independently: blue, green and red corners
    // of one pixel do not mix.
    void channelsStayApart() {
        const QImage source = imageOf(2, 2, QImage::Format_BGR888, {10, 0, 0, 0, 20, 0, 0, 0, 30, 40, 40, 40});
        const QImage scaled = Bitmap::scaleBitmap(source, QSize(3, 3));
        // Middle pixel: blue (10+0+0+40+2)/4 = 13, green (0+20+0+40+2)/4 = 15,
        // red (0+0+30+40+2)/4 = 18.
        const uchar* middle = scaled.constScanLine(1) + 3;
        QCOMPARE(int(middle[0]), 13);
        QCOMPARE(int(middle[1]), 15);
        QCOMPARE(int(middle[2]), 18);
    }

    // Halving with odd sizes takes the corners exactly (3 x 3 -> 2 x 2: every
    // remainder is 0), and a wider 4 x 2 -> 3 x 2 puts the middle column at
    // source column 1.5.
    void shrinking() {
        const QImage threeByThree =
            imageOf(3, 3, QImage::Format_BGR888, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9});
        QCOMPARE(bytesOf(Bitmap::scaleBitmap(threeByThree, QSize(2, 2))), (QList<int>{1, 1, 1, 3, 3, 3, 7, 7, 7, 9, 9, 9}));

        QList<int> row{0, 0, 0, 10, 10, 10, 21, 21, 21, 30, 30, 30};
        const QImage fourByTwo = imageOf(4, 2, QImage::Format_BGR888, row + row);
        // Column 1: sx = 3, col0 = 1, fx = 1 of dx = 2: (10 + 21 + 1) div 2 = 16.
        const QList<int> scaledRow{0, 0, 0, 16, 16, 16, 30, 30, 30};
        QCOMPARE(bytesOf(Bitmap::scaleBitmap(fourByTwo, QSize(3, 2))), scaledRow + scaledRow);
    }

    // A 15-bit source gives a 16-bit destination, and its two bytes are
    // interpolated as bytes, not as 5-bit fields.
    void fifteenBitBecomesSixteen() {
        // Pixels 0x0010 (bytes 10 00) and 0x3000 (bytes 00 30), two equal rows.
        const QImage source = imageOf(2, 2, QImage::Format_RGB555, {0x10, 0x00, 0x00, 0x30, 0x10, 0x00, 0x00, 0x30});
        const QImage scaled = Bitmap::scaleBitmap(source, QSize(3, 2));
        QCOMPARE(scaled.format(), QImage::Format_RGB16);
        // Middle: low byte (2*0x10 + 2) div 4 = 8, high byte (2*0x30 + 2) div 4 = 0x18.
        QCOMPARE(bytesOf(scaled), (QList<int>{0x10, 0x00, 0x08, 0x18, 0x00, 0x30, 0x10, 0x00, 0x08, 0x18, 0x00, 0x30}));
        QCOMPARE(Bitmap::scaleBitmap(imageOf(2, 2, QImage::Format_RGB16, QList<int>(8, 0)), QSize(2, 2)).format(),
                 QImage::Format_RGB16);
    }

    // The scaling divides by size - 1: sizes below 2 are refused, not a crash.
    void tooSmallDestination() {
        const QImage source = imageOf(2, 2, QImage::Format_BGR888, QList<int>(12, 7));
        QVERIFY_THROWS_EXCEPTION(DeskError, Bitmap::scaleBitmap(source, QSize(1, 240)));
        QVERIFY_THROWS_EXCEPTION(DeskError, Bitmap::scaleBitmap(source, QSize(168, 0)));
    }

    // A 24-bit BMP: 14 + 40 header bytes, rows bottom-up padded to 4 bytes
    // with zeros, blue-green-red; Qt's own reader gives the image back.
    void bmpFile() {
        QImage image(3, 2, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 255, 0));
        image.setPixel(2, 0, qRgb(0, 0, 255));
        image.setPixel(0, 1, qRgb(1, 2, 3));
        image.setPixel(1, 1, qRgb(4, 5, 6));
        image.setPixel(2, 1, qRgb(7, 8, 9));
        const QByteArray bmp = Bitmap::encodeBmp24(image);
        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(bmp.constData() + at); };
        const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(bmp.constData() + at); };
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(bmp.size(), 54 + 2 * 12);
        QCOMPARE(u32(2), quint32(bmp.size()));
        QCOMPARE(u32(10), 54u);
        QCOMPARE(u32(14), 40u);
        QCOMPARE(qint32(u32(18)), 3);
        QCOMPARE(qint32(u32(22)), 2); // positive height: bottom-up
        QCOMPARE(u16(26), quint16(1));
        QCOMPARE(u16(28), quint16(24));
        QCOMPARE(u32(30), 0u);
        QCOMPARE(u32(34), 24u);
        // First stored row is the bottom one.
        QCOMPARE(bmp.mid(54, 12), QByteArray("\x03\x02\x01\x06\x05\x04\x09\x08\x07\0\0\0", 12));
        QCOMPARE(bmp.mid(66, 12), QByteArray("\x00\x00\xff\x00\xff\x00\xff\x00\x00\0\0\0", 12));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tmp.bmp"));
        Bitmap::writeBmp24(path, image);
        QImage back(path);
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32), image);
    }
};

QTEST_GUILESS_MAIN(TestScaleBitmap)
#include "test_scalebitmap.moc"
