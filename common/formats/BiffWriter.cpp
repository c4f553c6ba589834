#include "BiffWriter.h"
#include "BiffCells.h"
#include "DeskError.h"
#include "FileOps.h"

#include <QDir>
#include <QFileInfo>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
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
// is then written beside the target and renamed into place.

using namespace BiffWriting;

namespace {

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
    Worksheet sheet(path, strings, expectedCells, BiffWriter::columnWidths(header, rows));
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
    // Written beside the target and renamed into place: a failure leaves an
    // earlier file as it was and no partial file.
    try {
        writeFileReplacing(QByteArray::fromRawData(file.bytes(), file.size()), path);
    } catch (const FileError& e) {
        throw DeskError(notWritten(path, fileProblem(e.code())));
    }
}

} // namespace BiffWriter
