// A JPEG file: its header, then the picture.
#include "DeskError.h"
#include "Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray jpeg(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Jpeg::Header header = Jpeg::readHeader(jpeg);
        // Pictures the decoder accepts but that take a second each to fill
        // (a few hundred bytes may claim 7999 x 7999 pixels) would leave
        // time for little else; the pictures it refuses are tried.
        if (qint64(header.width) * header.height > 4'000'000 && header.width <= 8000 && header.height <= 8000)
            return 0;
        (void)Jpeg::decode(jpeg);
    } catch (const DeskError&) {
    }
    return 0;
}
