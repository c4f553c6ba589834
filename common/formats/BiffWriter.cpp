#include "BiffWriter.h"
#include "DeskError.h"
#include "FileModes.h"
#include "FileOps.h"
#include "Query.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QtEndian>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

// Layout of what we write (all little-endian):
//
//   Workbook stream = workbook globals substream, then one worksheet substream.
//   Globals: BOF, CODEPAGE (1200 = UTF-16), WINDOW1, DATE1904, PRECISION,
//            5 FONT, 15 style XF + 1 cell XF, STYLE (Normal), BOUNDSHEET8
//            (absolute position of the sheet's BOF), SST (+ CONTINUE), EXTSST, EOF.
//   Sheet:   BOF, WSBOOL, COLINFO (one per used column), DIMENSIONS, LABELSST / NUMBER / BOOLERR cells in row
//            order, WINDOW2, EOF. (The window records follow the cell table.)
//
// The stream goes into an OLE2 compound file built by libgsf in memory, which
// QSaveFile then writes beside the target and renames into place.

namespace {

// Limits of an Excel 97-2003 worksheet.
constexpr int kMaxSheetRows = 65536; // the header row included
constexpr int kMaxColumns = 256;
constexpr int kMaxCellText = 32767; // UTF-16 code units, as Excel counts them
constexpr int kMaxSheetName = 31;

// At most this many data bytes in one record (the 4-byte header not counted).
constexpr int kMaxRecordData = 8224;

// Readers that mishandle the OLE2 mini stream exist; a Workbook stream of at
// least 4096 bytes is stored in ordinary sectors. The padding is zero bytes
// after the last EOF, which readers skip.
constexpr int kMinStreamSize = 4096;

enum RecordType : quint16 {
    Eof = 0x000A,
    CalcPrecision = 0x000E,
    Font = 0x0031,
    Continue = 0x003C,
    Date1904 = 0x0022,
    Window1 = 0x003D,
    ColInfo = 0x007D,
    CodePage = 0x0042,
    WsBool = 0x0081,
    BoundSheet = 0x0085,
    Xf = 0x00E0,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    ExtSst = 0x00FF,
    Dimensions = 0x0200,
    Number = 0x0203,
    BoolErr = 0x0205,
    Window2 = 0x023E,
    Style = 0x0293,
    Bof = 0x0809,
};

constexpr quint16 kCellXf = 15;    // the one cell format: General, font 0
constexpr quint8 kErrorNum = 0x24; // #NUM!

// A growing run of little-endian bytes.
class Bytes {
public:
    void reserve(qsizetype size) { data_.reserve(size); }
    qsizetype size() const { return data_.size(); }
    const QByteArray& data() const { return data_; }
    void clear() { data_.clear(); }

    // Room for `count` more bytes, to be filled through the returned pointer.
    char* grow(qsizetype count) {
        const qsizetype at = data_.size();
        data_.resize(at + count);
        return data_.data() + at;
    }
    static char* put16(char* out, unsigned value) {
        out[0] = char(value & 0xFF);
        out[1] = char((value >> 8) & 0xFF);
        return out + 2;
    }
    static char* put32(char* out, quint32 value) {
        qToLittleEndian(value, out);
        return out + 4;
    }

    void u8(unsigned value) { data_.append(char(value & 0xFF)); }
    void u16(unsigned value) { put16(grow(2), value); }
    void u32(quint32 value) { put32(grow(4), value); }
    void f64(double value) {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian(bits, grow(8));
    }
    void append(const Bytes& other) { data_.append(other.data_); }
    void zeros(qsizetype count) { data_.append(count, '\0'); }
    void patch16(qsizetype at, unsigned value) { put16(data_.data() + at, value); }
    void patch32(qsizetype at, quint32 value) { put32(data_.data() + at, value); }

    // Record header; the caller then writes exactly `size` data bytes.
    void header(quint16 type, int size) {
        Q_ASSERT(size >= 0 && size <= kMaxRecordData);
        char* out = grow(4);
        put16(put16(out, type), unsigned(size));
    }
    void record(quint16 type, const Bytes& body) {
        header(type, int(body.size()));
        append(body);
    }

    // Characters of a string: one byte each in the compressed form, else UTF-16LE.
    void chars(QStringView text, bool wide) {
        char* out = grow(text.size() * (wide ? 2 : 1));
        for (QChar c : text) {
            if (wide)
                out = put16(out, c.unicode());
            else
                *out++ = char(c.unicode());
        }
    }

private:
    QByteArray data_;
};

// How wide a text shows, in characters of the sheet's digit width: one for
// an ASCII character, two for any other (Chinese characters are full width,
// as they count two bytes in GB18030; a character beyond the BMP counts once).
int displayWidth(QStringView text) {
    int width = 0;
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            ++width;
        else if (!c.isLowSurrogate())
            width += 2;
    }
    return width;
}

} // namespace

QVector<int> BiffWriter::columnWidths(const QStringList& header, const QVector<QVector<QVariant>>& rows) {
    constexpr int kMinChars = 8;    // Excel's default column is about 8 characters wide
    constexpr int kMaxChars = 255;  // the widest column Excel allows
    QVector<int> longest(header.size(), -1);
    const auto measure = [&](qsizetype column, int width) {
        if (column >= longest.size())
            longest.resize(column + 1, -1);
        longest[column] = std::max(longest[column], width);
    };
    for (qsizetype c = 0; c < header.size(); ++c) {
        if (!header.at(c).isEmpty())
            measure(c, displayWidth(header.at(c)));
    }
    for (const QVector<QVariant>& row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QVariant& value = row.at(c);
            if (!value.isValid() || value.isNull())
                continue;
            if (value.typeId() == QMetaType::QString) {
                const QString& text = *static_cast<const QString*>(value.constData());
                if (!text.isEmpty())
                    measure(c, displayWidth(text));
            } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
                measure(c, int(QString::number(value.toDouble(), 'g', 11).size()));
            } else {
                measure(c, displayWidth(value.toString()));
            }
        }
    }
    QVector<int> widths(longest.size(), 0);
    for (qsizetype c = 0; c < longest.size(); ++c) {
        if (longest[c] >= 0)
            widths[c] = std::clamp(longest[c] + 1, kMinChars, kMaxChars) * 256;
    }
    return widths;
}

namespace {

// UTF-16 is needed only when some character lies beyond U+00FF.
bool needsWideForm(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

// ShortXLUnicodeString: 8-bit length, option byte, characters (font and sheet names).
void shortString(Bytes& out, const QString& text) {
    const bool wide = needsWideForm(text);
    out.u8(unsigned(text.size()));
    out.u8(wide ? 1 : 0);
    out.chars(text, wide);
}

// Lays the shared-string table out in records: the SST record first, then as
// many CONTINUE records as its data needs.
class SstRecords {
public:
    explicit SstRecords(Bytes& stream) : stream_(stream) {}

    Bytes body;

    int room() const { return kMaxRecordData - int(body.size()); }
    // Where the next byte of `body` will stand: in the stream, and from the
    // start of its record (header included), as EXTSST counts them.
    quint32 streamPosition() const { return quint32(stream_.size() + 4 + body.size()); }
    quint16 recordOffset() const { return quint16(4 + body.size()); }

    void startContinue() {
        flush();
        type_ = Continue;
    }
    void flush() {
        stream_.record(type_, body);
        body.clear();
    }

private:
    Bytes& stream_;
    quint16 type_ = Sst;
};

// The workbook's shared strings: every distinct text once, in order of first use.
class SharedStrings {
public:
    quint32 indexOf(const QString& text) {
        ++total_;
        const qsizetype known = index_.size();
        quint32& index = index_[text];
        if (index_.size() != known) {
            index = quint32(strings_.size());
            strings_.append(text);
        }
        return index;
    }

    // SST with its CONTINUE records, then EXTSST.
    void write(Bytes& stream) const {
        // EXTSST points at the first string of every bucket; at most 128 buckets.
        const int perBucket = std::max(8, int(strings_.size()) / 128 + 1);
        struct Bucket {
            quint32 position;
            quint16 offset;
        };
        QVector<Bucket> buckets;

        SstRecords sst(stream);
        sst.body.u32(total_);
        sst.body.u32(quint32(strings_.size()));
        for (qsizetype i = 0; i < strings_.size(); ++i) {
            const QString& text = strings_.at(i);
            const bool wide = needsWideForm(text);
            const int unit = wide ? 2 : 1;
            // A string's header (length and option byte) is never split, and
            // its first character goes with it.
            if (sst.room() < 3 + (text.isEmpty() ? 0 : unit))
                sst.startContinue();
            if (i % perBucket == 0)
                buckets.append({sst.streamPosition(), sst.recordOffset()});
            sst.body.u16(unsigned(text.size()));
            sst.body.u8(wide ? 1 : 0);
            qsizetype done = 0;
            while (done < text.size()) {
                qsizetype count = std::min<qsizetype>(sst.room() / unit, text.size() - done);
                // A surrogate pair stays in one record.
                if (count > 0 && done + count < text.size() && text.at(done + count - 1).isHighSurrogate())
                    --count;
                if (count == 0) {
                    // The rest continues in the next record, which repeats the option byte.
                    sst.startContinue();
                    sst.body.u8(wide ? 1 : 0);
                    continue;
                }
                sst.body.chars(QStringView(text).mid(done, count), wide);
                done += count;
            }
        }
        sst.flush();

        Bytes ext;
        ext.u16(unsigned(perBucket));
        for (const Bucket& bucket : buckets) {
            ext.u32(bucket.position);
            ext.u16(bucket.offset);
            ext.u16(0);
        }
        stream.record(ExtSst, ext);
    }

private:
    QHash<QString, quint32> index_;
    QVector<QString> strings_;
    quint32 total_ = 0;
};

void bof(Bytes& out, unsigned substreamType) {
    out.header(Bof, 16);
    out.u16(0x0600); // BIFF8
    out.u16(substreamType);
    out.u16(0x0DBB); // build
    out.u16(0x07CC); // year 1996
    out.u32(0x00000041);
    out.u32(0x00000006); // lowest version that can read it: BIFF8
}

void font(Bytes& out) {
    Bytes body;
    body.u16(240);    // 12 pt, in twentieths of a point
    body.u16(0);      // not italic, not struck out
    body.u16(0x7FFF); // window text colour
    body.u16(400);    // normal weight
    body.u16(0);      // no super- or subscript
    body.u8(0);       // no underline
    body.u8(0);       // font family: don't care
    body.u8(134);     // GB2312 character set
    body.u8(0);
    shortString(body, QStringLiteral("宋体"));
    out.record(Font, body);
}

// The 15 style XFs every Excel 97-2003 workbook has (0 is Normal; 1..14
// take only their font from it), then `cell`: the one cell XF, General in font 0.
void xf(Bytes& out, unsigned index, bool cell = false) {
    const unsigned fontIndex = cell ? 0 : index == 1 || index == 2 ? 1 : index == 3 || index == 4 ? 2 : 0;
    out.header(Xf, 20);
    out.u16(fontIndex);
    out.u16(0);                             // number format: General
    out.u16(cell ? 0x0001 : 0xFFF5);        // cell: locked, style 0; style: locked, fStyle, no parent
    out.u8(0x20);                           // general alignment, bottom
    out.u8(0);                              // no rotation
    out.u8(0);                              // no indent
    out.u8(!cell && index != 0 ? 0xF4 : 0); // attributes a style leaves to Normal
    out.u32(0);                             // no borders
    out.u32(0);
    out.u16(0x20C0); // pattern colours: system foreground and background
}

// Chinese texts about a workbook that cannot be written.
QString notWritten(const QString& path, const QString& reason) {
    return QStringLiteral("无法写入工作簿“%1”：%2").arg(path, reason);
}

// Excel's rules for a sheet name.
void checkSheetName(const QString& path, const QString& name) {
    if (name.isEmpty() || name.size() > kMaxSheetName)
        throw DeskError(notWritten(
            path,
            QStringLiteral("工作表名称“%1”不能为空，也不能超过 %2 个字符。").arg(name).arg(kMaxSheetName)));
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        throw DeskError(notWritten(path, QStringLiteral("工作表名称“%1”不能以单引号开头或结尾。").arg(name)));
    for (QChar c : name) {
        if (QStringView(u":\\/?*[]").contains(c) || c.unicode() < 0x20)
            throw DeskError(notWritten(
                path, QStringLiteral("工作表名称“%1”含有不允许的字符“%2”。").arg(name, QString(c))));
    }
}

// The worksheet substream, written while the shared strings are collected:
// BOF, WSBOOL and DIMENSIONS (filled in by finish()), the cells in row order,
// then WINDOW2 and EOF.
class Sheet {
public:
    Sheet(const QString& path, SharedStrings& strings, qsizetype expectedCells, const QVector<int>& widths)
        : path_(path), strings_(strings) {
        bytes.reserve(96 + widths.size() * 16 + expectedCells * 18);
        bof(bytes, 0x0010);
        bytes.header(WsBool, 2);
        bytes.u16(0x04C1); // a worksheet with automatic page breaks and outline symbols
        for (qsizetype c = 0; c < widths.size() && c < kMaxColumns; ++c) {
            if (widths[c] <= 0)
                continue;
            bytes.header(ColInfo, 12);
            bytes.u16(unsigned(c)); // first and last column
            bytes.u16(unsigned(c));
            bytes.u16(unsigned(widths[c]));
            bytes.u16(kCellXf);
            bytes.u16(0x0002); // width set on purpose, visible
            bytes.u16(0);
        }
        dimensionsAt_ = bytes.size() + 4;
        bytes.header(Dimensions, 14);
        bytes.zeros(14);
    }

    Bytes bytes;

    void add(int row, int column, const QVariant& value) {
        if (!value.isValid() || value.isNull())
            return;
        if (value.typeId() == QMetaType::QString)
            text(row, column, *static_cast<const QString*>(value.constData()));
        else if (Query::isNumber(value))
            number(row, column, value.toDouble());
        else
            text(row, column, value.toString());
    }

    void text(int row, int column, const QString& text) {
        if (text.isEmpty())
            return; // an empty text leaves the cell empty, as in Excel
        if (text.size() > kMaxCellText)
            throw DeskError(
                notWritten(path_, QStringLiteral("第 %1 行第 %2 列的文字有 %3 个字符，超过了 Excel "
                                                 "单元格最多 %4 个字符的限制。")
                                      .arg(row + 1)
                                      .arg(column + 1)
                                      .arg(text.size())
                                      .arg(kMaxCellText)));
        char* out = cell(LabelSst, 10, row, column);
        Bytes::put32(out, strings_.indexOf(text));
    }

    void number(int row, int column, double value) {
        if (!std::isfinite(value)) {
            // Excel has no infinite or undefined numbers; it shows them as #NUM!.
            char* out = cell(BoolErr, 8, row, column);
            out[0] = char(kErrorNum);
            out[1] = 1; // an error, not a Boolean
            return;
        }
        char* out = cell(Number, 14, row, column);
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian(bits, out);
    }

    // Fills in DIMENSIONS (the used rows and columns, each end exclusive) and ends the substream.
    void finish() {
        if (firstRow_ >= 0) {
            bytes.patch32(dimensionsAt_, quint32(firstRow_));
            bytes.patch32(dimensionsAt_ + 4, quint32(lastRow_ + 1));
            bytes.patch16(dimensionsAt_ + 8, unsigned(firstColumn_));
            bytes.patch16(dimensionsAt_ + 10, unsigned(lastColumn_ + 1));
        }
        bytes.header(Window2, 18);
        bytes.u16(0x06B6); // grid lines, headings, zeros, automatic grid colour, outline symbols, selected
        bytes.u16(0);      // top row
        bytes.u16(0);      // left column
        bytes.u32(64);     // grid line colour: automatic
        bytes.u16(0);      // zoom of page break preview: default
        bytes.u16(0);      // zoom: default
        bytes.u32(0);
        bytes.header(Eof, 0);
    }

private:
    // Header, row, column and XF of a cell record; returns where its value goes.
    char* cell(quint16 type, int size, int row, int column) {
        used(row, column);
        char* out = bytes.grow(4 + size);
        out = Bytes::put16(out, type);
        out = Bytes::put16(out, unsigned(size));
        out = Bytes::put16(out, unsigned(row));
        out = Bytes::put16(out, unsigned(column));
        return Bytes::put16(out, kCellXf);
    }

    void used(int row, int column) {
        if (firstRow_ < 0) {
            firstRow_ = lastRow_ = row;
            firstColumn_ = lastColumn_ = column;
            return;
        }
        // Cells come row by row.
        lastRow_ = row;
        firstColumn_ = std::min(firstColumn_, column);
        lastColumn_ = std::max(lastColumn_, column);
    }

    const QString& path_;
    SharedStrings& strings_;
    qsizetype dimensionsAt_ = 0;
    int firstRow_ = -1, lastRow_ = -1, firstColumn_ = -1, lastColumn_ = -1;
};

// The Workbook stream, in two parts: the workbook globals, then the sheet.
struct WorkbookStream {
    Bytes globals;
    Bytes sheet;
};

WorkbookStream workbookStream(const QString& path, const QString& sheetName, const QStringList& header,
                              const QVector<QVector<QVariant>>& rows) {
    checkSheetName(path, sheetName);
    if (rows.size() > kMaxSheetRows - 1)
        throw DeskError(notWritten(path, QStringLiteral("共有 %1 行数据，超过了 Excel 97-2003 工作表最多 %2 "
                                                        "行数据（另有一行列名）的限制。")
                                             .arg(rows.size())
                                             .arg(kMaxSheetRows - 1)));
    const auto tooManyColumns = [&](qsizetype columns) {
        return DeskError(
            notWritten(path, QStringLiteral("共有 %1 列，超过了 Excel 97-2003 工作表最多 %2 列的限制。")
                                 .arg(columns)
                                 .arg(kMaxColumns)));
    };
    if (header.size() > kMaxColumns)
        throw tooManyColumns(header.size());

    const qsizetype expectedCells = (rows.size() + 1) * std::max<qsizetype>(header.size(), 1);
    SharedStrings strings;
    Sheet sheet(path, strings, expectedCells, BiffWriter::columnWidths(header, rows));
    for (qsizetype c = 0; c < header.size(); ++c)
        sheet.text(0, int(c), header.at(c));
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QVector<QVariant>& row = rows.at(r);
        if (row.size() > kMaxColumns)
            throw tooManyColumns(row.size());
        for (qsizetype c = 0; c < row.size(); ++c)
            sheet.add(int(r + 1), int(c), row.at(c));
    }
    sheet.finish();

    WorkbookStream stream;
    Bytes& globals = stream.globals;
    bof(globals, 0x0005);
    globals.header(CodePage, 2);
    globals.u16(1200);
    globals.header(Window1, 18);
    globals.u16(360); // position and size of the window, in twips
    globals.u16(270);
    globals.u16(14940);
    globals.u16(9150);
    globals.u16(0x0038); // horizontal and vertical scroll bars, sheet tabs
    globals.u16(0);      // active sheet
    globals.u16(0);      // first visible tab
    globals.u16(1);      // selected sheets
    globals.u16(600);    // tab bar width, per mille
    globals.header(Date1904, 2);
    globals.u16(0); // dates count from 1900
    globals.header(CalcPrecision, 2);
    globals.u16(1); // full precision
    for (int i = 0; i < 5; ++i)
        font(globals); // indices 0, 1, 2, 3 and 5: index 4 does not exist in BIFF
    for (unsigned i = 0; i < 15; ++i)
        xf(globals, i);
    xf(globals, kCellXf, true);
    globals.header(Style, 4);
    globals.u16(0x8000); // built-in style of XF 0
    globals.u8(0);       // Normal
    globals.u8(0xFF);
    Bytes sheetEntry;
    sheetEntry.u32(0); // the sheet's BOF position, filled in below
    sheetEntry.u8(0);  // visible
    sheetEntry.u8(0);  // worksheet
    shortString(sheetEntry, sheetName);
    const qsizetype sheetPositionAt = globals.size() + 4;
    globals.record(BoundSheet, sheetEntry);
    strings.write(globals);
    globals.header(Eof, 0);
    // The sheet follows the globals directly.
    globals.patch32(sheetPositionAt, quint32(globals.size()));

    stream.sheet = std::move(sheet.bytes);
    const qsizetype size = stream.globals.size() + stream.sheet.size();
    if (size < kMinStreamSize)
        stream.sheet.zeros(kMinStreamSize - size);
    return stream;
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GsfPtr = std::unique_ptr<T, GObjectUnref>;

QString gsfReason(GsfOutput* output) {
    // A memory sink fails only when memory runs out; its text is English.
    Q_UNUSED(output);
    return QStringLiteral("内存不足，无法生成工作簿");
}

bool write(GsfOutput* output, const Bytes& bytes) {
    return gsf_output_write(output, size_t(bytes.size()),
                            reinterpret_cast<const guint8*>(bytes.data().constData()));
}

// An OLE2 compound file in memory holding `stream` as its "Workbook" stream.
class CompoundFile {
public:
    CompoundFile(const QString& path, const WorkbookStream& stream) {
        static const bool gsfReady = (gsf_init(), true);
        Q_UNUSED(gsfReady);

        sink_.reset(gsf_output_memory_new());
        GsfPtr<GsfOutfile> root(sink_ ? gsf_outfile_msole_new(sink_.get()) : nullptr);
        if (!root)
            throw DeskError(notWritten(path, QStringLiteral("无法创建复合文档。")));
        // The class of an Excel 97-2003 workbook, {00020820-0000-0000-C000-000000000046}.
        static const guint8 excelClass[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root.get()), excelClass);
        {
            GsfPtr<GsfOutput> book(gsf_outfile_new_child(root.get(), "Workbook", FALSE));
            if (!book)
                throw DeskError(notWritten(path, QStringLiteral("无法创建 Workbook 数据流。")));
            const bool written = write(book.get(), stream.globals) && write(book.get(), stream.sheet);
            const bool closed = gsf_output_close(book.get());
            if (!written || !closed)
                throw DeskError(notWritten(path, gsfReason(book.get())));
        }
        GsfOutput* rootOutput = GSF_OUTPUT(root.get());
        if (!gsf_output_close(rootOutput)) // also closes the sink
            throw DeskError(notWritten(path, gsfReason(rootOutput)));
        size_ = qint64(gsf_output_size(sink_.get()));
        bytes_ = reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink_.get())));
        if (!bytes_ || size_ <= 0)
            throw DeskError(notWritten(path, gsfReason(sink_.get())));
    }

    const char* bytes() const { return bytes_; }
    qint64 size() const { return size_; }

private:
    GsfPtr<GsfOutput> sink_;
    const char* bytes_ = nullptr;
    qint64 size_ = 0;
};

} // namespace

namespace BiffWriter {

void writeWorkbook(const QString& path, const QString& sheetName, const QStringList& header,
                   const QVector<QVector<QVariant>>& rows) {
    const CompoundFile file(path, workbookStream(path, sheetName, header, rows));

    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        throw DeskError(notWritten(path, QStringLiteral("文件夹“%1”不存在。").arg(target.absolutePath())));
    // QSaveFile writes a temporary file beside the target and renames it into
    // place on commit; when anything fails the temporary file is removed.
    const bool replacing = target.exists(); // a replaced file keeps its mode
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw DeskError(notWritten(path, fileProblem(out)));
    if (out.write(file.bytes(), file.size()) != file.size()) {
        const QString reason = fileProblem(out);
        out.cancelWriting();
        throw DeskError(notWritten(path, reason));
    }
    if (!out.commit())
        throw DeskError(notWritten(path, fileProblem(out)));
    if (!replacing)
        FileModes::settle(path);
}

} // namespace BiffWriter
