#include "UnitZPCJ.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "PhotoStore.h"
#include "Text.h"
#include "VideoWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

// The photo window's camera: the device, the framing rectangle and the
// capture, and the keys that drive them.

// --- the camera

PhotoCapture::FrameRect TFormZPCJ::framingRect() const {
    return PhotoCapture::framingRect(frameCentre(), QSize(PhotoWidth, PhotoHeight));
}

// A device that becomes the chosen one starts as well, however it was
// chosen (the list's own filling excepted). A pick by the user reports
// itself as activated right after the change: the start waits for the events
// of the moment to pass and is left out when a device was started meanwhile.
void TFormZPCJ::deviceChanged(int position) {
    const quint64 starts = starts_;
    QTimer::singleShot(0, this, [this, position, starts] {
        if (starts == starts_ && position >= 0 && position == cbsb->currentIndex() && isVisible())
            ErrorBoundary::run([&] { cbsbSelect(position); });
    });
}

void TFormZPCJ::cbsbSelect(int position) {
    ++starts_;
    cameraTold_.clear();
    camera_.stop();
    if (!camera_.start(position))
        return;
    const QPoint centre = PhotoCapture::initialCentre(VideoWin->size());
    FrameCenterX = centre.x();
    FrameCenterY = centre.y();
    DrawFrame();
    VideoWin->setFocus();
}

void TFormZPCJ::DrawFrame() { VideoWin->DrawFrame(framingRect().toQRect()); }

void TFormZPCJ::Button2Click() {
    --FrameCenterY;
    DrawFrame();
}

void TFormZPCJ::Button3Click() {
    ++FrameCenterY;
    DrawFrame();
}

void TFormZPCJ::Button4Click() {
    ++FrameCenterX;
    DrawFrame();
}

void TFormZPCJ::Button5Click() {
    --FrameCenterX;
    DrawFrame();
}

void TFormZPCJ::VideoWindowMouseDown() { Dragging = true; }

void TFormZPCJ::VideoWindowMouseUp() { Dragging = false; }

void TFormZPCJ::VideoWindowMouseMove(const QPoint& position) {
    if (!Dragging)
        return;
    // The pointer's own pixels, not rescaled to the frame.
    FrameCenterX = position.x();
    FrameCenterY = position.y();
    DrawFrame();
    VideoWin->setFocus();
}

void TFormZPCJ::TakePhoto() {
    const QImage frame = camera_.isActive() ? camera_.latestFrame() : QImage();
    const PhotoCapture::Shot shot =
        PhotoCapture::capture(frame, framingRect(), QSize(PhotoWidth, PhotoHeight), Edit3->text(), AppDir);
    if (shot.outcome != PhotoCapture::Outcome::Captured) {
        Dialogs::current().message(PhotoCapture::messageFor(shot.outcome));
        return;
    }
    PhotoStore::save(PhotoStore::folderOf(AppDir), Edit3->text(), shot.jpeg);
    ShowPhoto(PhotoPath());
}

// What the camera reports reaches the user once for each start of a device.
void TFormZPCJ::tellCamera(const QString& text) {
    if (text.isEmpty() || cameraTold_.contains(text))
        return;
    cameraTold_.insert(text);
    Dialogs::current().messageBox(text, Dialogs::programCaption(), Dialogs::Icon::Warning);
}

void TFormZPCJ::StopCamera() {
    camera_.stop();
    VideoWin->clearFrame();
}

void TFormZPCJ::closeEvent(QCloseEvent* event) {
    StopCamera();
    DeskDialog::closeEvent(event);
}

// --- the keyboard shortcuts

void TFormZPCJ::AppMessage(int key, bool& consumed) {
    consumed = key == Qt::Key_D || key == Qt::Key_A || (key == Qt::Key_Tab && !Text::trimmed(Edit3->text()).isEmpty());
    switch (key) {
    case Qt::Key_Up:
        Button2Click();
        return;
    case Qt::Key_Down:
        Button3Click();
        return;
    case Qt::Key_Left:
        Button5Click();
        return;
    case Qt::Key_Right:
        Button4Click();
        return;
    case Qt::Key_Tab:
        if (Text::trimmed(Edit3->text()).isEmpty()) {
            Dialogs::current().message(QStringLiteral("学业水平测试副号不能为空！"));
            return;
        }
        TakePhoto();
        ShowPhoto(PhotoPath());
        afterCapture();
        return;
    case Qt::Key_D:
        if (listOpen()) {
            NextStudent();
            ShowCurrentSubNumber();
            ShowPhoto(PhotoPath());
            ShowStudentCaption();
        }
        return;
    case Qt::Key_A:
        if (listOpen()) {
            PriorStudent();
            ShowCurrentSubNumber();
            ShowPhoto(PhotoPath());
            ShowStudentCaption();
        }
        return;
    default:
        return;
    }
}

bool TFormZPCJ::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible() && isActiveWindow()) {
        // A key goes once to the focused control (then to its parents, if it
        // ignores it): the shortcuts act on that first delivery only.
        QWidget* focus = QApplication::focusWidget();
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == (focus ? focus : this) && widget->window() == this) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                return DeskDialog::eventFilter(watched, event);
            bool consumed = false;
            ErrorBoundary::run([&] { AppMessage(key->key(), consumed); });
            if (consumed)
                return true;
        }
    }
    return DeskDialog::eventFilter(watched, event);
}
