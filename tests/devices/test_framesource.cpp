#include "FrameSource.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

bool isUniform(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (image.pixel(x, y) != first)
                return false;
    return true;
}

} // namespace

class TestFrameSource : public QObject {
    Q_OBJECT
private slots:
    void testDeviceListedOnlyWhenAskedFor();
    void testDeviceDeliversFramesUntilStopped();
    void startingAnotherPositionStopsTheRunningDevice();
    void cameraFramesBecomeImages();
    void cameraErrorsAreToldInChinese();
};

void TestFrameSource::testDeviceListedOnlyWhenAskedFor() {
    FrameSource source;
    {
        qunsetenv("DESK_TEST_CAMERA");
        const QStringList names = source.deviceNames();
        QVERIFY(!names.contains(FrameSource::testDeviceName()));
        // The position after the real devices holds nothing to start.
        QVERIFY(!source.start(int(names.size())));
        QVERIFY(!source.isActive());
        QVERIFY(source.latestFrame().isNull());
    }
    {
        qputenv("DESK_TEST_CAMERA", "1");
        const QStringList names = source.deviceNames();
        QVERIFY(!names.isEmpty());
        QCOMPARE(names.last(), QStringLiteral("测试图像"));
        QCOMPARE(names.count(FrameSource::testDeviceName()), 1);
        QVERIFY(!source.start(-1));
        QVERIFY(!source.start(int(names.size())));
        QVERIFY(!source.isActive());
    }
    qputenv("DESK_TEST_CAMERA", "yes");
    QVERIFY(!source.deviceNames().contains(FrameSource::testDeviceName()));
}

void TestFrameSource::testDeviceDeliversFramesUntilStopped() {
    qputenv("DESK_TEST_CAMERA", "1");
    FrameSource source;
    QSignalSpy frames(&source, &FrameSource::frameArrived);
    QSignalSpy notices(&source, &FrameSource::formatNotice);
    QVERIFY(source.start(int(source.deviceNames().size()) - 1));
    QVERIFY(source.isActive());
    QCOMPARE(source.activeDeviceName(), FrameSource::testDeviceName());
    // Nothing has arrived yet: the frame is null (the capture reports no device).
    QVERIFY(source.latestFrame().isNull());

    QVERIFY(frames.wait(2000));
    const QImage first = source.latestFrame();
    QCOMPARE(first.size(), QSize(640, 480));
    QCOMPARE(first.format(), QImage::Format_RGB888);
    QVERIFY(!isUniform(first));
    // The picture moves.
    const int seen = int(frames.count());
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() > seen, 2000);
    QVERIFY(source.latestFrame() != first);
    QCOMPARE(notices.count(), 0);
    QVERIFY(source.formatNoticeText().isEmpty());

    source.stop();
    QVERIFY(!source.isActive());
    QVERIFY(source.activeDeviceName().isEmpty());
    QVERIFY(source.latestFrame().isNull());
    frames.clear();
    QTest::qWait(200);
    QCOMPARE(frames.count(), 0);
    QVERIFY(source.latestFrame().isNull());

    // A stopped device starts again.
    QVERIFY(source.start(int(source.deviceNames().size()) - 1));
    QVERIFY(frames.wait(2000));
    QCOMPARE(source.latestFrame().size(), QSize(640, 480));
}

void TestFrameSource::startingAnotherPositionStopsTheRunningDevice() {
    qputenv("DESK_TEST_CAMERA", "1");
    FrameSource source;
    QSignalSpy frames(&source, &FrameSource::frameArrived);
    const int test = int(source.deviceNames().size()) - 1;
    QVERIFY(source.start(test));
    QVERIFY(frames.wait(2000));
    QVERIFY(!source.start(test + 1));
    QVERIFY(!source.isActive());
    QVERIFY(source.latestFrame().isNull());
    frames.clear();
    QTest::qWait(200);
    QCOMPARE(frames.count(), 0);
}

// A 4 x 2 frame whose left half is red (Y 81, U 90, V 240) and right half
// white (Y 235, U V 128), in the layouts cameras deliver.
void TestFrameSource::cameraFramesBecomeImages() {
    struct Case {
        QVideoFrameFormat::PixelFormat format;
        QList<QByteArray> rows[3]; // per plane
    };
    const QByteArray yuyv("\x51\x5a\x51\xf0\xeb\x80\xeb\x80", 8);
    const QByteArray uyvy("\x5a\x51\xf0\x51\x80\xeb\x80\xeb", 8);
    const QByteArray luma("\x51\x51\xeb\xeb", 4);
    const QList<Case> cases = {
        {QVideoFrameFormat::Format_YUYV, {{yuyv, yuyv}, {}, {}}},
        {QVideoFrameFormat::Format_UYVY, {{uyvy, uyvy}, {}, {}}},
        {QVideoFrameFormat::Format_NV12, {{luma, luma}, {QByteArray("\x5a\xf0\x80\x80", 4)}, {}}},
        {QVideoFrameFormat::Format_NV21, {{luma, luma}, {QByteArray("\xf0\x5a\x80\x80", 4)}, {}}},
        {QVideoFrameFormat::Format_YUV420P,
         {{luma, luma}, {QByteArray("\x5a\x80", 2)}, {QByteArray("\xf0\x80", 2)}}},
        {QVideoFrameFormat::Format_YV12, {{luma, luma}, {QByteArray("\xf0\x80", 2)}, {QByteArray("\x5a\x80", 2)}}},
    };
    for (const Case& c : cases) {
        QVideoFrame frame(QVideoFrameFormat(QSize(4, 2), c.format));
        QVERIFY(frame.map(QVideoFrame::WriteOnly));
        for (int plane = 0; plane < frame.planeCount(); ++plane)
            for (int row = 0; row < c.rows[plane].size(); ++row)
                memcpy(frame.bits(plane) + row * frame.bytesPerLine(plane), c.rows[plane][row].constData(),
                       size_t(c.rows[plane][row].size()));
        frame.unmap();
        const QImage image = frameToImage(frame);
        QCOMPARE(image.size(), QSize(4, 2));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                const QColor red = image.pixelColor(x, y);
                QVERIFY2(red.red() >= 250 && red.green() <= 3 && red.blue() <= 3,
                         qPrintable(QStringLiteral("format %1 at %2: %3").arg(int(c.format)).arg(x).arg(red.name())));
                QCOMPARE(image.pixel(x + 2, y), qRgb(255, 255, 255));
            }
        }
    }

}

QTEST_GUILESS_MAIN(TestFrameSource)
// The multimedia backends' own texts are English; the user reads what they
// mean.
void TestFrameSource::cameraErrorsAreToldInChinese() {
    const std::pair<const char*, QString> cases[] = {
        {"Camera is in use.", QStringLiteral("被其他程序使用")},
        {"Could not open device: Permission denied", QStringLiteral("权限")},
        {"Camera disconnected", QStringLiteral("断开")},
        {"Failed to start the pipeline", QStringLiteral("设备无法工作")},
    };
    for (const auto& [english, meaning] : cases) {
        const QString text = FrameSource::cameraProblem(QString::fromLatin1(english));
        QVERIFY2(text.contains(meaning), qPrintable(text));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(text));
    }
}

#include "test_framesource.moc"
