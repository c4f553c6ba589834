#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVideoFrame>
#include <atomic>
#include <memory>

class QCamera;
class QMediaCaptureSession;
class QVideoSink;

// The camera of the photo window: the video input devices by friendly name,
// one device started at a time with a 640 x 480 picture, the latest frame on
// demand, stop. Real devices come from Qt Multimedia; a synthetic device
// (a moving test pattern with a head and shoulders in it) is listed last
// when the environment variable DESK_TEST_CAMERA is "1", for demos and tests.
//
// Frames of a real camera arrive on the multimedia streaming thread and are
// only kept there; everything else, including the conversion to an image,
// runs on the thread the source lives on (the GUI thread).
class FrameSource : public QObject {
    Q_OBJECT
public:
    static constexpr int FrameWidth = 640;
    static constexpr int FrameHeight = 480;

    // The friendly name of the synthetic device.
    static QString testDeviceName();
    // True when the synthetic device is to be listed.
    static bool testDeviceEnabled();

    explicit FrameSource(QObject* parent = nullptr);
    ~FrameSource() override;

    // The friendly names of the video input devices now present, in the
    // system's order, the synthetic device last when enabled. Enumerated
    // afresh at every call. Empty when there is no device.
    QStringList deviceNames() const;

    // Stops whatever runs, enumerates the devices afresh and starts the one
    // at `position` (0-based, as in deviceNames()) asking for 640 x 480.
    // Returns false, and stays stopped, when there is no device there.
    // A device that cannot deliver exactly 640 x 480 still runs: its frames
    // are scaled to 640 x 480 and formatNotice() is emitted once. A camera
    // that sends no picture within 4 s is started once more, as choosing it
    // again would; if it still sends none, errorOccurred() says so.
    bool start(int position);
    // Stops the running device, if any. The latest frame is dropped.
    void stop();

    // True from a successful start() until stop().
    bool isActive() const { return active_; }
    // The friendly name of the running device, or empty.
    QString activeDeviceName() const { return activeName_; }

    // The latest frame as a 640 x 480 QImage::Format_RGB888 image; a null
    // image when stopped or when no frame has arrived since the start.
    QImage latestFrame() const;

    // The text of the scaling notice of the running device, empty when its
    // frames come at 640 x 480.
    QString formatNoticeText() const { return notice_; }

    // What the camera's own error text (English) means, for the user.
    static QString cameraProblem(const QString& systemText);

signals:
    // A new frame can be taken with latestFrame(). Coalesced: a slow
    // receiver gets one signal for several frames.
    void frameArrived();
    // Once per start, when the device delivers frames of another size than
    // 640 x 480 (they are then scaled). The text is ready to show.
    void formatNotice(const QString& text);
    // The camera reported an error (device lost, format refused...), or a
    // started camera sent no picture, also after being started once more.
    void errorOccurred(const QString& text);

private:
    void startSynthetic();
    void startCamera(int position);
    void stopCamera();
    void noFirstFrame();
    void syntheticTick();
    void cameraFrameDelivered(); // on the GUI thread, after a real frame
    void checkFrameSize(const QSize& size);

    bool active_ = false;
    QString activeName_;
    QString notice_;

    // The synthetic device.
    QTimer tick_;
    int tickNumber_ = 0;
    QImage syntheticFrame_;

    // A real camera.
    int position_ = -1;
    QTimer firstFrame_;      // runs from a start until the first picture
    bool restarted_ = false; // started once more for want of a picture
    std::unique_ptr<QMediaCaptureSession> session_;
    std::unique_ptr<QCamera> camera_;
    std::unique_ptr<QVideoSink> sink_;
    mutable QMutex frameLock_;
    QVideoFrame videoFrame_;      // guarded by frameLock_
    quint64 videoSequence_ = 0;   // guarded by frameLock_
    std::atomic<bool> notifyPending_{false};
    mutable quint64 cachedSequence_ = 0;
    mutable QImage cachedFrame_;
};

// A camera frame as an image in its own size, converted on the CPU for the
// usual camera formats (RGB variants, YUYV, UYVY, NV12, NV21, I420, YV12;
// BT.601 video range), through Qt's own conversion for any other. Null
// when the frame cannot be read.
QImage frameToImage(const QVideoFrame& frame);

// One picture of the synthetic device: 640 x 480 RGB888, a background that
// drifts with `tick` and a face-sized head and shoulders swaying around the
// middle of the frame. The same tick always gives the same picture.
QImage syntheticTestFrame(int tick);
