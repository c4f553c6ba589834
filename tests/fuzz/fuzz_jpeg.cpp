// A JPEG file: its header, then the picture.
#include "DeskError.h"
#include "Jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray jpeg(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)Jpeg::readHeader(jpeg);
        (void)Jpeg::decode(jpeg);
    } catch (const DeskError&) {
    }
    return 0;
}
