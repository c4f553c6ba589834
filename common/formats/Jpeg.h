#pragma once

#include <QByteArray>
#include <QImage>

// JPEG files through libjpeg (the IJG interface).
namespace Jpeg {

// The quality the photo store uses, on libjpeg's scale.
constexpr int photoQuality = 80;

// Encodes `image` with libjpeg's default settings and `quality`: a baseline
// (not progressive) JFIF file with 3 colour components. 24-bit images
// (Format_BGR888, Format_RGB888) and 32-bit ones without alpha
// (Format_RGB32) are encoded as they are, other formats are converted to 24
// bits first. Throws DeskError when libjpeg refuses.
QByteArray encode(const QImage& image, int quality = photoQuality);

// What a JPEG file says about itself.
struct Header {
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    bool baseline = false; // a baseline frame (SOF0)
};

// Reads the header of a JPEG file; throws DeskError when it is not one.
Header readHeader(const QByteArray& jpeg);

// Decodes a JPEG file into a 24-bit image (Format_RGB888) for display;
// throws DeskError when it is damaged.
QImage decode(const QByteArray& jpeg);

} // namespace Jpeg
