#include "FrameSource.h"

#include <QCamera>
#include <QCameraDevice>
#include <QCameraFormat>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QVideoSink>
#include <QtMath>
#include <limits>

namespace {

constexpr int TickMilliseconds = 40; // 25 frames a second

const QSize frameSize() { return QSize(FrameSource::FrameWidth, FrameSource::FrameHeight); }

// The capture format closest to 640 x 480: exactly that size if the device
// has it (uncompressed before compressed, then the highest frame rate);
// otherwise the smallest size that still covers 640 x 480, else the largest.
QCameraFormat chooseFormat(const QCameraDevice& device) {
    const QList<QCameraFormat> formats = device.videoFormats();
    QCameraFormat best;
    auto score = [](const QCameraFormat& f) {
        // Lower is better.
        const QSize s = f.resolution();
        const qint64 area = qint64(s.width()) * s.height();
        const bool covers = s.width() >= FrameSource::FrameWidth && s.height() >= FrameSource::FrameHeight;
        qint64 rank;
        if (s == frameSize())
            rank = 0;
        else if (covers)
            rank = area;
        else
            rank = std::numeric_limits<qint32>::max() + (std::numeric_limits<qint32>::max() - area);
        const int compressed = f.pixelFormat() == QVideoFrameFormat::Format_Jpeg ? 1 : 0;
        return std::make_tuple(rank, compressed, -f.maxFrameRate());
    };
    for (const QCameraFormat& f : formats) {
        if (best.isNull() || score(f) < score(best))
            best = f;
    }
    return best;
}

QList<QCameraDevice> cameras() { return QMediaDevices::videoInputs(); }

} // namespace

QString FrameSource::testDeviceName() { return QStringLiteral("测试图像"); }

bool FrameSource::testDeviceEnabled() { return qEnvironmentVariable("DESK_TEST_CAMERA") == QLatin1String("1"); }

FrameSource::FrameSource(QObject* parent) : QObject(parent) {
    tick_.setInterval(TickMilliseconds);
    connect(&tick_, &QTimer::timeout, this, &FrameSource::syntheticTick);
}

FrameSource::~FrameSource() { stop(); }

QStringList FrameSource::deviceNames() const {
    QStringList names;
    for (const QCameraDevice& device : cameras())
        names << device.description();
    if (testDeviceEnabled())
        names << testDeviceName();
    return names;
}

bool FrameSource::start(int position) {
    stop();
    if (position < 0)
        return false;
    const QList<QCameraDevice> devices = cameras();
    if (position < devices.size()) {
        activeName_ = devices[position].description();
        active_ = true;
        startCamera(position);
        return true;
    }
    if (position == devices.size() && testDeviceEnabled()) {
        activeName_ = testDeviceName();
        active_ = true;
        startSynthetic();
        return true;
    }
    return false;
}

void FrameSource::stop() {
    tick_.stop();
    syntheticFrame_ = QImage();
    if (camera_)
        camera_->stop();
    // The session refers to the camera and the sink: it goes first.
    session_.reset();
    camera_.reset();
    sink_.reset();
    {
        QMutexLocker lock(&frameLock_);
        videoFrame_ = QVideoFrame();
        ++videoSequence_;
    }
    cachedFrame_ = QImage();
    active_ = false;
    activeName_.clear();
    notice_.clear();
}

QImage FrameSource::latestFrame() const {
    if (!active_)
        return QImage();
    if (!tick_.isActive() && !camera_)
        return QImage();
    if (tick_.isActive())
        return syntheticFrame_;

    QVideoFrame frame;
    quint64 sequence;
    {
        QMutexLocker lock(&frameLock_);
        frame = videoFrame_;
        sequence = videoSequence_;
    }
    if (sequence == cachedSequence_)
        return cachedFrame_;
    QImage image;
    if (frame.isValid()) {
        image = frame.toImage();
        if (!image.isNull() && image.size() != frameSize())
            image = image.scaled(frameSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!image.isNull())
            image = image.convertToFormat(QImage::Format_RGB888);
    }
    cachedSequence_ = sequence;
    cachedFrame_ = image;
    return image;
}

void FrameSource::startSynthetic() {
    tickNumber_ = 0;
    tick_.start();
}

void FrameSource::syntheticTick() {
    syntheticFrame_ = syntheticTestFrame(tickNumber_++);
    emit frameArrived();
}

void FrameSource::startCamera(int position) {
    const QCameraDevice device = cameras().value(position);
    camera_ = std::make_unique<QCamera>(device);
    sink_ = std::make_unique<QVideoSink>();
    session_ = std::make_unique<QMediaCaptureSession>();

    const QCameraFormat format = chooseFormat(device);
    if (!format.isNull())
        camera_->setCameraFormat(format);

    connect(camera_.get(), &QCamera::errorOccurred, this, [this](QCamera::Error error, const QString& text) {
        if (error != QCamera::NoError)
            emit errorOccurred(text);
    });
    // Runs on whichever thread delivers the frame: keep it, and tell the
    // GUI thread once until it has looked.
    connect(
        sink_.get(), &QVideoSink::videoFrameChanged, this,
        [this](const QVideoFrame& frame) {
            {
                QMutexLocker lock(&frameLock_);
                videoFrame_ = frame;
                ++videoSequence_;
            }
            if (!notifyPending_.exchange(true))
                QMetaObject::invokeMethod(this, &FrameSource::cameraFrameDelivered, Qt::QueuedConnection);
        },
        Qt::DirectConnection);

    session_->setCamera(camera_.get());
    session_->setVideoSink(sink_.get());
    camera_->start();
}

void FrameSource::cameraFrameDelivered() {
    notifyPending_ = false;
    if (!camera_)
        return;
    QSize size;
    {
        QMutexLocker lock(&frameLock_);
        size = videoFrame_.size();
    }
    if (size.isEmpty())
        return;
    checkFrameSize(size);
    emit frameArrived();
}

void FrameSource::checkFrameSize(const QSize& size) {
    if (size == frameSize() || !notice_.isEmpty())
        return;
    notice_ = QStringLiteral("视频设备“%1”不能提供 640 × 480 的画面，画面由 %2 × %3 缩放为 640 × 480。")
                  .arg(activeName_)
                  .arg(size.width())
                  .arg(size.height());
    emit formatNotice(notice_);
}

QImage syntheticTestFrame(int tick) {
    QImage image(frameSize(), QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Background: a wall with slanted stripes drifting to the right.
    p.fillRect(image.rect(), QColor(70, 110, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(85, 130, 170));
    const int shift = (tick * 4) % 80;
    for (int x = -FrameSource::FrameHeight - 80 + shift; x < FrameSource::FrameWidth; x += 80) {
        QPolygon stripe;
        stripe << QPoint(x, FrameSource::FrameHeight) << QPoint(x + 40, FrameSource::FrameHeight)
               << QPoint(x + 40 + FrameSource::FrameHeight, 0) << QPoint(x + FrameSource::FrameHeight, 0);
        p.drawPolygon(stripe);
    }

    // A head and shoulders about the size of the framing rectangle's subject,
    // swaying slowly around the middle.
    const double sway = 24.0 * qSin(tick * 2.0 * M_PI / 100.0);
    const QPointF head(320.0 + sway, 210.0);
    p.setBrush(QColor(40, 50, 90)); // shoulders
    p.drawRoundedRect(QRectF(head.x() - 150, 350, 300, 200), 70, 70);
    p.setBrush(QColor(225, 185, 155)); // neck
    p.drawRect(QRectF(head.x() - 30, 280, 60, 80));
    p.drawEllipse(head, 78, 100); // face
    p.setBrush(QColor(35, 25, 20)); // hair
    QPainterPath hair;
    hair.moveTo(head.x() - 82, head.y() - 10);
    hair.cubicTo(head.x() - 90, head.y() - 130, head.x() + 90, head.y() - 130, head.x() + 82, head.y() - 10);
    hair.cubicTo(head.x() + 60, head.y() - 70, head.x() - 60, head.y() - 70, head.x() - 82, head.y() - 10);
    p.drawPath(hair);
    p.setBrush(QColor(30, 30, 30)); // eyes
    p.drawEllipse(QPointF(head.x() - 30, head.y() - 5), 9, 6);
    p.drawEllipse(QPointF(head.x() + 30, head.y() - 5), 9, 6);
    p.setPen(QPen(QColor(160, 60, 60), 4, Qt::SolidLine, Qt::RoundCap)); // mouth
    p.drawLine(QPointF(head.x() - 22, head.y() + 50), QPointF(head.x() + 22, head.y() + 50));

    // A counter strip along the bottom edge: one block moves per frame.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 240, 240));
    p.drawRect(QRect((tick % 64) * 10, FrameSource::FrameHeight - 6, 10, 6));
    p.end();
    return image;
}
