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
// How long a camera may take to send its first picture.
constexpr int FirstFrameMilliseconds = 4000;

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

inline uchar clampByte(int v) { return uchar(v < 0 ? 0 : v > 255 ? 255 : v); }

// BT.601, video range, in 16.16 fixed point.
inline void yuvToRgb(int y, int u, int v, uchar* out) {
    const int c = (y - 16) * 76309;
    const int d = u - 128;
    const int e = v - 128;
    out[0] = clampByte((c + 104597 * e + 32768) >> 16);
    out[1] = clampByte((c - 25675 * d - 53279 * e + 32768) >> 16);
    out[2] = clampByte((c + 132201 * d + 32768) >> 16);
}

// The mapped planes of a YUV frame as RGB888; null for other formats.
QImage yuvToImage(const QVideoFrame& frame) {
    const QVideoFrameFormat::PixelFormat format = frame.pixelFormat();
    const int w = frame.width();
    const int h = frame.height();
    QImage image(w, h, QImage::Format_RGB888);
    switch (format) {
    case QVideoFrameFormat::Format_YUYV:
    case QVideoFrameFormat::Format_UYVY: {
        const bool yFirst = format == QVideoFrameFormat::Format_YUYV;
        for (int y = 0; y < h; ++y) {
            const uchar* in = frame.bits(0) + qsizetype(y) * frame.bytesPerLine(0);
            uchar* out = image.scanLine(y);
            for (int x = 0; x < w; x += 2) {
                const uchar* q = in + 2 * x; // four bytes for two pixels
                const int y0 = yFirst ? q[0] : q[1];
                const int y1 = yFirst ? q[2] : q[3];
                const int u = yFirst ? q[1] : q[0];
                const int v = yFirst ? q[3] : q[2];
                yuvToRgb(y0, u, v, out + 3 * x);
                if (x + 1 < w)
                    yuvToRgb(y1, u, v, out + 3 * (x + 1));
            }
        }
        return image;
    }
    case QVideoFrameFormat::Format_NV12:
    case QVideoFrameFormat::Format_NV21: {
        const bool uFirst = format == QVideoFrameFormat::Format_NV12;
        for (int y = 0; y < h; ++y) {
            const uchar* luma = frame.bits(0) + qsizetype(y) * frame.bytesPerLine(0);
            const uchar* chroma = frame.bits(1) + qsizetype(y / 2) * frame.bytesPerLine(1);
            uchar* out = image.scanLine(y);
            for (int x = 0; x < w; ++x) {
                const uchar* c = chroma + 2 * (x / 2);
                yuvToRgb(luma[x], uFirst ? c[0] : c[1], uFirst ? c[1] : c[0], out + 3 * x);
            }
        }
        return image;
    }
    case QVideoFrameFormat::Format_YUV420P:
    case QVideoFrameFormat::Format_YV12: {
        const int up = format == QVideoFrameFormat::Format_YUV420P ? 1 : 2;
        const int vp = 3 - up;
        for (int y = 0; y < h; ++y) {
            const uchar* luma = frame.bits(0) + qsizetype(y) * frame.bytesPerLine(0);
            const uchar* us = frame.bits(up) + qsizetype(y / 2) * frame.bytesPerLine(up);
            const uchar* vs = frame.bits(vp) + qsizetype(y / 2) * frame.bytesPerLine(vp);
            uchar* out = image.scanLine(y);
            for (int x = 0; x < w; ++x)
                yuvToRgb(luma[x], us[x / 2], vs[x / 2], out + 3 * x);
        }
        return image;
    }
    default:
        return QImage();
    }
}

} // namespace

QString FrameSource::testDeviceName() { return QStringLiteral("测试图像"); }

bool FrameSource::testDeviceEnabled() { return qEnvironmentVariable("DESK_TEST_CAMERA") == QLatin1String("1"); }

FrameSource::FrameSource(QObject* parent) : QObject(parent) {
    tick_.setInterval(TickMilliseconds);
    connect(&tick_, &QTimer::timeout, this, &FrameSource::syntheticTick);
    firstFrame_.setSingleShot(true);
    firstFrame_.setInterval(FirstFrameMilliseconds);
    connect(&firstFrame_, &QTimer::timeout, this, &FrameSource::noFirstFrame);
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
        position_ = position;
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
    stopCamera();
    active_ = false;
    activeName_.clear();
    notice_.clear();
    restarted_ = false;
}

void FrameSource::stopCamera() {
    firstFrame_.stop();
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
        image = frameToImage(frame);
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

QString FrameSource::cameraProblem(const QString& systemText) {
    const QString text = systemText.toLower();
    const auto has = [&](const char* words) {
        for (const QString& word : QString::fromLatin1(words).split(QLatin1Char('|')))
            if (text.contains(word))
                return true;
        return false;
    };
    if (has("busy|in use"))
        return QStringLiteral("设备正被其他程序使用，请关闭使用它的程序后重新选择设备。");
    if (has("permission|denied|not permitted"))
        return QStringLiteral("没有使用该设备的权限。");
    if (has("no such|not found|disconnected|lost|removed|no device"))
        return QStringLiteral("设备已断开或不存在，请检查设备的连接，或重新选择设备。");
    if (has("format|resolution"))
        return QStringLiteral("设备不支持所需的画面格式。");
    return QStringLiteral("设备无法工作，请检查设备的连接，或重新选择设备。");
}

void FrameSource::startCamera(int position) {
    const QCameraDevice device = cameras().value(position);
    camera_ = std::make_unique<QCamera>(device);
    sink_ = std::make_unique<QVideoSink>();
    session_ = std::make_unique<QMediaCaptureSession>();

    connect(camera_.get(), &QCamera::errorOccurred, this, [this](QCamera::Error error, const QString& text) {
        if (error != QCamera::NoError)
            emit errorOccurred(cameraProblem(text));
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

    // The camera joins its session and sink before its format is set and it
    // is started, so the format applies to the pipeline the session built.
    session_->setCamera(camera_.get());
    session_->setVideoSink(sink_.get());
    const QCameraFormat format = chooseFormat(device);
    if (!format.isNull())
        camera_->setCameraFormat(format);
    camera_->start();
    firstFrame_.start();
}

// No picture since the start: the device is started once more (as choosing
// it again would), and if it still sends nothing the user is told.
void FrameSource::noFirstFrame() {
    if (!camera_ || !active_)
        return;
    if (!restarted_) {
        restarted_ = true;
        const int position = position_;
        const QString name = activeName_;
        stopCamera();
        startCamera(position);
        activeName_ = name;
        return;
    }
    emit errorOccurred(QStringLiteral("没有收到“%1”的画面，请检查设备的连接，或重新选择设备。").arg(activeName_));
}

void FrameSource::cameraFrameDelivered() {
    notifyPending_ = false;
    if (!camera_)
        return;
    firstFrame_.stop();
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

QImage frameToImage(const QVideoFrame& source) {
    if (!source.isValid())
        return QImage();
    QVideoFrame frame(source);
    QImage image;
    if (frame.map(QVideoFrame::ReadOnly)) {
        const QImage::Format rgb = QVideoFrameFormat::imageFormatFromPixelFormat(frame.pixelFormat());
        if (rgb != QImage::Format_Invalid)
            image = QImage(frame.bits(0), frame.width(), frame.height(), frame.bytesPerLine(0), rgb)
                        .convertToFormat(QImage::Format_RGB888);
        else
            image = yuvToImage(frame);
        frame.unmap();
    }
    if (image.isNull())
        image = source.toImage();
    return image;
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

#if defined(__SANITIZE_ADDRESS__)
// Listing the devices brings up Qt Multimedia's sound-server connection,
// whose client library keeps a few blocks until the process ends. Leak
// checks in sanitizer builds of every program with a camera ignore them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }
#endif
