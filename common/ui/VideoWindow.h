#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "FrameSource.h"

// The live picture of the photo window: a 401 x 345 black area showing the
// running FrameSource's frames scaled into it, with the framing overlay of
// DrawFrame laid over them.
//
// The overlay is a 640 x 480 picture in frame coordinates: silver
// RGB(192, 192, 192) everywhere except the red RGB(255, 0, 0) outline of the
// framing rectangle, 2 pixels wide. Silver is the transparent colour: where
// the overlay is silver the frame shows through, elsewhere the overlay
// covers it. Like the picture, the overlay is stretched over the whole area.
//
// The mouse signals carry the pointer in the widget's own pixels, unscaled.
class VideoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 401;
    static constexpr int DefaultHeight = 345;
    static const QColor& transparentColor(); // silver
    static const QColor& frameColor();       // red

    explicit VideoWindow(QWidget* parent = nullptr);

    // The source whose frames are shown; null shows black. Not owned.
    void setSource(FrameSource* source);
    FrameSource* source() const { return source_; }

    // Builds a new overlay with the framing rectangle (left, top, right,
    // bottom in frame coordinates, right and bottom exclusive: the rectangle
    // covers right - left by bottom - top frame pixels, exactly what a
    // capture cuts) and shows it in place of the previous one. The outline
    // runs along the inside of that area: columns left, left + 1, right - 2,
    // right - 1 and rows top, top + 1, bottom - 2, bottom - 1, clipped to the
    // frame. Any rectangle is accepted, also one that leaves the frame.
    void DrawFrame(int left, int top, int right, int bottom);
    // The same with a QRect whose x, y, width and height are left, top,
    // right - left and bottom - top.
    void DrawFrame(const QRect& rect) { DrawFrame(rect.x(), rect.y(), rect.x() + rect.width(), rect.y() + rect.height()); }
    // Removes the overlay (the window shows the bare picture).
    void clearFrame();

    // The current overlay, 640 x 480 RGB888; null before the first DrawFrame.
    const QImage& overlay() const { return overlay_; }
    // The source's latest frame with the overlay keyed in, 640 x 480 RGB888;
    // black where there is no frame.
    QImage composedFrame() const;
    // `frame` (640 x 480, or null for black) with `overlay` (null for none)
    // keyed in: every non-silver overlay pixel replaces the frame's.
    static QImage compose(const QImage& frame, const QImage& overlay);
    // What the window shows, at its own size.
    QImage composedPicture() const;

    QSize sizeHint() const override { return QSize(DefaultWidth, DefaultHeight); }

signals:
    void mousePressed(Qt::MouseButton button, const QPoint& position);
    void mouseMoved(const QPoint& position);
    void mouseReleased(Qt::MouseButton button, const QPoint& position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void render(QPainter& painter) const;

    QPointer<FrameSource> source_;
    QMetaObject::Connection frameConnection_;
    QImage overlay_; // silver with the red outline
    QImage keyed_;   // the same with silver made transparent, for painting
};
