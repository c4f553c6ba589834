#include "FrameSource.h"
#include "VideoWindow.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QRgb Red = qRgb(255, 0, 0);
const QRgb Silver = qRgb(192, 192, 192);

// Whether (x, y) lies on the 2-pixel outline along the inside of the
// rectangle left, top, right, bottom (right and bottom exclusive).
bool onOutline(int x, int y, int left, int top, int right, int bottom) {
    return x >= left && x < right && y >= top && y < bottom &&
           (x < left + 2 || x >= right - 2 || y < top + 2 || y >= bottom - 2);
}

void compareOverlay(const QImage& overlay, int left, int top, int right, int bottom) {
    QCOMPARE(overlay.size(), QSize(640, 480));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (overlay.pixel(x, y) != (onOutline(x, y, left, top, right, bottom) ? Red : Silver))
                QFAIL(qPrintable(QStringLiteral("overlay wrong at %1, %2").arg(x).arg(y)));
}

} // namespace

class TestVideoWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void overlayIsTheOutlineOnSilverRebuiltAtEveryDrawFrame();
    void silverLetsTheFrameThrough();
    void windowShowsThePictureScaledWithTheOutline();

private:
    FrameSource source_;
};

void TestVideoWindow::initTestCase() {
    qputenv("DESK_TEST_CAMERA", "1");
    QSignalSpy frames(&source_, &FrameSource::frameArrived);
    QVERIFY(source_.start(int(source_.deviceNames().size()) - 1));
    QVERIFY(frames.wait(2000));
}

void TestVideoWindow::overlayIsTheOutlineOnSilverRebuiltAtEveryDrawFrame() {
    VideoWindow window;
    QVERIFY(window.overlay().isNull());
    // The default rectangle around the initial centre (319, 239) starts one
    // row above the frame: of its top edge only row 0 is seen.
    window.DrawFrame(151, -1, 487, 479);
    QCOMPARE(window.overlay().format(), QImage::Format_RGB888);
    QCOMPARE(window.overlay().pixel(300, 0), Red);
    QCOMPARE(window.overlay().pixel(300, 1), Silver);
    QCOMPARE(window.overlay().pixel(152, 240), Red);
    QCOMPARE(window.overlay().pixel(153, 240), Silver);
    compareOverlay(window.overlay(), 151, -1, 487, 479);
    // Moved one pixel right and down: the old outline is gone.
    window.DrawFrame(QRect(152, 0, 336, 480));
    compareOverlay(window.overlay(), 152, 0, 488, 480);
    // Wholly outside the frame: only silver.
    window.DrawFrame(700, 10, 900, 100);
    compareOverlay(window.overlay(), 700, 10, 900, 100);
}

void TestVideoWindow::silverLetsTheFrameThrough() {
    VideoWindow window;
    window.setSource(&source_);
    window.DrawFrame(100, 50, 300, 250);
    const QImage frame = source_.latestFrame();
    const QImage composed = window.composedFrame();
    QCOMPARE(composed.size(), QSize(640, 480));
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (composed.pixel(x, y) != (onOutline(x, y, 100, 50, 300, 250) ? Red : frame.pixel(x, y)))
                QFAIL(qPrintable(QStringLiteral("composed wrong at %1, %2").arg(x).arg(y)));
    // No frame: black under the outline.
    const QImage black = VideoWindow::compose(QImage(), window.overlay());
    QCOMPARE(black.pixel(10, 10), qRgb(0, 0, 0));
    QCOMPARE(black.pixel(100, 100), Red);
}

void TestVideoWindow::windowShowsThePictureScaledWithTheOutline() {
    VideoWindow window;
    QCOMPARE(window.size(), QSize(401, 345));
    QCOMPARE(window.grab().toImage().pixel(200, 172), qRgb(0, 0, 0)); // no source: black

    window.setSource(&source_);
    window.DrawFrame(151, -1, 487, 479);
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB888);
    QCOMPARE(picture, window.composedPicture());
    // Frame columns 151-152 land at window column 94 or 95, 485-486 at 303
    // or 304: stretched, the outline stays pure red and never thins away.
    auto redIn = [&](int x0, int x1, int y) {
        for (int x = x0; x <= x1; ++x)
            if (picture.pixel(x, y) == Red)
                return true;
        return false;
    };
    for (int y : {60, 172, 300}) {
        QVERIFY(redIn(93, 96, y));
        QVERIFY(redIn(302, 305, y));
        QVERIFY(!redIn(97, 301, y));
    }
    QCOMPARE(picture.pixel(200, 0), Red);
    QVERIFY(picture.pixel(200, 343) == Red || picture.pixel(200, 342) == Red);
    // Outside the outline the live picture shows.
    QVERIFY(picture.pixel(30, 172) != qRgb(0, 0, 0));
    QVERIFY(picture.pixel(30, 172) != Silver);
}

QTEST_MAIN(TestVideoWindow)
#include "test_videowindow.moc"
