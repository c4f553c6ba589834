#include "NumberFormat.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace NumberFormat {
namespace {

// Digits past the fifteenth significant one show as zeros, as in the
// spreadsheet: 320102200001011264 shows as 320102200001011000.
QString fifteenDigits(QString digits) {
    int significant = 0;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const QChar c = digits.at(i);
        if (!c.isDigit())
            continue;
        if (significant == 0 && c == QLatin1Char('0'))
            continue;
        if (++significant > 15)
            digits[i] = QLatin1Char('0');
    }
    return digits;
}

} // namespace

QString builtIn(int index) {
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

namespace {

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

} // namespace

QString text(double v, const QString& fullFormat, bool base1904) {
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
    if (a >= 1e15)
        a = QString::number(a, 'g', 15).toDouble(); // what the spreadsheet keeps of it
    // Round half away from zero, on the decimal text to avoid binary surprises.
    QString digits = QString::number(a, 'f', std::min(decimals, 15));
    const double scale = std::pow(10.0, decimals);
    if (std::fabs(a) < 1e15) {
        const double r = std::round(QString::number(a * scale, 'f', 6).toDouble()) / scale;
        digits = QString::number(r, 'f', decimals);
    }
    digits = fifteenDigits(digits);
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

} // namespace NumberFormat
