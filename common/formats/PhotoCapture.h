#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The capture of a student's photograph: the framing rectangle on the
// 640 x 480 camera frame, and the pipeline from a grabbed frame to the JPEG
// of the photo (grab, cut, scale, encode); the registration station stores
// it in its photo store. No window code: the photo window maps the outcome
// to its message box.
namespace PhotoCapture {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;

// The framing rectangle in frame coordinates, edges as drawn and cut: the
// pixels left..right-1 by top..bottom-1. It is twice the photo size in
// each direction, centred on the frame centre.
struct FrameRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    QRect toQRect() const { return QRect(left, top, width(), height()); }
    bool operator==(const FrameRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

FrameRect framingRect(QPoint centre, QSize photoSize);

// The centre when a camera starts: the middle of the video area, scaled
// from the area's pixels to the frame's in floating point, truncated
// ((319, 239) for the 401 x 345 area).
QPoint initialCentre(QSize videoArea);

// The part `rect` of `frame` at 1:1 as a 24-bit image (Format_BGR888);
// whatever of `rect` lies outside the frame comes out black.
QImage cutFrame(const QImage& frame, const FrameRect& rect);

// The working files in the program folder, rewritten by every capture.
QString frameFile(const QString& programFolder); // "temp.bmp": the whole frame
QString cutFile(const QString& programFolder);   // "tmp.bmp": the framing rectangle

enum class Outcome {
    Captured,        // the photo is encoded, ready to be stored under the sub-number
    NoCamera,        // no camera running, or it has not delivered a frame yet; nothing written
    SubNumberEmpty,  // the sub-number box is empty; working files written, no photo
    SubNumberLength, // the trimmed sub-number is not 14 characters; working files written, no photo
};

// The message the window shows for an outcome (empty for Captured).
QString messageFor(Outcome outcome);

struct Shot {
    Outcome outcome = Outcome::NoCamera;
    QByteArray jpeg; // the photo, for Captured only
};

// Takes the photograph of `subNumberText` (the sub-number box as typed)
// from `frame` (null when no camera runs or no frame arrived yet):
//   1. no frame: NoCamera;
//   2. the whole frame to "temp.bmp";
//   3. `rect` cut out of it (outside the frame black) to "tmp.bmp";
//   4. scaled to `photoSize` (Bitmap::scaleBitmap) and encoded as JPEG
//      at quality 80;
//   5. the sub-number checks: SubNumberEmpty, SubNumberLength;
//   6. Captured, with the JPEG. Storing it under the sub-number is the
//      photo store's part (it also judges whether the number can name a
//      file).
// Throws FileError when a working file cannot be written. Throws
// DeskError for a photo size below 2 x 2.
Shot capture(const QImage& frame, const FrameRect& rect, QSize photoSize, const QString& subNumberText,
             const QString& programFolder);

} // namespace PhotoCapture
