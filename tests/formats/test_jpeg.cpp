// The stored photo format: a baseline JFIF file of 3 components at quality
// 80, read back both by our decoder and by walking its markers.
#include "DeskError.h"
#include "Jpeg.h"

#include <QElapsedTimer>
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
    void damagedFiles() {
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::decode(QByteArray("not a picture")));
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::readHeader(QByteArray()));
        const QByteArray jpeg = Jpeg::encode(testPicture(64, 64));
        QVERIFY_THROWS_EXCEPTION(DeskError, Jpeg::decode(jpeg.left(100)));
    }

    // A few hundred bytes claiming 30000 x 30000 pixels (2.7 GB) are refused
    // before anything is allocated for them.
    void frameHeaderCannotClaimGigabytes() {
        QByteArray jpeg = Jpeg::encode(testPicture(16, 16));
        const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(frame > 0);
        for (qsizetype at : {frame + 5, frame + 7}) { // height, width
            jpeg[at] = char(30000 >> 8);
            jpeg[at + 1] = char(30000 & 0xFF);
        }
        QCOMPARE(Jpeg::readHeader(jpeg).width, 30000);
        QElapsedTimer clock;
        clock.start();
        try {
            Jpeg::decode(jpeg);
            QFAIL("a 30000 x 30000 picture was decoded");
        } catch (const DeskError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("过大")), qPrintable(e.message()));
        }
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_GUILESS_MAIN(TestJpeg)
#include "test_jpeg.moc"
