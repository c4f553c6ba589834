// How long a capture takes from the grabbed frame to the saved photograph:
// "temp.bmp", the cut, "tmp.bmp", the scaling to the photo size, the JPEG
// encoding and the replacement of the photo in the store.
//
//   bench_capture [width=168] [height=240]
//
// The anchor is the bare work the same capture cannot avoid, done straight
// on the C library and libjpeg: writing the two working files from ready
// buffers, and encoding and writing a photo-sized buffer. The promise is
// under 30 ms for the default size.
#include "PhotoCapture.h"
#include "Timing.h"
#include "WholeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

QImage testFrame() {
    QImage image(PhotoCapture::frameWidth, PhotoCapture::frameHeight, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) & 255, (y * 3) & 255, (x ^ y) & 255));
    return image;
}

void writeRaw(const QByteArray& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.constData(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        std::abort();
    std::fclose(f);
}

void anchorCapture(const QByteArray& folder, int width, int height, const std::vector<unsigned char>& frameBmp,
                   const std::vector<unsigned char>& cutBmp, const std::vector<unsigned char>& photo) {
    writeRaw(folder + "temp.bmp", frameBmp);
    writeRaw(folder + "tmp.bmp", cutBmp);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(photo.data() + size_t(info.next_scanline) * size_t(width) * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    writeRaw(folder + "photo/anchor.jpg", std::vector<unsigned char>(out, out + size));
    std::free(out);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int width = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 168;
    const int height = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 240;
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QDir(folder).mkdir(QStringLiteral("photo"));

    const QImage frame = testFrame();
    const QSize size(width, height);
    const auto rect = PhotoCapture::framingRect(PhotoCapture::initialCentre(QSize(401, 345)), size);
    const QString number = QStringLiteral("01320101234567");

    const double ms = bestMs(20, [&] {
        const PhotoCapture::Shot shot = PhotoCapture::capture(frame, rect, size, number, folder);
        if (shot.outcome != PhotoCapture::Outcome::Captured)
            std::abort();
        // As the photo store writes it.
        WholeFile::replaceAtomically(folder + QStringLiteral("photo/") + number + QStringLiteral(".jpg"), shot.jpeg);
    });

    const std::vector<unsigned char> frameBmp(54 + 640 * 480 * 3, 1);
    const std::vector<unsigned char> cutBmp(54 + size_t((width * 6 + 3) & ~3) * size_t(height) * 2, 2);
    std::vector<unsigned char> photo(size_t(width) * size_t(height) * 3);
    for (size_t i = 0; i < photo.size(); ++i)
        photo[i] = (unsigned char)(i * 31 / 7);
    const QByteArray raw = QFile::encodeName(folder);
    const double anchorMs = bestMs(20, [&] { anchorCapture(raw, width, height, frameBmp, cutBmp, photo); });

    std::printf("photo %d x %d\n", width, height);
    printRatio("capture to saved JPEG", ms, anchorMs);
    std::printf("limit 0.030 s: %s\n", ms < 30.0 ? "kept" : "EXCEEDED");
    return 0;
}
