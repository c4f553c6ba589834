#include "TextPrinter.h"
#include "PrintFonts.h"
#include "Text.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPaintDevice>
#include <algorithm>
#include <cmath>

namespace {

const QChar formFeed(12);

// Characters that leave their cells blank.
bool isBlank(const QString& text) {
    if (text.size() != 1)
        return false;
    const char16_t c = text.at(0).unicode();
    return c <= 0x20 || c == 0x3000 || c == 0x00A0 || c == 0x7F;
}

// The length of the GB18030 sequence starting at `bytes[at]`.
int sequenceLength(const QByteArray& bytes, int at) {
    const auto lead = static_cast<unsigned char>(bytes.at(at));
    if (lead < 0x80 || at + 1 >= bytes.size())
        return 1;
    const auto second = static_cast<unsigned char>(bytes.at(at + 1));
    return second >= 0x30 && second <= 0x39 ? 4 : 2;
}

} // namespace

std::vector<TextPrinter::Cell> TextPrinter::cells(const QString& line) {
    std::vector<Cell> result;
    result.reserve(size_t(line.size()));
    const QByteArray bytes = Gb18030::encode(line);
    int at = 0;
    for (qsizetype i = 0; i < line.size();) {
        // One code point: a surrogate pair is one character.
        const qsizetype units =
            line.at(i).isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate() ? 2 : 1;
        const int width = at < bytes.size() ? sequenceLength(bytes, at) : 1;
        if (line.at(i) != formFeed)
            result.push_back({at, width, line.mid(i, units)});
        at += width;
        i += units;
    }
    return result;
}

TextPrinter::TextPrinter(const Options& options)
    : job_({options.documentName, options.fallbackPdf}), fontName_(options.fontFamily) {
    QPainter& painter = job_.painter();
    font_ = PrintFonts::font(options.fontFamily, options.pointSize);
    painter.setFont(font_);
    font_ = painter.font(); // as resolved for the device

    const double dpiX = job_.dpiX();
    const double dpiY = job_.dpiY();
    pixelSize_ = options.pointSize * dpiY / 72.0;
    cellWidth_ = options.pointSize * dpiX / 72.0 / 2.0;
    // Chinese characters fill the em square from 0.88 em above the
    // baseline to 0.12 em below it.
    ascent_ = 0.88 * pixelSize_;

    const QSize area = job_.printableSize();
    left_ = options.leftMarginMm * dpiX / 25.4;
    top_ = options.topMarginMm * dpiY / 25.4;
    width_ = area.width() - left_ - options.rightMarginMm * dpiX / 25.4;
    const double usable = area.height() - top_ - options.bottomMarginMm * dpiY / 25.4;
    const int wanted = std::max(1, options.linesPerPage);
    // The font's own line spacing where the page holds enough lines with
    // it, closer lines where it would not.
    const double natural = QFontMetricsF(font_, painter.device()).lineSpacing();
    pitch_ = std::min(natural, usable / wanted);
    if (pitch_ <= 0)
        pitch_ = natural;
    linesPerPage_ = std::max(wanted, int(std::floor(usable / pitch_ + 1e-6)));
}

const TextPrinter::Glyph& TextPrinter::glyphOf(const QString& character) {
    const char32_t c = character.size() == 2 ? QChar::surrogateToUcs4(character.at(0), character.at(1))
                                             : character.at(0).unicode();
    auto found = glyphs_.constFind(c);
    if (found != glyphs_.constEnd())
        return *found;
    Glyph glyph;
    const QString family = PrintFonts::familyFor(fontName_, c);
    if (!family.isEmpty()) {
        qsizetype at = families_.indexOf(family);
        if (at < 0) {
            families_.append(family);
            rawFonts_.append(PrintFonts::rawFont(family, pixelSize_));
            at = families_.size() - 1;
        }
        const QRawFont& raw = rawFonts_[at];
        const QList<quint32> index = raw.isValid() ? raw.glyphIndexesForString(character) : QList<quint32>();
        if (index.size() == 1 && index.front() != 0) {
            glyph.family = int(at);
            glyph.index = index.front();
            glyph.advance = raw.advancesForGlyphIndexes(index).value(0).x();
        }
    }
    return *glyphs_.insert(c, glyph);
}

double TextPrinter::condensation(int columns) const {
    const double width = columns * cellWidth_;
    return width > width_ && width_ > 0 ? width_ / width : 1.0;
}

void TextPrinter::writeLine(const QString& line) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype feed = line.indexOf(formFeed, from);
        drawText(line.mid(from, feed < 0 ? -1 : feed - from));
        if (feed < 0)
            break;
        breakPage();
        from = feed + 1;
    }
    // The line's end moves down one line; past the last line of a page the
    // next line begins a new page.
    if (++line_ >= linesPerPage_)
        breakPage();
}

void TextPrinter::end() {
    job_.end();
}

void TextPrinter::breakPage() {
    ++page_;
    line_ = 0;
}

void TextPrinter::moveToPageOfCursor() {
    while (pagesStarted_ <= page_) {
        job_.newPage();
        ++pagesStarted_;
    }
}

void TextPrinter::drawText(const QString& text) {
    const std::vector<Cell> all = cells(text);
    std::vector<const Cell*> inked;
    inked.reserve(all.size());
    for (const Cell& cell : all) {
        if (!isBlank(cell.text))
            inked.push_back(&cell);
    }
    if (inked.empty())
        return;
    moveToPageOfCursor();

    // The glyphs of each family, drawn as one run per family.
    struct Run {
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    QList<Run> runs(families_.size());
    QList<const Cell*> unmatched; // no print family draws them
    for (const Cell* cell : inked) {
        const Glyph& glyph = glyphOf(cell->text);
        if (glyph.family < 0) {
            unmatched.append(cell);
            continue;
        }
        if (glyph.family >= runs.size())
            runs.resize(glyph.family + 1);
        // A glyph narrower or wider than its cells (a proportional Latin
        // letter) stands in their middle.
        runs[glyph.family].glyphs.append(glyph.index);
        runs[glyph.family].positions.append(
            QPointF(cell->column * cellWidth_ + (cell->bytes * cellWidth_ - glyph.advance) / 2, 0));
    }

    QPainter& painter = job_.painter();
    const Cell* last = inked.back();
    painter.save();
    painter.translate(left_, top_ + line_ * pitch_ + ascent_);
    const double across = condensation(last->column + last->bytes);
    if (across < 1)
        painter.scale(across, 1);
    for (qsizetype f = 0; f < runs.size(); ++f) {
        if (runs[f].glyphs.isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(rawFonts_[f]);
        run.setGlyphIndexes(runs[f].glyphs);
        run.setPositions(runs[f].positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    // Left to the painter's font fallback.
    for (const Cell* cell : unmatched)
        painter.drawText(QPointF(cell->column * cellWidth_, 0), cell->text);
    painter.restore();
}
