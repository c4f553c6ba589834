#include "Text.h"
#include "DeskError.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Length in bytes of the GB18030 sequence starting at bytes[i].
int sequenceLength(const QByteArray& bytes, int i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80 || lead == 0x80 || lead == 0xFF)
        return 1;
    if (i + 1 < bytes.size()) {
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second >= 0x30 && second <= 0x39)
            return i + 3 < bytes.size() ? 4 : int(bytes.size()) - i;
        return 2;
    }
    return 1;
}

QString sanitizeSurrogates(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c);
            out.append(text.at(++i));
        } else if (c.isSurrogate()) {
            out.append(QLatin1Char('?'));
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

namespace Gb18030 {

QByteArray encode(const QString& text) {
    QStringEncoder encoder("GB18030");
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        QStringEncoder retry("GB18030");
        bytes = retry.encode(sanitizeSurrogates(text));
    }
    return bytes;
}

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

int byteLength(const QString& text) {
    // ASCII-only texts are common; skip the encoder for them.
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    return ascii ? int(text.size()) : int(encode(text).size());
}

unsigned char byteAt(const QString& text, int index) {
    const QByteArray bytes = encode(text);
    if (index < 0 || index >= bytes.size())
        return 0;
    return static_cast<unsigned char>(bytes[index]);
}

QString cut(const QString& text, int maxBytes) {
    if (maxBytes <= 0)
        return QString();
    const QByteArray bytes = encode(text);
    if (bytes.size() <= maxBytes)
        return text;
    int end = 0;
    while (end < bytes.size()) {
        const int step = sequenceLength(bytes, end);
        if (end + step > maxBytes)
            break;
        end += step;
    }
    return decode(bytes.left(end));
}

QString padRight(const QString& text, int width) {
    const QString part = cut(text, width);
    return part + QString(width - byteLength(part), QLatin1Char(' '));
}

QString padLeft(const QString& text, int width) {
    const QString part = cut(text, width);
    return QString(width - byteLength(part), QLatin1Char(' ')) + part;
}

} // namespace Gb18030

namespace Text {

QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return (begin == 0 && end == text.size()) ? text : text.mid(begin, end - begin);
}

QString sequenceText(long long number) {
    QString digits = QString::number(number);
    if (digits.size() < 4)
        digits = QString(4 - digits.size(), QLatin1Char('0')) + digits;
    return digits;
}

QString notAnIntegerMessage(const QString& text) {
    return QStringLiteral("“%1”不是有效的整数。").arg(text);
}

long long toInteger(const QString& text) {
    const QString t = trimmed(text);
    bool ok = false;
    const long long value = t.toLongLong(&ok, 10);
    if (!ok || t.contains(QLatin1Char(' ')))
        throw ConversionError(notAnIntegerMessage(text));
    return value;
}

} // namespace Text
