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

// The largest picture decoded, across and down. A file's header may claim
// any size (a few hundred bytes can claim 30000 × 30000 pixels); a larger
// picture is refused before anything is allocated for it.
constexpr int maxSide = 8000;

// Decodes a JPEG file into a 24-bit image (Format_RGB888) for display;
// throws DeskError when it is damaged or larger than maxSide.
QImage decode(const QByteArray& jpeg);

// The same, at the smallest of libjpeg's reduced sizes (n/8 of the picture,
// n = 1 ... 8) that still covers `atLeast` both ways: a photograph printed
// in a small box is decoded no larger than the box needs. A picture smaller
// than `atLeast` comes at its own size.
QImage decode(const QByteArray& jpeg, QSize atLeast);

} // namespace Jpeg
