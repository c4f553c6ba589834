#include "PrintFonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace PrintFonts {

namespace {

// The families each name stands for, best first, installed or not.
const QList<QPair<QString, QStringList>>& table() {
    static const QList<QPair<QString, QStringList>> names{
        {SongTi, {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                  QStringLiteral("WenQuanYi Zen Hei")}},
        {HeiTi, {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")}},
        {LiShu, {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC")}},
    };
    return names;
}

// The size the outlines are looked at in; any size would do.
constexpr double referenceSize = 48;

bool isBlank(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
        return true;
    default:
        return false;
    }
}

QString textOf(char32_t c) { return QString::fromUcs4(&c, 1); }

// The raw font of `family` at the reference size, cached; invalid when
// the family is not installed (fontconfig would offer another one).
const QRawFont& referenceFont(const QString& family) {
    static QHash<QString, QRawFont> fonts;
    auto found = fonts.constFind(family);
    if (found == fonts.constEnd())
        found = fonts.insert(family, rawFont(family, referenceSize));
    return *found;
}

bool isInstalled(const QString& family) { return referenceFont(family).isValid(); }

QStringList installed(const QStringList& families) {
    QStringList result;
    for (const QString& family : families) {
        if (isInstalled(family) && !result.contains(family))
            result << family;
    }
    return result;
}

QFont runFont(const QFont& base, const QString& family, const QString& name) {
    QFont f = base;
    if (family.isEmpty()) {
        const QStringList families = familiesOf(name);
        f.setFamilies(families.isEmpty() ? QStringList{name} : families);
    } else {
        f.setFamilies({family});
        f.setStyleStrategy(QFont::NoFontMerging);
    }
    return f;
}

} // namespace

QStringList familiesOf(const QString& name) {
    static QHash<QString, QStringList> cache;
    auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    QStringList wanted{name};
    for (const auto& entry : table()) {
        if (entry.first == name)
            wanted = entry.second;
    }
    return *cache.insert(name, installed(wanted));
}

QStringList allFamilies() {
    static const QStringList all = [] {
        QStringList families;
        for (const auto& entry : table())
            families << entry.second;
        return installed(families);
    }();
    return all;
}

void installSubstitutions() {
    for (const auto& entry : table())
        QFont::insertSubstitutions(entry.first, entry.second);
}

QFont font(const QString& name, double pointSize) {
    QFont f;
    const QStringList families = familiesOf(name);
    f.setFamilies(families.isEmpty() ? QStringList{name} : families);
    f.setPointSizeF(pointSize);
    return f;
}

QRawFont rawFont(const QString& family, double pixelSize) {
    QFont f;
    f.setFamilies({family});
    f.setStyleStrategy(QFont::NoFontMerging);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    QRawFont raw = QRawFont::fromFont(f);
    if (!raw.isValid() || raw.familyName().compare(family, Qt::CaseInsensitive) != 0)
        return QRawFont();
    raw.setPixelSize(pixelSize);
    return raw;
}

bool draws(const QString& family, char32_t c) {
    static QHash<QString, QHash<char32_t, bool>> cache;
    QHash<char32_t, bool>& known = cache[family];
    auto found = known.constFind(c);
    if (found != known.constEnd())
        return *found;
    bool result = false;
    const QRawFont& raw = referenceFont(family);
    if (raw.isValid()) {
        const QList<quint32> glyphs = raw.glyphIndexesForString(textOf(c));
        if (glyphs.size() == 1 && glyphs.front() != 0)
            result = isBlank(c) || !raw.pathForGlyph(glyphs.front()).isEmpty();
    }
    known.insert(c, result);
    return result;
}

QString familyFor(const QString& name, char32_t c) {
    static QHash<QString, QHash<char32_t, QString>> cache;
    QHash<char32_t, QString>& known = cache[name];
    auto found = known.constFind(c);
    if (found != known.constEnd())
        return *found;
    QString result;
    for (const QStringList& families : {familiesOf(name), allFamilies()}) {
        for (const QString& family : families) {
            if (draws(family, c)) {
                result = family;
                break;
            }
        }
        if (!result.isEmpty())
            break;
    }
    known.insert(c, result);
    return result;
}

QVector<Run> runs(const QString& text, const QString& name) {
    QVector<Run> result;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const char32_t c = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        // A blank stays with the run before it where that family has it.
        const QString family = !result.isEmpty() && isBlank(c) && draws(result.back().family, c)
                                   ? result.back().family
                                   : familyFor(name, c);
        if (result.isEmpty() || result.back().family != family)
            result.append({QString(), family});
        result.back().text += text.mid(i, units);
        i += units;
    }
    return result;
}

double textWidth(QPainter& painter, const QString& text, const QString& name) {
    double width = 0;
    for (const Run& run : runs(text, name))
        width += QFontMetricsF(runFont(painter.font(), run.family, name), painter.device()).horizontalAdvance(run.text);
    return width;
}

void drawText(QPainter& painter, QPointF origin, const QString& text, const QString& name, double maxWidth) {
    const QFont base = painter.font();
    struct Piece {
        QFont font;
        QString text;
        double width;
    };
    QVector<Piece> pieces;
    double total = 0;
    for (const Run& run : runs(text, name)) {
        const QFont f = runFont(base, run.family, name);
        const double width = QFontMetricsF(f, painter.device()).horizontalAdvance(run.text);
        pieces.append({f, run.text, width});
        total += width;
    }
    painter.save();
    painter.translate(origin);
    if (maxWidth > 0 && total > maxWidth)
        painter.scale(maxWidth / total, 1);
    double x = 0;
    for (const Piece& piece : pieces) {
        painter.setFont(piece.font);
        painter.drawText(QPointF(x, 0), piece.text);
        x += piece.width;
    }
    painter.restore();
}

const QHash<char32_t, char32_t>& textMapCorrections() {
    static const QHash<char32_t, char32_t> corrections = [] {
        // Code points that come before the ones people write and may share
        // their glyphs: control characters, the CJK radicals and strokes.
        auto secondary = [](char32_t c) {
            return c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0x2E80 && c < 0x2FE0) || (c >= 0x31C0 && c < 0x31F0);
        };
        QString all;
        all.reserve(0xF800);
        QVector<char32_t> codes;
        codes.reserve(0xF800);
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (c >= 0xD800 && c < 0xE000)
                continue;
            all.append(QChar(char16_t(c)));
            codes.append(c);
        }
        QHash<char32_t, char32_t> map;
        for (const QString& family : allFamilies()) {
            const QList<quint32> glyphs = referenceFont(family).glyphIndexesForString(all);
            if (glyphs.size() != codes.size())
                continue;
            QHash<quint32, char32_t> first; // glyph -> the first ordinary code point drawn with it
            for (qsizetype i = 0; i < codes.size(); ++i) {
                if (glyphs[i] != 0 && !secondary(codes[i]) && !first.contains(glyphs[i]))
                    first.insert(glyphs[i], codes[i]);
            }
            for (qsizetype i = 0; i < codes.size(); ++i) {
                if (glyphs[i] == 0 || !secondary(codes[i]) || map.contains(codes[i]))
                    continue;
                const auto found = first.constFind(glyphs[i]);
                if (found != first.constEnd())
                    map.insert(codes[i], *found);
            }
        }
        return map;
    }();
    return corrections;
}

} // namespace PrintFonts
