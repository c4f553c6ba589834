#include "VideoWindow.h"

#include "FrameSource.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const QSize captureSize() { return QSize(FrameSource::FrameWidth, FrameSource::FrameHeight); }

} // namespace

const QColor& VideoWindow::transparentColor() {
    static const QColor silver(192, 192, 192);
    return silver;
}

const QColor& VideoWindow::frameColor() {
    static const QColor red(255, 0, 0);
    return red;
}

VideoWindow::VideoWindow(QWidget* parent) : QWidget(parent) {
    setFixedSize(DefaultWidth, DefaultHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

void VideoWindow::setSource(FrameSource* source) {
    disconnect(frameConnection_);
    source_ = source;
    if (source)
        frameConnection_ = connect(source, &FrameSource::frameArrived, this, qOverload<>(&QWidget::update));
    update();
}

void VideoWindow::DrawFrame(int left, int top, int right, int bottom) {
    QImage overlay(captureSize(), QImage::Format_RGB888);
    overlay.fill(transparentColor());
    const int width = right - left;
    const int height = bottom - top;
    if (width > 0 && height > 0) {
        // A rectangle narrower than the pen is filled whole.
        const int penX = qMin(2, width);
        const int penY = qMin(2, height);
        QPainter p(&overlay);
        const QColor& red = frameColor();
        p.fillRect(QRect(left, top, width, penY), red);
        p.fillRect(QRect(left, bottom - penY, width, penY), red);
        p.fillRect(QRect(left, top, penX, height), red);
        p.fillRect(QRect(right - penX, top, penX, height), red);
    }
    overlay_ = overlay;
    // Silver becomes transparent; the outline stays opaque.
    keyed_ = QImage(captureSize(), QImage::Format_ARGB32);
    keyed_.fill(Qt::transparent);
    const QRgb silver = transparentColor().rgb();
    for (int y = 0; y < overlay_.height(); ++y) {
        const uchar* in = overlay_.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(keyed_.scanLine(y));
        for (int x = 0; x < overlay_.width(); ++x) {
            const QRgb pixel = qRgb(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
            if (pixel != silver)
                out[x] = pixel;
        }
    }
    update();
}

void VideoWindow::clearFrame() {
    overlay_ = QImage();
    keyed_ = QImage();
    update();
}

QImage VideoWindow::compose(const QImage& frame, const QImage& overlay) {
    QImage result;
    if (frame.isNull()) {
        result = QImage(captureSize(), QImage::Format_RGB888);
        result.fill(Qt::black);
    } else {
        result = frame.size() == captureSize() ? frame : frame.scaled(captureSize());
        result = result.convertToFormat(QImage::Format_RGB888);
    }
    if (overlay.isNull())
        return result;
    const QImage key = overlay.convertToFormat(QImage::Format_RGB888);
    const int width = qMin(key.width(), result.width());
    const int height = qMin(key.height(), result.height());
    const QColor& silver = transparentColor();
    for (int y = 0; y < height; ++y) {
        const uchar* in = key.constScanLine(y);
        uchar* out = result.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const uchar* o = in + 3 * x;
            if (o[0] != silver.red() || o[1] != silver.green() || o[2] != silver.blue()) {
                out[3 * x] = o[0];
                out[3 * x + 1] = o[1];
                out[3 * x + 2] = o[2];
            }
        }
    }
    return result;
}

QImage VideoWindow::composedFrame() const {
    return compose(source_ ? source_->latestFrame() : QImage(), overlay_);
}

QImage VideoWindow::composedPicture() const {
    QImage picture(size(), QImage::Format_RGB888);
    QPainter p(&picture);
    render(p);
    return picture;
}

void VideoWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    render(p);
}

void VideoWindow::render(QPainter& painter) const {
    const QRect area(QPoint(0, 0), size());
    painter.fillRect(area, Qt::black);
    const QImage frame = source_ ? source_->latestFrame() : QImage();
    if (frame.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(area, frame);
    if (!keyed_.isNull()) {
        // Unsmoothed, so the outline stays pure red and never thins away.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(area, keyed_);
    }
}

void VideoWindow::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button(), event->position().toPoint());
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event->position().toPoint()); }

void VideoWindow::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->button(), event->position().toPoint());
}
