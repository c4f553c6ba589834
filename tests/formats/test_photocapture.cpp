// The capture pipeline: framing rectangle, working files, the sub-number
// checks after them, and the photo's JPEG.
#include "FileOps.h"
#include "Jpeg.h"
#include "PhotoCapture.h"
#include "TempStation.h"

#include <QFile>
#include <QtTest>

using PhotoCapture::Outcome;

namespace {

const QString subNumber = QStringLiteral("01320101234567");
const QSize defaultSize(168, 240);

// A 640 x 480 frame where every pixel tells its place.
QImage frame() {
    QImage image(PhotoCapture::frameWidth, PhotoCapture::frameHeight, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 16 + (y / 256) * 64 + 1));
    return image;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestPhotoCapture : public QObject {
    Q_OBJECT

private slots:
    void framing() {
        QCOMPARE(PhotoCapture::initialCentre(QSize(401, 345)), QPoint(319, 239));
        const PhotoCapture::FrameRect rect = PhotoCapture::framingRect(QPoint(319, 239), defaultSize);
        QCOMPARE(rect, (PhotoCapture::FrameRect{151, -1, 487, 479}));
        QCOMPARE(rect.toQRect(), QRect(151, -1, 336, 480));
        // A dragged centre is taken as it is, outside the frame too.
        QCOMPARE(PhotoCapture::framingRect(QPoint(-5, 600), QSize(2, 3)), (PhotoCapture::FrameRect{-7, 597, -3, 603}));
    }

    // The default capture: "temp.bmp" is the whole frame, "tmp.bmp" the
    // rectangle (151, -1)-(487, 479) with its row above the frame black, and
    // the photo is a 168 x 240 baseline JPEG.
    void defaultCapture() {
        TempStation station;
        const QImage source = frame();
        const auto rect = PhotoCapture::framingRect(PhotoCapture::initialCentre(QSize(401, 345)), defaultSize);
        const PhotoCapture::Shot shot = PhotoCapture::capture(
            source, rect, defaultSize, QStringLiteral(" ") + subNumber + QStringLiteral(" "), station.path());
        QCOMPARE(shot.outcome, Outcome::Captured);

        const QImage whole(station.file(QStringLiteral("temp.bmp")));
        QCOMPARE(whole.size(), QSize(640, 480));
        QCOMPARE(whole.convertToFormat(QImage::Format_RGB888), source);

        const QImage cut(station.file(QStringLiteral("tmp.bmp")));
        QCOMPARE(cut.size(), QSize(336, 480));
        QCOMPARE(cut.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(cut.pixel(335, 0), qRgb(0, 0, 0));
        QCOMPARE(cut.pixel(0, 1), source.pixel(151, 0));
        QCOMPARE(cut.pixel(335, 479), source.pixel(486, 478));

        const Jpeg::Header header = Jpeg::readHeader(shot.jpeg);
        QCOMPARE(QSize(header.width, header.height), defaultSize);
        QCOMPARE(header.components, 3);
        QVERIFY(header.baseline);
        QVERIFY(!header.progressive);
        // The photo is the rectangle halved: its bottom-right corner is the
        // frame pixel (485, 477) (the cut's (334, 478)) up to the compression.
        const QRgb corner = Jpeg::decode(shot.jpeg).pixel(167, 239);
        QVERIFY(qAbs(qRed(corner) - qRed(source.pixel(485, 477))) <= 12);
        QVERIFY(qAbs(qGreen(corner) - qGreen(source.pixel(485, 477))) <= 12);

        // Another photo size gives a photo of that size.
        QImage other(640, 480, QImage::Format_RGB888);
        other.fill(Qt::white);
        const PhotoCapture::Shot again = PhotoCapture::capture(other, rect, QSize(100, 120), subNumber, station.path());
        QCOMPARE(again.outcome, Outcome::Captured);
        const Jpeg::Header small = Jpeg::readHeader(again.jpeg);
        QCOMPARE(QSize(small.width, small.height), QSize(100, 120));
    }

    // The checks come after the working files: a refused number still
    // rewrites both, and stores nothing.
    void subNumberChecks_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("outcome");
        QTest::newRow("empty") << QString() << int(Outcome::SubNumberEmpty);
        QTest::newRow("blanks only") << QStringLiteral("   ") << int(Outcome::SubNumberLength);
        QTest::newRow("13 characters") << subNumber.left(13) << int(Outcome::SubNumberLength);
        QTest::newRow("15 characters") << subNumber + QStringLiteral("8") << int(Outcome::SubNumberLength);
        QTest::newRow("13 and a full-width space") << subNumber.left(13) + QChar(0x3000) << int(Outcome::Captured);
    }
    void subNumberChecks() {
        QFETCH(QString, typed);
        QFETCH(int, outcome);
        TempStation station;
        // Stale working files, one longer than the new contents: nothing
        // of it may remain at the end.
        QVERIFY(write(station.file(QStringLiteral("temp.bmp")), QByteArray(2 << 20, 'x')));
        QVERIFY(write(station.file(QStringLiteral("tmp.bmp")), "old"));
        const auto rect = PhotoCapture::framingRect(QPoint(319, 239), defaultSize);
        const PhotoCapture::Shot shot = PhotoCapture::capture(frame(), rect, defaultSize, typed, station.path());
        QCOMPARE(int(shot.outcome), outcome);
        QCOMPARE(QImage(station.file(QStringLiteral("temp.bmp"))).size(), QSize(640, 480));
        QCOMPARE(QFileInfo(station.file(QStringLiteral("temp.bmp"))).size(), 54 + 640 * 480 * 3);
        QCOMPARE(QImage(station.file(QStringLiteral("tmp.bmp"))).size(), QSize(336, 480));
        QCOMPARE(QFileInfo(station.file(QStringLiteral("tmp.bmp"))).size(), 54 + 336 * 3 * 480);
        QCOMPARE(shot.jpeg.isEmpty(), outcome != int(Outcome::Captured));
        QVERIFY(QDir(station.file(QStringLiteral("photo"))).entryList(QDir::Files).isEmpty());
        QVERIFY(!PhotoCapture::messageFor(Outcome(outcome)).isEmpty() || outcome == int(Outcome::Captured));
    }

    // No camera or no frame yet: the message, and no file is touched.
    void noFrame() {
        TempStation station;
        const auto rect = PhotoCapture::framingRect(QPoint(319, 239), defaultSize);
        QCOMPARE(PhotoCapture::capture(QImage(), rect, defaultSize, subNumber, station.path()).outcome, Outcome::NoCamera);
        QVERIFY(!QFile::exists(station.file(QStringLiteral("temp.bmp"))));
        QVERIFY(!QFile::exists(station.file(QStringLiteral("tmp.bmp"))));
        QCOMPARE(PhotoCapture::messageFor(Outcome::NoCamera), QStringLiteral("没有连接上视频设备，请连接。"));
    }

    // A working file that cannot be written is an error naming it.
    void failedWorkingFile() {
        TempStation station;
        const auto rect = PhotoCapture::framingRect(QPoint(319, 239), defaultSize);
        QVERIFY(QDir(station.path()).mkdir(QStringLiteral("temp.bmp")));
        try {
            PhotoCapture::capture(frame(), rect, defaultSize, subNumber, station.path());
            QFAIL("the failed write went unnoticed");
        } catch (const FileError& error) {
            QCOMPARE(error.path(), station.file(QStringLiteral("temp.bmp")));
        }
    }
};

QTEST_GUILESS_MAIN(TestPhotoCapture)
#include "test_photocapture.moc"
