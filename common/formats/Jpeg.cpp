#include "Jpeg.h"

#include "DeskError.h"

#include <csetjmp>
#include <cstdlib>
#include <cstdio>
// jpeglib.h expects size_t and FILE to be declared before it.
#include <jpeglib.h>
#include <jerror.h>

namespace Jpeg {

namespace {

// libjpeg reports a fatal error through error_exit, which must not return:
// it jumps back to the setjmp of the running operation. Nothing with a
// destructor lives between the setjmp and the libjpeg calls.
struct ErrorManager {
    jpeg_error_mgr base; // base.msg_code: what went wrong (jerror.h)
    std::jmp_buf jump;
};

// Our own failure, beside libjpeg's codes.
constexpr int kUnexpectedOutput = -1;

void errorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

// Warnings (a damaged but readable file) are not errors.
void quiet(j_common_ptr, int) {}

void install(ErrorManager& manager, jpeg_common_struct& info) {
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = errorExit;
    manager.base.emit_message = quiet;
}

struct Pixels {
    const unsigned char* bits;
    int width, height, stride;
    J_COLOR_SPACE space;
    int components;
};

// Returns false and leaves libjpeg's code in `manager.base.msg_code` on failure.
bool compress(const Pixels& in, int quality, ErrorManager& manager, unsigned char** out, unsigned long* outSize) {
    jpeg_compress_struct info;
    install(manager, *reinterpret_cast<jpeg_common_struct*>(&info));
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = JDIMENSION(in.width);
    info.image_height = JDIMENSION(in.height);
    info.input_components = in.components;
    info.in_color_space = in.space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(in.bits + qsizetype(info.next_scanline) * in.stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

struct Decoded {
    Header header;
    QSize atLeast;             // the size wanted; empty: the whole picture
    int scale = 8;             // the output is scale/8 of the picture
    int outWidth = 0, outHeight = 0;
    unsigned char* bits = nullptr; // when rows are wanted: filled row by row
    int stride = 0;
};

// libjpeg's own buffers (a progressive picture keeps all its coefficients)
// stay below this; a file asking for more is refused as damaged.
constexpr long memoryLimit = 512L * 1024 * 1024;

// Reads the header, and the rows when `rows` is set (it is called once for
// the header and once more with a buffer of the size the first call found).
bool decompress(const QByteArray& jpeg, bool rows, Decoded& decoded, ErrorManager& manager) {
    jpeg_decompress_struct info;
    install(manager, *reinterpret_cast<jpeg_common_struct*>(&info));
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = memoryLimit;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()), (unsigned long)jpeg.size());
    jpeg_read_header(&info, TRUE);
    decoded.header.width = int(info.image_width);
    decoded.header.height = int(info.image_height);
    decoded.header.components = info.num_components;
    decoded.header.progressive = info.progressive_mode != 0;
    // Baseline: sequential Huffman coding with 8-bit samples and at most
    // two tables of each kind; libjpeg writes such a frame as SOF0.
    decoded.header.baseline = !info.progressive_mode && !info.arith_code && info.data_precision == 8;
    info.out_color_space = JCS_RGB;
    if (!rows) {
        // The smallest scale whose output still covers the size wanted.
        decoded.scale = 8;
        if (!decoded.atLeast.isEmpty()) {
            for (int scale = 1; scale < 8; ++scale) {
                info.scale_num = unsigned(scale);
                info.scale_denom = 8;
                jpeg_calc_output_dimensions(&info);
                if (int(info.output_width) >= decoded.atLeast.width() &&
                    int(info.output_height) >= decoded.atLeast.height()) {
                    decoded.scale = scale;
                    break;
                }
            }
        }
        info.scale_num = unsigned(decoded.scale);
        info.scale_denom = 8;
        jpeg_calc_output_dimensions(&info);
        decoded.outWidth = int(info.output_width);
        decoded.outHeight = int(info.output_height);
    } else {
        info.scale_num = unsigned(decoded.scale);
        info.scale_denom = 8;
        jpeg_start_decompress(&info);
        // The rows go into a buffer made for the size found before.
        if (int(info.output_width) != decoded.outWidth || int(info.output_height) != decoded.outHeight ||
            info.output_components != 3) {
            manager.base.msg_code = kUnexpectedOutput;
            jpeg_destroy_decompress(&info);
            return false;
        }
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = decoded.bits + qsizetype(info.output_scanline) * decoded.stride;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    return true;
}

// Why libjpeg failed, in Chinese.
QString reasonOf(const ErrorManager& manager, bool reading) {
    switch (manager.base.msg_code) {
    case JERR_NO_SOI:
    case JERR_INPUT_EMPTY:
    case JERR_NO_IMAGE:
        return QStringLiteral("文件不是 JPEG 图像");
    case JERR_INPUT_EOF:
        return QStringLiteral("文件不完整");
    case JERR_OUT_OF_MEMORY:
        return QStringLiteral("内存不足");
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return QStringLiteral("图像过大");
    case JERR_EMPTY_IMAGE:
    case JERR_SOF_UNSUPPORTED:
    case JERR_NOT_COMPILED:
    case JERR_BAD_PRECISION:
    case JERR_ARITH_NOTIMPL:
    case JERR_CONVERSION_NOTIMPL:
        return QStringLiteral("图像的编码方式不受支持");
    default:
        return reading ? QStringLiteral("图像数据已损坏") : QStringLiteral("图像无法编码");
    }
}

DeskError failure(bool reading, const ErrorManager& manager) {
    return DeskError(QStringLiteral("%1 JPEG 图像时出错：%2。")
                         .arg(reading ? QStringLiteral("读取") : QStringLiteral("生成"), reasonOf(manager, reading)));
}

// Whether the frame header of the file is SOF0 (0xFFC0): the markers before
// the first scan are walked one by one.
bool hasBaselineFrame(const QByteArray& jpeg) {
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const qsizetype n = jpeg.size();
    qsizetype at = 2; // after SOI
    while (at + 4 <= n) {
        if (p[at] != 0xFF)
            return false;
        const unsigned char marker = p[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker == 0xC0;
        if (marker == 0xDA || marker == 0xD9)
            return false;
        at += 2 + ((p[at + 2] << 8) | p[at + 3]);
    }
    return false;
}

} // namespace

QByteArray encode(const QImage& image, int quality) {
    QImage source = image;
    Pixels pixels{};
    switch (source.format()) {
    case QImage::Format_BGR888:
        pixels.space = JCS_EXT_BGR;
        pixels.components = 3;
        break;
    case QImage::Format_RGB888:
        pixels.space = JCS_RGB;
        pixels.components = 3;
        break;
    case QImage::Format_RGB32:
        // 0xffRRGGBB in native order: blue, green, red, unused in memory on
        // the little-endian machines the stations run on.
        pixels.space = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        pixels.components = 4;
        break;
    default:
        source = image.convertToFormat(QImage::Format_RGB888);
        pixels.space = JCS_RGB;
        pixels.components = 3;
        break;
    }
    if (source.isNull())
        throw DeskError(QStringLiteral("没有可保存为 JPEG 的图像。"));
    pixels.bits = source.constBits();
    pixels.width = source.width();
    pixels.height = source.height();
    pixels.stride = int(source.bytesPerLine());

    ErrorManager manager;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool done = compress(pixels, quality, manager, &out, &outSize);
    QByteArray file;
    if (done)
        file = QByteArray(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    if (!done)
        throw failure(false, manager);
    return file;
}

Header readHeader(const QByteArray& jpeg) {
    ErrorManager manager;
    Decoded decoded;
    if (!decompress(jpeg, false, decoded, manager))
        throw failure(true, manager);
    decoded.header.baseline = decoded.header.baseline && hasBaselineFrame(jpeg);
    return decoded.header;
}

QImage decode(const QByteArray& jpeg) { return decode(jpeg, QSize()); }

QImage decode(const QByteArray& jpeg, QSize atLeast) {
    ErrorManager manager;
    Decoded decoded;
    decoded.atLeast = atLeast;
    if (!decompress(jpeg, false, decoded, manager))
        throw failure(true, manager);
    // The header may claim any size: refused before anything is allocated.
    if (decoded.header.width > maxSide || decoded.header.height > maxSide)
        throw DeskError(QStringLiteral("JPEG 图像过大（%1 × %2 像素），无法读取。")
                            .arg(decoded.header.width)
                            .arg(decoded.header.height));
    QImage image(decoded.outWidth, decoded.outHeight, QImage::Format_RGB888);
    if (image.isNull())
        throw DeskError(QStringLiteral("JPEG 图像过大，无法显示。"));
    decoded.bits = image.bits();
    decoded.stride = int(image.bytesPerLine());
    if (!decompress(jpeg, true, decoded, manager))
        throw failure(true, manager);
    return image;
}

} // namespace Jpeg
