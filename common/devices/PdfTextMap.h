#pragma once

#include <QByteArray>
#include <QHash>
#include <functional>

// Corrects the text maps (ToUnicode CMaps) of a PDF file that Qt wrote, so
// that text copied or searched in the file is the text that was printed.
//
// Qt names each glyph of an embedded font by the first code point that the
// font draws with it. The CJK fonts draw a radical and its ideograph with
// one glyph, and the radicals come first (⾼ U+2FBC before 高 U+9AD8), so
// "高" copies as "⾼". The corrections (PrintFonts::textMapCorrections())
// name the ideograph instead.
//
// Qt writes the maps as plain streams near the end of the file; the objects
// from the first changed map on are written anew, with a new
// cross-reference table. Files of another shape are left as they are.
namespace PdfTextMap {

using Corrections = QHash<char32_t, char32_t>;

// What to change: the bytes of the file from `from` on are replaced by
// `tail`. Nothing to change when `from` is negative.
struct Patch {
    qint64 from = -1;
    QByteArray tail;
    bool isEmpty() const { return from < 0; }
};

// Reads `length` bytes at `offset` of the file (fewer at its end).
using Reader = std::function<QByteArray(qint64 offset, qint64 length)>;

// The patch for a file of `size` bytes read through `read`.
Patch patch(const Reader& read, qint64 size, const Corrections& corrections);

// One CMap stream's text with `corrections` applied; `changed` tells
// whether anything was corrected (the text is returned unchanged if not).
QByteArray correctedCMap(const QByteArray& cmap, const Corrections& corrections, bool* changed);

} // namespace PdfTextMap
