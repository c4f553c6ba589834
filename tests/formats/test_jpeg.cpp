// The stored photo format: a baseline JFIF file of 3 components at quality
// 80, read back both by our decoder and by walking its markers.
#include "DeskError.h"
#include "Jpeg.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Segment {
    int marker;
    QByteArray body; // without the length bytes
};

// The marker segments before the first scan.
QList<Segment> segmentsOf(const QByteArray& jpeg) {
    QList<Segment> segments;
    int at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const int marker = uchar(jpeg[at + 1]);
        const int length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        segments.append({marker, jpeg.mid(at + 4, length - 2)});
        if (marker == 0xDA)
            break;
        at += 2 + length;
    }
    return segments;
}

QImage testPicture(int w, int h) {
    QImage image(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 90));
    return image;
}

} // namespace

class TestJpeg : public QObject {
    Q_OBJECT

private slots:
    void photoFormat() {
        const QByteArray jpeg = Jpeg::encode(testPicture(168, 240));
        QVERIFY(jpeg.startsWith("\xFF\xD8"));
        QVERIFY(jpeg.endsWith("\xFF\xD9"));
        const QList<Segment> segments = segmentsOf(jpeg);
        QVERIFY(!segments.isEmpty());
        QCOMPARE(segments.first().marker, 0xE0); // JFIF
        QVERIFY(segments.first().body.startsWith(QByteArray("JFIF\0", 5)));

        int frames = 0;
        QList<int> firstQuantizers;
        for (const Segment& s : segments) {
            QVERIFY2(s.marker != 0xC2, "progressive frame");
            if (s.marker == 0xC0) {
                ++frames;
                QCOMPARE(int(uchar(s.body[0])), 8);                            // precision
                QCOMPARE((uchar(s.body[1]) << 8) | uchar(s.body[2]), 240);      // height
                QCOMPARE((uchar(s.body[3]) << 8) | uchar(s.body[4]), 168);      // width
                QCOMPARE(int(uchar(s.body[5])), 3);                             // components
            }
            if (s.marker == 0xDB)
                for (int at = 0; at + 65 <= s.body.size(); at += 65)
                    firstQuantizers << uchar(s.body[at + 1]);
        }
        QCOMPARE(frames, 1);
        // Quality 80 scales the standard tables to 40 %: the first luminance
        // entry 16 becomes 6, the first chrominance entry 17 becomes 7.
        QCOMPARE(firstQuantizers, (QList<int>{6, 7}));

        const Jpeg::Header header = Jpeg::readHeader(jpeg);
        QCOMPARE(header.width, 168);
        QCOMPARE(header.height, 240);
        QCOMPARE(header.components, 3);
        QVERIFY(!header.progressive);
        QVERIFY(header.baseline);
    }

    // Every input layout gives the same colours: a flat colour survives
    // the round trip within the loss of the compression.
    void roundTrip_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("BGR888") << int(QImage::Format_BGR888);
        QTest::newRow("RGB888") << int(QImage::Format_RGB888);
        QTest::newRow("RGB32") << int(QImage::Format_RGB32);
        QTest::newRow("RGB16") << int(QImage::Format_RGB16);
    }
    void roundTrip() {
        QFETCH(int, format);
        QImage image(40, 30, QImage::Format(format));
        image.fill(QColor(200, 96, 40));
        const QImage back = Jpeg::decode(Jpeg::encode(image));
        QCOMPARE(back.size(), QSize(40, 30));
        // (16-bit pixels hold the colour only as closely as 5-6-5 bits can.)
        const QRgb want = image.pixel(20, 15);
        const QRgb pixel = back.pixel(20, 15);
        QVERIFY2(qAbs(qRed(pixel) - qRed(want)) <= 4 && qAbs(qGreen(pixel) - qGreen(want)) <= 4 &&
                     qAbs(qBlue(pixel) - qBlue(want)) <= 4,
                 qPrintable(QString::number(pixel, 16)));
    }

    // libjpeg's own reaction to a broken file is to end the program; here
    // it is an error the window can show.
    // The reason is told in Chinese, never in libjpeg's English.
    void damagedFiles() {
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::decode(QByteArray("not a picture")));
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::readHeader(QByteArray()));
        const QByteArray jpeg = Jpeg::encode(testPicture(64, 64));
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::decode(jpeg.left(100)));
        QByteArray lossless = jpeg;
        lossless[int(jpeg.indexOf("\xFF\xC0")) + 1] = char(0xC3); // a lossless frame: not supported
        const std::pair<QByteArray, QString> cases[] = {
            {QByteArray("not a picture"), QStringLiteral("文件不是 JPEG 图像")},
            {QByteArray(), QStringLiteral("文件不是 JPEG 图像")},
            {jpeg.left(100), QString()},
            {lossless, QStringLiteral("编码方式不受支持")},
        };
        for (const auto& [file, reason] : cases) {
            try {
                Jpeg::decode(file);
                QFAIL("a damaged file was decoded");
            } catch (const DeskError& e) {
                QVERIFY2(e.message().startsWith(QStringLiteral("读取 JPEG 图像时出错：")), qPrintable(e.message()));
                QVERIFY2(!e.message().contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"))),
                         qPrintable(e.message()));
                QVERIFY2(reason.isEmpty() || e.message().contains(reason), qPrintable(e.message()));
            }
        }
    }

    // A header may claim any size: a few hundred bytes claiming 30000 x 30000
    // pixels are refused at once, before 2.7 GB are asked for.
    void claimedSizeIsBounded_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("refused");
        QTest::newRow("30000 square") << 30000 << 30000 << true;
        QTest::newRow("8001 across") << 8001 << 16 << true;
        QTest::newRow("8000 down") << 16 << 8000 << false;
    }
    void claimedSizeIsBounded() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, refused);
        QByteArray jpeg = Jpeg::encode(testPicture(16, 16));
        const int frame = int(jpeg.indexOf("\xFF\xC0"));
        QVERIFY(frame > 0);
        jpeg[frame + 5] = char(height >> 8);
        jpeg[frame + 6] = char(height & 0xFF);
        jpeg[frame + 7] = char(width >> 8);
        jpeg[frame + 8] = char(width & 0xFF);
        QCOMPARE(Jpeg::readHeader(jpeg).width, width);
        QElapsedTimer clock;
        clock.start();
        try {
            const QImage image = Jpeg::decode(jpeg);
            QVERIFY(!refused);
            QCOMPARE(image.size(), QSize(width, height)); // the missing rows come out grey
        } catch (const DeskError& e) {
            QVERIFY2(refused, qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("%1 × %2").arg(width).arg(height)), qPrintable(e.message()));
        }
        QVERIFY(clock.elapsed() < 2000);
    }

    // A photo for a small box is decoded at the smallest of libjpeg's
    // reduced sizes that still covers the box, never smaller.
    void decodedForABox_data() {
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("whole") << QSize() << QSize(640, 480);
        QTest::newRow("an eighth") << QSize(80, 60) << QSize(80, 60);
        QTest::newRow("just over an eighth") << QSize(81, 10) << QSize(160, 120);
        QTest::newRow("height decides") << QSize(10, 300) << QSize(400, 300);
        QTest::newRow("larger than the picture") << QSize(1000, 1000) << QSize(640, 480);
    }
    void decodedForABox() {
        QFETCH(QSize, box);
        QFETCH(QSize, decoded);
        const QImage image = Jpeg::decode(Jpeg::encode(testPicture(640, 480)), box);
        QCOMPARE(image.size(), decoded);
        // The picture is all there, scaled: its corners keep their colours.
        const QImage full = testPicture(640, 480);
        const QRgb want = full.pixel(full.width() - 1, full.height() - 1);
        const QRgb got = image.pixel(image.width() - 1, image.height() - 1);
        QVERIFY2(qAbs(qRed(got) - qRed(want)) <= 12 && qAbs(qGreen(got) - qGreen(want)) <= 12,
                 qPrintable(QString::number(got, 16)));
    }
};

QTEST_GUILESS_MAIN(TestJpeg)
#include "test_jpeg.moc"
