#include "BiffReader.h"
#include "NumberFormat.h"
#include "SheetReader.h"

#include "DeskError.h"
#include "Text.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTime>
#include <QVector>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace BiffReader {
namespace {

// Raised inside the parser for anything that does not fit; turned into the
// user's message once, with the file name, at the top.
struct Damaged {};
// A workbook saved with a password to open (FILEPASS).
struct Encrypted {};

// Record identifiers.
enum : quint16 {
    kFormula = 0x0006, kEof = 0x000A, kDateMode = 0x0022, kContinue = 0x003C,
    kCodePage = 0x0042, kBoundSheet = 0x0085, kMulRk = 0x00BD, kMulBlank = 0x00BE,
    kRString = 0x00D6, kXf = 0x00E0, kSst = 0x00FC, kLabelSst = 0x00FD, kBlank = 0x0201,
    kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205, kString = 0x0207, kRk = 0x027E,
    kFormat = 0x041E, kBof = 0x0809, kRecalcId = 0x01C1, kFilePass = 0x002F,
};

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

quint16 u16(const QByteArray& d, qsizetype at) {
    if (at < 0 || at + 2 > d.size())
        throw Damaged();
    return quint16(quint8(d[at]) | quint8(d[at + 1]) << 8);
}

quint32 u32(const QByteArray& d, qsizetype at) {
    return quint32(u16(d, at)) | quint32(u16(d, at + 2)) << 16;
}

double f64(const QByteArray& d, qsizetype at) {
    const quint64 bits = quint64(u32(d, at)) | quint64(u32(d, at + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double rkValue(quint32 rk) {
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

struct Record {
    quint16 id;
    QByteArray data;
};

// The records of the stream from `offset` up to and including the next EOF.
// BOF records of embedded substreams (charts) are skipped over.
QVector<Record> readSubstream(const QByteArray& stream, qsizetype offset) {
    QVector<Record> out;
    int depth = 0;
    qsizetype at = offset;
    while (true) {
        if (at < 0 || at + 4 > stream.size())
            throw Damaged();
        const quint16 id = u16(stream, at);
        const quint16 size = u16(stream, at + 2);
        if (at + 4 + size > stream.size())
            throw Damaged();
        Record r{id, stream.mid(at + 4, size)};
        at += 4 + size;
        if (id == kBof && !out.isEmpty()) {
            ++depth;
            continue;
        }
        if (id == kEof) {
            if (depth == 0)
                break;
            --depth;
            continue;
        }
        if (depth == 0)
            out.append(std::move(r));
    }
    return out;
}

// Text in the workbook's code page (BIFF5 byte strings).
QString decodeBytes(const QByteArray& bytes, int codePage) {
    switch (codePage) {
    case 1252: case 0x8000: case 0x8001: case 367: case 437: case 850:
        return QString::fromLatin1(bytes);
    case 65001:
        return QString::fromUtf8(bytes);
    default:
        return Gb18030::decode(bytes);
    }
}

// Reads a string that may run on into CONTINUE records. A run of characters
// resumes in the next record after a one-byte flag giving its width; the
// formatting runs and phonetic data that follow carry no such flag.
class Segments {
public:
    explicit Segments(QVector<QByteArray> parts) : parts_(std::move(parts)) {}

    bool atEnd() {
        while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
            ++part_;
            pos_ = 0;
        }
        return part_ >= parts_.size();
    }
    quint8 byte() {
        if (atEnd())
            throw Damaged();
        return quint8(parts_[part_][pos_++]);
    }
    // Each byte read in its own statement: the order of the reads matters.
    quint16 word() {
        const quint8 low = byte();
        const quint8 high = byte();
        return quint16(low | high << 8);
    }
    quint32 dword() {
        const quint16 low = word();
        const quint16 high = word();
        return quint32(low) | quint32(high) << 16;
    }
    void skip(quint64 count) {
        while (count > 0) {
            if (atEnd())
                throw Damaged();
            const quint64 step = std::min<quint64>(count, quint64(parts_[part_].size() - pos_));
            pos_ += qsizetype(step);
            count -= step;
        }
    }
    QString characters(quint32 count, bool wide) {
        QString out;
        out.reserve(int(std::min<quint32>(count, 32768)));
        while (count > 0) {
            if (pos_ >= parts_[part_].size()) {
                // The characters go on in the next record, after a width flag.
                if (part_ + 1 >= parts_.size())
                    throw Damaged();
                ++part_;
                pos_ = 0;
                wide = (byte() & 1) != 0;
                continue;
            }
            out.append(wide ? QChar(word()) : QChar(byte()));
            --count;
        }
        return out;
    }
    // A BIFF8 string: length, flags, optional counts, characters, then the
    // formatting runs and phonetic data, both skipped.
    QString unicode(bool shortLength) {
        const quint32 length = shortLength ? byte() : word();
        const quint8 flags = byte();
        const quint32 runs = (flags & 0x08) ? word() : 0;
        const quint32 phonetic = (flags & 0x04) ? dword() : 0;
        QString text = characters(length, (flags & 0x01) != 0);
        skip(quint64(runs) * 4 + phonetic);
        return text;
    }

private:
    QVector<QByteArray> parts_;
    qsizetype part_ = 0;
    qsizetype pos_ = 0;
};

QString unicodeAt(const QByteArray& data, qsizetype at, bool shortLength) {
    if (at > data.size())
        throw Damaged();
    Segments s({data.mid(at)});
    return s.unicode(shortLength);
}

// A byte string of BIFF5 with an 8- or 16-bit length.
QString bytesAt(const QByteArray& data, qsizetype at, bool shortLength, int codePage) {
    qsizetype length;
    if (shortLength) {
        if (at >= data.size())
            throw Damaged();
        length = quint8(data[at]);
        at += 1;
    } else {
        length = u16(data, at);
        at += 2;
    }
    if (at + length > data.size())
        throw Damaged();
    return decodeBytes(data.mid(at, length), codePage);
}

// ---- workbook ---------------------------------------------------------------

struct Globals {
    bool biff8 = true;
    int codePage = 1200;
    bool base1904 = false;
    QVector<int> xfFormat;         // XF index -> format index
    QHash<int, QString> formats;   // custom formats by index
    QVector<QString> sst;
    qsizetype firstSheet = -1;
    QString sheetName;
    bool calculated = false; // a spreadsheet program has calculated the formulas (RECALCID)
};

Globals readGlobals(const QByteArray& stream) {
    const QVector<Record> records = readSubstream(stream, 0);
    if (records.isEmpty() || records.first().id != kBof)
        throw Damaged();
    Globals g;
    const quint16 version = u16(records.first().data, 0);
    if (version == 0x0600)
        g.biff8 = true;
    else if (version == 0x0500)
        g.biff8 = false;
    else
        throw Damaged();
    if (!g.biff8)
        g.codePage = 936;
    for (qsizetype i = 1; i < records.size(); ++i) {
        const Record& r = records.at(i);
        switch (r.id) {
        case kCodePage:
            g.codePage = u16(r.data, 0);
            break;
        case kFilePass:
            throw Encrypted();
        case kRecalcId:
            g.calculated = true;
            break;
        case kDateMode:
            g.base1904 = u16(r.data, 0) == 1;
            break;
        case kFormat: {
            const int index = u16(r.data, 0);
            g.formats.insert(index, g.biff8 ? unicodeAt(r.data, 2, false)
                                            : bytesAt(r.data, 2, true, g.codePage));
            break;
        }
        case kXf:
            g.xfFormat.append(u16(r.data, 2));
            break;
        case kSst: {
            QVector<QByteArray> parts{r.data.mid(8)};
            while (i + 1 < records.size() && records.at(i + 1).id == kContinue)
                parts.append(records.at(++i).data);
            const quint32 unique = u32(r.data, 4);
            Segments s(parts);
            g.sst.reserve(int(std::min<quint32>(unique, 1u << 20)));
            for (quint32 n = 0; n < unique && !s.atEnd(); ++n)
                g.sst.append(s.unicode(false));
            break;
        }
        case kBoundSheet:
            if (g.firstSheet < 0 && r.data.size() >= 6 && quint8(r.data[5]) == 0) {
                g.firstSheet = qsizetype(u32(r.data, 0));
                g.sheetName = g.biff8 ? unicodeAt(r.data, 6, true) : bytesAt(r.data, 6, true, g.codePage);
            }
            break;
        default:
            break;
        }
    }
    if (g.firstSheet < 0)
        throw Damaged();
    return g;
}

QString formatOf(const Globals& g, int xf) {
    if (xf < 0 || xf >= g.xfFormat.size())
        return QStringLiteral("General");
    const int index = g.xfFormat.at(xf);
    const auto custom = g.formats.constFind(index);
    if (custom != g.formats.constEnd() && !(index >= 14 && index <= 22))
        return *custom;
    return NumberFormat::builtIn(index);
}

QString errorText(int code) {
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#N/A");
    }
}

} // namespace

Workbook parse(const QByteArray& stream, const QString& path) {
    try {
        const Globals g = readGlobals(stream);
        const QVector<Record> records = readSubstream(stream, g.firstSheet);
        if (records.isEmpty() || records.first().id != kBof)
            throw Damaged();
        Workbook wb;
        wb.setSheetName(g.sheetName);
        const auto inside = [](int row, int column) {
            if (row >= kMaxRows || column >= kMaxColumns)
                throw Damaged();
        };
        const auto used = [&](int row, int column) {
            inside(row, column);
            wb.markUsed(row);
        };
        const auto put = [&](int row, int column, const QString& text) {
            inside(row, column);
            wb.setText(row, column, text);
        };
        const auto number = [&](int row, int column, int xf, double v) {
            inside(row, column);
            wb.setNumber(row, column, v, NumberFormat::text(v, formatOf(g, xf), g.base1904));
        };
        for (qsizetype i = 1; i < records.size(); ++i) {
            const Record& r = records.at(i);
            const QByteArray& d = r.data;
            switch (r.id) {
            case kLabelSst: {
                const quint32 index = u32(d, 6);
                if (index >= quint32(g.sst.size()))
                    throw Damaged();
                put(u16(d, 0), u16(d, 2), g.sst.at(int(index)));
                break;
            }
            case kLabel:
            case kRString:
                put(u16(d, 0), u16(d, 2),
                    g.biff8 ? unicodeAt(d, 6, false) : bytesAt(d, 6, false, g.codePage));
                break;
            case kNumber:
                number(u16(d, 0), u16(d, 2), u16(d, 4), f64(d, 6));
                break;
            case kRk:
                number(u16(d, 0), u16(d, 2), u16(d, 4), rkValue(u32(d, 6)));
                break;
            case kMulRk: {
                const int row = u16(d, 0);
                const int firstColumn = u16(d, 2);
                const int count = int((d.size() - 6) / 6);
                for (int n = 0; n < count; ++n)
                    number(row, firstColumn + n, u16(d, 4 + 6 * n), rkValue(u32(d, 6 + 6 * n)));
                break;
            }
            case kBlank:
                used(u16(d, 0), u16(d, 2));
                break;
            case kMulBlank: {
                const int count = int((d.size() - 6) / 2);
                if (count > 0)
                    used(u16(d, 0), u16(d, 2) + count - 1);
                break;
            }
            case kBoolErr: {
                if (d.size() < 8)
                    throw Damaged();
                const int value = quint8(d[6]);
                put(u16(d, 0), u16(d, 2),
                    d[7] ? errorText(value) : (value ? QStringLiteral("TRUE") : QStringLiteral("FALSE")));
                break;
            }
            case kFormula: {
                const int row = u16(d, 0), column = u16(d, 2), xf = u16(d, 4);
                if (d.size() < 14)
                    throw Damaged();
                // A workbook no spreadsheet program has calculated (no
                // RECALCID) holds a placeholder where the result belongs: an
                // empty result, or eight zero bytes.
                if (!g.calculated && (d.mid(6, 8) == QByteArray::fromHex("030000000000FFFF") ||
                                      d.mid(6, 8) == QByteArray(8, '\0'))) {
                    inside(row, column);
                    wb.setUncomputed(row, column);
                    break;
                }
                if (u16(d, 12) != 0xFFFF) {
                    number(row, column, xf, f64(d, 6));
                    break;
                }
                const int type = quint8(d[6]);
                const int value = quint8(d[8]);
                if (type == 0) {
                    // The text follows in a STRING record (shared formulas and
                    // arrays may come between).
                    QString text;
                    for (qsizetype j = i + 1; j < records.size(); ++j) {
                        if (records.at(j).id == kString) {
                            const QByteArray& s = records.at(j).data;
                            text = g.biff8 ? unicodeAt(s, 0, false) : bytesAt(s, 0, false, g.codePage);
                            break;
                        }
                        if (records.at(j).id != 0x04BC && records.at(j).id != 0x0221 &&
                            records.at(j).id != 0x0236)
                            break;
                    }
                    put(row, column, text);
                } else if (type == 1) {
                    put(row, column, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
                } else if (type == 2) {
                    put(row, column, errorText(value));
                } else {
                    used(row, column);
                }
                break;
            }
            default:
                break;
            }
        }
        return wb;
    } catch (const Damaged&) {
        throw DeskError(SheetReader::damagedMessage(path));
    } catch (const Encrypted&) {
        throw DeskError(SheetReader::encryptedMessage(path));
    }
}

namespace {
struct GObjectUnref {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GsfPtr = std::unique_ptr<T, GObjectUnref>;
} // namespace

Workbook read(const QByteArray& file, const QString& path) {
    static const bool gsfReady = (gsf_init(), true);
    Q_UNUSED(gsfReady);
    GsfPtr<GsfInput> input(
        gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()), gsf_off_t(file.size()), FALSE));
    GError* error = nullptr;
    GsfPtr<GsfInfile> ole(input ? gsf_infile_msole_new(input.get(), &error) : nullptr);
    if (error)
        g_error_free(error);
    if (!ole)
        throw DeskError(SheetReader::damagedMessage(path));
    GsfPtr<GsfInput> book(gsf_infile_child_by_name(ole.get(), "Workbook"));
    if (!book)
        book.reset(gsf_infile_child_by_name(ole.get(), "Book"));
    if (!book) {
        // A workbook of Excel 2007 and later saved with a password to open.
        if (GsfPtr<GsfInput>(gsf_infile_child_by_name(ole.get(), "EncryptedPackage")))
            throw DeskError(SheetReader::encryptedMessage(path));
        throw DeskError(SheetReader::notAWorkbookMessage(path));
    }
    const gsf_off_t size = gsf_input_size(book.get());
    if (size < 0 || size > (gsf_off_t(1) << 30))
        throw DeskError(SheetReader::damagedMessage(path));
    QByteArray stream(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(book.get(), size_t(size), reinterpret_cast<guint8*>(stream.data())))
        throw DeskError(SheetReader::damagedMessage(path));
    return parse(stream, path);
}

Workbook open(const QString& path) {
    return SheetReader::open(path);
}

} // namespace BiffReader
