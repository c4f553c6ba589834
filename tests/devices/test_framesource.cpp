#include "FrameSource.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Runs with the synthetic device listed, or not, and puts the setting back.
class TestCamera {
public:
    explicit TestCamera(bool on) : old_(qgetenv("DESK_TEST_CAMERA")), had_(qEnvironmentVariableIsSet("DESK_TEST_CAMERA")) {
        if (on)
            qputenv("DESK_TEST_CAMERA", "1");
        else
            qunsetenv("DESK_TEST_CAMERA");
    }
    ~TestCamera() {
        if (had_)
            qputenv("DESK_TEST_CAMERA", old_);
        else
            qunsetenv("DESK_TEST_CAMERA");
    }

private:
    QByteArray old_;
    bool had_;
};

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
};

void TestFrameSource::testDeviceListedOnlyWhenAskedFor() {
    FrameSource source;
    {
        TestCamera off(false);
        const QStringList names = source.deviceNames();
        QVERIFY(!names.contains(FrameSource::testDeviceName()));
        // The position after the real devices holds nothing to start.
        QVERIFY(!source.start(int(names.size())));
        QVERIFY(!source.isActive());
        QVERIFY(source.latestFrame().isNull());
    }
    {
        TestCamera on(true);
        const QStringList names = source.deviceNames();
        QVERIFY(!names.isEmpty());
        QCOMPARE(names.last(), QStringLiteral("测试图像"));
        QCOMPARE(names.count(FrameSource::testDeviceName()), 1);
        QVERIFY(!source.start(-1));
        QVERIFY(!source.start(int(names.size())));
        QVERIFY(!source.isActive());
    }
    {
        TestCamera other(false);
        qputenv("DESK_TEST_CAMERA", "yes");
        QVERIFY(!source.deviceNames().contains(FrameSource::testDeviceName()));
    }
}

void TestFrameSource::testDeviceDeliversFramesUntilStopped() {
    TestCamera on(true);
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
    TestCamera on(true);
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

QTEST_GUILESS_MAIN(TestFrameSource)
#include "test_framesource.moc"
