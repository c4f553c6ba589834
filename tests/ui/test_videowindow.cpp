#include "FrameSource.h"
#include "VideoWindow.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QRgb Red = qRgb(255, 0, 0);
const QRgb Silver = qRgb(192, 192, 192);

// The synthetic camera, started, with its first frame in.
struct RunningTestCamera {
    RunningTestCamera() {
        qputenv("DESK_TEST_CAMERA", "1");
        QSignalSpy frames(&source, &FrameSource::frameArrived);
        started = source.start(int(source.deviceNames().size()) - 1) && frames.wait(2000);
    }
    FrameSource source;
    bool started = false;
};

// Whether (x, y) lies on the 2-pixel outline of the rectangle
// left, top, right, bottom (right and bottom exclusive).
bool onOutline(int x, int y, int left, int top, int right, int bottom) {
    const bool insideX = x >= left && x < right;
    const bool insideY = y >= top && y < bottom;
    return (insideX && insideY) &&
           (x < left + 2 || x >= right - 2 || y < top + 2 || y >= bottom - 2);
}

} // namespace

class TestVideoWindow : public QObject {
    Q_OBJECT
private slots:
    void outlineLiesOnTheRectanglesEdges();
    void overlayIsRebuiltAtEveryDrawFrame();
    void silverLetsTheFrameThrough();
    void windowShowsThePictureScaledWithTheOutline();
    void mouseSignalsCarryUnscaledPositions();
};

void TestVideoWindow::outlineLiesOnTheRectanglesEdges() {
    VideoWindow window;
    QVERIFY(window.overlay().isNull());
    // The default framing rectangle around the initial centre (319, 239).
    window.DrawFrame(151, -1, 487, 479);
    const QImage& overlay = window.overlay();
    QCOMPARE(overlay.size(), QSize(640, 480));
    QCOMPARE(overlay.format(), QImage::Format_RGB888);
    // Left and right edges, two columns each, inside the rectangle.
    for (int y : {0, 100, 239, 477, 478}) {
        QCOMPARE(overlay.pixel(150, y), Silver);
        QCOMPARE(overlay.pixel(151, y), Red);
        QCOMPARE(overlay.pixel(152, y), Red);
        QCOMPARE(overlay.pixel(485, y), Red);
        QCOMPARE(overlay.pixel(486, y), Red);
        QCOMPARE(overlay.pixel(487, y), Silver);
    }
    QCOMPARE(overlay.pixel(153, 239), Silver);
    QCOMPARE(overlay.pixel(484, 239), Silver);
    // The top edge starts above the frame: only its second row is seen.
    // The bottom edge is rows 477 and 478; row 479 is outside the rectangle.
    for (int x : {153, 319, 484}) {
        QCOMPARE(overlay.pixel(x, 0), Red);
        QCOMPARE(overlay.pixel(x, 1), Silver);
        QCOMPARE(overlay.pixel(x, 239), Silver);
        QCOMPARE(overlay.pixel(x, 476), Silver);
        QCOMPARE(overlay.pixel(x, 477), Red);
        QCOMPARE(overlay.pixel(x, 478), Red);
        QCOMPARE(overlay.pixel(x, 479), Silver);
    }
    // Outside the rectangle everything is silver.
    QCOMPARE(overlay.pixel(0, 0), Silver);
    QCOMPARE(overlay.pixel(639, 479), Silver);
    QCOMPARE(overlay.pixel(600, 240), Silver);
}

void TestVideoWindow::overlayIsRebuiltAtEveryDrawFrame() {
    VideoWindow window;
    window.DrawFrame(151, -1, 487, 479);
    // Moved one pixel right and one down (the arrow buttons).
    window.DrawFrame(QRect(152, 0, 336, 480));
    const QImage& overlay = window.overlay();
    int red = 0;
    for (int y = 0; y < overlay.height(); ++y)
        for (int x = 0; x < overlay.width(); ++x) {
            const bool expected = onOutline(x, y, 152, 0, 488, 480);
            QCOMPARE(overlay.pixel(x, y), expected ? Red : Silver);
            red += expected;
        }
    QVERIFY(red > 0);
    QCOMPARE(overlay.pixel(151, 240), Silver); // the old left edge is gone

    // A rectangle wholly outside the frame leaves only silver.
    window.DrawFrame(700, 10, 900, 100);
    QCOMPARE(window.overlay().pixel(639, 50), Silver);
    QCOMPARE(window.overlay().pixel(152, 240), Silver);
}

void TestVideoWindow::silverLetsTheFrameThrough() {
    RunningTestCamera camera;
    QVERIFY(camera.started);
    VideoWindow window;
    window.setSource(&camera.source);
    window.DrawFrame(100, 50, 300, 250);
    const QImage frame = camera.source.latestFrame();
    const QImage composed = window.composedFrame();
    QCOMPARE(composed.size(), QSize(640, 480));
    QCOMPARE(composed.format(), QImage::Format_RGB888);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (onOutline(x, y, 100, 50, 300, 250))
                QCOMPARE(composed.pixel(x, y), Red);
            else if (composed.pixel(x, y) != frame.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("frame covered at %1, %2").arg(x).arg(y)));
        }

    // Silver in the frame itself stays: keying looks at the overlay only.
    QImage grey(640, 480, QImage::Format_RGB888);
    grey.fill(QColor(192, 192, 192));
    QCOMPARE(VideoWindow::compose(grey, window.overlay()).pixel(10, 10), Silver);
    // No frame: black under the outline.
    const QImage black = VideoWindow::compose(QImage(), window.overlay());
    QCOMPARE(black.pixel(10, 10), qRgb(0, 0, 0));
    QCOMPARE(black.pixel(100, 100), Red);
}

void TestVideoWindow::windowShowsThePictureScaledWithTheOutline() {
    VideoWindow window;
    QCOMPARE(window.size(), QSize(401, 345));
    // No source: black.
    QImage picture = window.grab().toImage();
    QCOMPARE(picture.pixel(200, 172), qRgb(0, 0, 0));

    RunningTestCamera camera;
    QVERIFY(camera.started);
    window.setSource(&camera.source);
    window.DrawFrame(151, -1, 487, 479);
    picture = window.composedPicture();
    QCOMPARE(picture.size(), QSize(401, 345));
    // The left edge (frame columns 151-152) lands at window column 94 or 95,
    // the right edge (485-486) at 304; stretched, never thinned away.
    auto redIn = [&](int x0, int x1, int y) {
        for (int x = x0; x <= x1; ++x)
            if (picture.pixel(x, y) == Red)
                return true;
        return false;
    };
    for (int y : {60, 172, 300}) {
        QVERIFY(redIn(93, 96, y));
        QVERIFY(redIn(302, 305, y));
        QVERIFY(!redIn(100, 295, y));
    }
    // Top row 0 and bottom rows 477-478 of the frame.
    QCOMPARE(picture.pixel(200, 0), Red);
    QVERIFY(picture.pixel(200, 343) == Red || picture.pixel(200, 342) == Red);
    // Outside the outline the live picture shows, not black or silver.
    QVERIFY(picture.pixel(30, 172) != qRgb(0, 0, 0));
    QVERIFY(picture.pixel(30, 172) != Silver);
    // The grabbed widget paints the same.
    QCOMPARE(window.grab().toImage().convertToFormat(QImage::Format_RGB888).pixel(200, 0), Red);

    // Stopped: black again, outline and all.
    camera.source.stop();
    QCOMPARE(window.composedPicture().pixel(200, 0), qRgb(0, 0, 0));
}

void TestVideoWindow::mouseSignalsCarryUnscaledPositions() {
    VideoWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy pressed(&window, &VideoWindow::mousePressed);
    QSignalSpy moved(&window, &VideoWindow::mouseMoved);
    QSignalSpy released(&window, &VideoWindow::mouseReleased);
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(10, 20));
    QTest::mouseMove(&window, QPoint(150, 100));
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(200, 172));
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    QCOMPARE(pressed.at(0).at(1).toPoint(), QPoint(10, 20));
    QVERIFY(!moved.isEmpty());
    QCOMPARE(moved.last().at(0).toPoint(), QPoint(150, 100));
    QCOMPARE(released.count(), 1);
    QCOMPARE(released.at(0).at(1).toPoint(), QPoint(200, 172));
}

QTEST_MAIN(TestVideoWindow)
#include "test_videowindow.moc"
