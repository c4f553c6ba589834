#pragma once

#include <QFont>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringList>
#include <QVector>

class QPainter;

// The fonts of printed pages. The forms name their fonts "宋体", "黑体" and
// "隶书"; each name stands for a list of installed CJK families, best first.
//
// No one CJK font draws every character of a name: AR PL UKai (隶书) maps
// some forty rare ideographs such as 䶮 to an empty glyph, and several fonts
// lack the characters beyond the BMP such as 𠮷. Qt's own fallback steps in
// only where a font has no glyph at all, so an empty glyph would print as a
// gap. Printed text is therefore set character by character: each character
// goes to the first family of its name's list, then of the other print
// families, that draws it with an outline of its own.
namespace PrintFonts {

inline const QString SongTi = QStringLiteral("宋体");
inline const QString HeiTi = QStringLiteral("黑体");
inline const QString LiShu = QStringLiteral("隶书");

// The installed families `name` stands for, best first. A name that is none
// of the three stands for itself.
QStringList familiesOf(const QString& name);
// Every installed print family, the fallbacks of every name.
QStringList allFamilies();

// Lets QFont resolve the three names to their families (for the windows).
void installSubstitutions();

// `name` at `pointSize` with the families of `name` to resolve it.
QFont font(const QString& name, double pointSize);

// Whether `family` draws `c` with an outline of its own; a blank character
// (a space) counts when the family has a glyph for it.
bool draws(const QString& family, char32_t c);

// The family that draws `c` for text set in `name`: the first of
// familiesOf(name), then of allFamilies(), that draws it; empty when none
// does.
QString familyFor(const QString& name, char32_t c);

// Consecutive characters of a text that one family draws.
struct Run {
    QString text;
    QString family; // empty: no print family draws them
};
// `text` cut into runs for text set in `name`.
QVector<Run> runs(const QString& text, const QString& name);

// `family` as a raw font of `pixelSize` pixels; invalid when not installed.
QRawFont rawFont(const QString& family, double pixelSize);

// Draws `text` in the painter's current font size for text set in `name`,
// with the left end of its baseline at `origin`: each run in its family.
// A text wider than `maxWidth` (when positive) is drawn condensed across
// to that width. The painter's font is left as it was.
void drawText(QPainter& painter, QPointF origin, const QString& text, const QString& name, double maxWidth = 0);
// The width `text` takes when drawn so.
double textWidth(QPainter& painter, const QString& text, const QString& name);

// Code points a PDF's text map should name differently, and the code point
// to name instead. The CJK fonts give a radical (⾼ U+2FBC, ⻩ U+2EE9) and
// its ideograph (高, 黄) one glyph, and a text map built by walking the
// code points upwards names the radical, which comes first; likewise a
// control character that shares the glyph of the space. Built once from
// the installed print families.
const QHash<char32_t, char32_t>& textMapCorrections();

} // namespace PrintFonts
