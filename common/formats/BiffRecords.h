#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <cstring>

// The records of the BIFF8 Workbook stream BiffWriter writes: the limits of
// a sheet, the record types, a run of little-endian bytes, and the records
// of the workbook globals.
namespace BiffWriting {

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

// UTF-16 is needed only when some character lies beyond U+00FF.
bool needsWideForm(QStringView text);

// ShortXLUnicodeString: 8-bit length, option byte, characters (font and sheet names).
void shortString(Bytes& out, const QString& text);

void bof(Bytes& out, unsigned substreamType);
void font(Bytes& out);

// The 15 style XFs every Excel 97-2003 workbook has (0 is Normal; 1..14
// take only their font from it), then `cell`: the one cell XF, General in font 0.
void xf(Bytes& out, unsigned index, bool cell = false);

// Chinese texts about a workbook that cannot be written.
QString notWritten(const QString& path, const QString& reason);

} // namespace BiffWriting
