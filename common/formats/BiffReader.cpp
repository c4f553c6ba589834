#include "BiffReader.h"

#include "DeskError.h"
#include "Text.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
#include <QTime>
#include <QVector>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace BiffReader {
namespace {

// Raised inside the parser for anything that does not fit; turned into the
// user's message once, with the file name, at the top.
struct Damaged {};

// Record identifiers.
enum : quint16 {
    kFormula = 0x0006, kEof = 0x000A, kDateMode = 0x0022, kContinue = 0x003C,
    kCodePage = 0x0042, kBoundSheet = 0x0085, kMulRk = 0x00BD, kMulBlank = 0x00BE,
    kRString = 0x00D6, kXf = 0x00E0, kSst = 0x00FC, kLabelSst = 0x00FD, kBlank = 0x0201,
    kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205, kString = 0x0207, kRk = 0x027E,
    kFormat = 0x041E, kBof = 0x0809,
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

// ---- number formats ------------------------------------------------------

QString builtInFormat(int index) {
    switch (index) {
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    // Dates and times as a Chinese Excel shows them.
    case 14: return QStringLiteral("yyyy/m/d");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("yyyy/m/d h:mm");
    case 27: case 28: case 29: case 30: case 31: case 34: case 35: case 36: case 50: case 51:
    case 52: case 53: case 54: case 57: case 58:
        return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    case 32: case 33: case 55: case 56:
        return QStringLiteral("h\"时\"mm\"分\"");
    case 37: return QStringLiteral("#,##0 ;(#,##0)");
    case 38: return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 48: return QStringLiteral("##0.0E+0");
    case 49: return QStringLiteral("@");
    default: return QStringLiteral("General");
    }
}

// Removes trailing zeros of a decimal fraction ("2.500" -> "2.5", "3.0" -> "3").
QString stripZeros(QString s) {
    if (!s.contains(QLatin1Char('.')))
        return s;
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

QString scientific(double v, int decimals) {
    QString s = QString::number(v, 'E', decimals);
    const qsizetype e = s.indexOf(QLatin1Char('E'));
    QString mantissa = stripZeros(s.left(e));
    QString exponent = s.mid(e + 1); // sign and digits
    QChar sign = exponent.at(0);
    QString digits = exponent.mid(1);
    while (digits.size() > 2 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() < 2)
        digits.prepend(QLatin1Char('0'));
    return mantissa + QLatin1Char('E') + sign + digits;
}

// Excel's General format in a standard column: at most 11 characters
// (the sign not counted), falling back to scientific notation.
QString general(double v) {
    if (v == 0 || !std::isfinite(v))
        return std::isfinite(v) ? QStringLiteral("0") : QStringLiteral("#NUM!");
    const double a = std::fabs(v);
    const QString sign = v < 0 ? QStringLiteral("-") : QString();
    if (a >= 1e11 - 0.5 || a < 1e-9) {
        QString s = scientific(a, 5);
        // Three-digit exponents leave room for one decimal less.
        if (s.size() > 11)
            s = scientific(a, 4);
        return sign + s;
    }
    const int intDigits = a >= 1 ? int(std::floor(std::log10(a))) + 1 : 1;
    int decimals = std::max(0, 10 - intDigits);
    QString s = stripZeros(QString::number(a, 'f', decimals));
    if (a < 1e-4) {
        // Few significant digits left: Excel prefers the scientific form.
        const QString e = scientific(a, 5);
        int significant = 0;
        for (QChar c : s)
            if (c.isDigit() && (significant > 0 || c != QLatin1Char('0')))
                ++significant;
        if (significant < 5 && e.size() <= 11 && QString::number(a, 'g', 6).contains(QLatin1Char('e')))
            s = e;
    }
    return sign + s;
}

bool isDateFormat(const QString& format) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = format.indexOf(QLatin1Char(']'), i);
            const QString inside = format.mid(i + 1, end - i - 1).toLower();
            if (inside == QLatin1String("h") || inside == QLatin1String("hh") ||
                inside == QLatin1String("m") || inside == QLatin1String("mm") ||
                inside == QLatin1String("s") || inside == QLatin1String("ss"))
                return true;
            if (end < 0)
                return false;
            i = end;
        } else {
            const QChar l = c.toLower();
            if (l == QLatin1Char('y') || l == QLatin1Char('d') || l == QLatin1Char('h') ||
                l == QLatin1Char('s') || l == QLatin1Char('m'))
                return true;
        }
    }
    return false;
}

QString dateText(double serial, bool base1904, const QString& format) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466)
        return QStringLiteral("########");
    double days = std::floor(serial);
    long long seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += 1;
    }
    // Day 0 shows as 1900-01-00 and day 60 as 1900-02-29: Excel counts 1900
    // as a leap year.
    int year = 1900, month = 1, day = 0;
    if (base1904 || days > 0) {
        QDate date;
        if (base1904)
            date = QDate(1904, 1, 1).addDays(qint64(days));
        else if (days == 60)
            date = QDate(1900, 2, 28);
        else
            date = QDate(1899, 12, 31).addDays(qint64(days) - (days > 60 ? 1 : 0));
        year = date.year();
        month = date.month();
        day = !base1904 && days == 60 ? 29 : date.day();
    }
    const int hour = int(seconds / 3600), minute = int(seconds / 60 % 60), second = int(seconds % 60);
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const bool ampm = format.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive);

    QString out;
    bool afterHour = false;
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        const QChar l = c.toLower();
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == l)
            ++run;
        if (c == QLatin1Char('"')) {
            const qsizetype end = format.indexOf(QLatin1Char('"'), i + 1);
            out += format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < format.size()) {
            out += format.at(i + 1);
            i += 2;
            continue;
        }
        if (format.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            out += hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype end = format.indexOf(QLatin1Char(']'), i);
            const QString inside = format.mid(i + 1, end - i - 1).toLower();
            if (inside.startsWith(QLatin1Char('h'))) {
                out += QString::number(qint64(days) * 24 + hour);
                afterHour = true;
            }
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        if (l == QLatin1Char('y')) {
            out += run <= 2 ? two(year % 100) : QString::number(year);
        } else if (l == QLatin1Char('d')) {
            out += run == 1 ? QString::number(day) : two(day);
        } else if (l == QLatin1Char('h')) {
            const int h = ampm ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            out += run == 1 ? QString::number(h) : two(h);
            afterHour = true;
        } else if (l == QLatin1Char('s')) {
            out += run == 1 ? QString::number(second) : two(second);
        } else if (l == QLatin1Char('m')) {
            // Minutes right after hours or before seconds, months otherwise.
            qsizetype next = i + run;
            while (next < format.size() && !format.at(next).isLetter())
                ++next;
            const bool minutes =
                run <= 2 && (afterHour || (next < format.size() && format.at(next).toLower() == QLatin1Char('s')));
            if (minutes)
                out += run == 1 ? QString::number(minute) : two(minute);
            else if (run == 1)
                out += QString::number(month);
            else if (run == 2)
                out += two(month);
            else
                out += QLatin1String(months[month - 1]);
            afterHour = false;
        } else if (c == QLatin1Char('.') && i + 1 < format.size() && format.at(i + 1) == QLatin1Char('0')) {
            out += QLatin1Char('.');
            out += QLatin1Char('0');
            run = 2;
        } else {
            out.append(format.mid(i, run));
        }
        i += run;
    }
    return out;
}

// Plain numeric formats: zeros and hashes with an optional fraction,
// thousands separator and percent sign. Anything else shows as General.
QString numberText(double v, const QString& fullFormat, bool base1904) {
    if (!std::isfinite(v))
        return QStringLiteral("#NUM!");
    QString format = fullFormat;
    bool negativeSection = false;
    const QStringList sections = fullFormat.split(QLatin1Char(';'));
    if (v < 0 && sections.size() > 1) {
        format = sections.at(1);
        negativeSection = true;
    } else if (v == 0 && sections.size() > 2) {
        format = sections.at(2);
    } else {
        format = sections.at(0);
    }
    // Colour and condition brackets change nothing in the text.
    QString plain;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) == QLatin1Char('[') && !isDateFormat(format.mid(i, format.indexOf(QLatin1Char(']'), i) - i + 1))) {
            const qsizetype end = format.indexOf(QLatin1Char(']'), i);
            if (end < 0)
                break;
            i = end;
            continue;
        }
        plain += format.at(i);
    }
    format = plain;
    if (format.isEmpty() || format.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
        format == QLatin1String("@"))
        return general(v);
    if (isDateFormat(format))
        return dateText(v, base1904, format);

    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?') ||
            c == QLatin1Char('.') || c == QLatin1Char(',')) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0 || format.contains(QLatin1Char('E'), Qt::CaseInsensitive) || format.contains(QLatin1Char('/')))
        return general(v);
    const QString body = format.mid(first, last - first + 1);
    const QString prefix = format.left(first).remove(QLatin1Char('"')).remove(QLatin1Char('\\'));
    const QString suffix = format.mid(last + 1).remove(QLatin1Char('"')).remove(QLatin1Char('\\'));
    const bool percent = suffix.contains(QLatin1Char('%'));
    const qsizetype point = body.indexOf(QLatin1Char('.'));
    const QString intPart = point < 0 ? body : body.left(point);
    const QString fracPart = point < 0 ? QString() : body.mid(point + 1);
    const int minInt = int(intPart.count(QLatin1Char('0')));
    const int decimals = int(fracPart.count(QLatin1Char('0')) + fracPart.count(QLatin1Char('#')));
    const int requiredDecimals = int(fracPart.count(QLatin1Char('0')));
    const bool thousands = intPart.contains(QLatin1Char(','));

    double a = std::fabs(v) * (percent ? 100 : 1);
    // Round half away from zero, on the decimal text to avoid binary surprises.
    QString digits = QString::number(a, 'f', std::min(decimals, 15));
    const double scale = std::pow(10.0, decimals);
    if (std::fabs(a) < 1e15) {
        const double r = std::round(QString::number(a * scale, 'f', 6).toDouble()) / scale;
        digits = QString::number(r, 'f', decimals);
    }
    QString whole = digits.section(QLatin1Char('.'), 0, 0);
    QString frac = digits.section(QLatin1Char('.'), 1);
    while (frac.size() > requiredDecimals && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    if (whole == QLatin1String("0") && minInt == 0)
        whole.clear();
    while (whole.size() < minInt)
        whole.prepend(QLatin1Char('0'));
    if (thousands)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char(','));
    QString text = whole;
    if (point >= 0)
        text += QLatin1Char('.') + frac;
    const bool zero = !text.contains(QRegularExpression(QStringLiteral("[1-9]")));
    const QString sign = (v < 0 && !negativeSection && !zero) ? QStringLiteral("-") : QString();
    return sign + prefix + text + suffix;
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
    return builtInFormat(index);
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

quint32 key(int row, int column) { return quint32(row) << 8 | quint32(column); }

} // namespace

QString Workbook::text(int row, int column) const {
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns)
        return {};
    return cells_.value(key(row, column));
}

Workbook parse(const QByteArray& stream, const QString& path) {
    try {
        const Globals g = readGlobals(stream);
        const QVector<Record> records = readSubstream(stream, g.firstSheet);
        if (records.isEmpty() || records.first().id != kBof)
            throw Damaged();
        Workbook wb;
        wb.sheetName_ = g.sheetName;
        int lastRow = -1;
        const auto used = [&](int row, int column) {
            if (row >= kMaxRows || column >= kMaxColumns)
                throw Damaged();
            lastRow = std::max(lastRow, row);
        };
        const auto put = [&](int row, int column, const QString& text) {
            used(row, column);
            if (!text.isEmpty())
                wb.cells_.insert(key(row, column), text);
        };
        const auto number = [&](int row, int column, int xf, double v) {
            const QString format = formatOf(g, xf);
            put(row, column, numberText(v, format, g.base1904));
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
        wb.rowCount_ = lastRow + 1;
        return wb;
    } catch (const Damaged&) {
        throw DeskError(QStringLiteral("文件“%1”不是有效的 Excel 工作簿，或已损坏。").arg(path));
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

Workbook open(const QString& path) {
    static const bool gsfReady = (gsf_init(), true);
    Q_UNUSED(gsfReady);
    if (!QFile::exists(path))
        throw DeskError(QStringLiteral("找不到文件“%1”。").arg(path));
    const QByteArray local = QFile::encodeName(path);
    GError* error = nullptr;
    GsfPtr<GsfInput> input(gsf_input_stdio_new(local.constData(), &error));
    if (error)
        g_error_free(error);
    if (!input)
        throw DeskError(QStringLiteral("无法打开文件“%1”。").arg(path));
    error = nullptr;
    GsfPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!ole)
        throw DeskError(QStringLiteral("文件“%1”不是 Excel 97-2003 工作簿（.xls）。").arg(path));
    GsfPtr<GsfInput> book(gsf_infile_child_by_name(ole.get(), "Workbook"));
    if (!book)
        book.reset(gsf_infile_child_by_name(ole.get(), "Book"));
    if (!book)
        throw DeskError(QStringLiteral("文件“%1”中没有 Excel 工作簿。").arg(path));
    const gsf_off_t size = gsf_input_size(book.get());
    if (size < 0 || size > (gsf_off_t(1) << 30))
        throw DeskError(QStringLiteral("文件“%1”不是有效的 Excel 工作簿，或已损坏。").arg(path));
    QByteArray stream(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(book.get(), size_t(size), reinterpret_cast<guint8*>(stream.data())))
        throw DeskError(QStringLiteral("文件“%1”不是有效的 Excel 工作簿，或已损坏。").arg(path));
    return parse(stream, path);
}

} // namespace BiffReader
