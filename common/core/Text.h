#pragma once

#include <QByteArray>
#include <QString>

// Text rules shared by both stations.
//
// Lengths, positions and cuts that the stations count in bytes use the text
// encoded in GB18030 (identical to GBK for every GBK character; also covers
// the rare name characters GBK lacks). Everything else is QString.
namespace Gb18030 {

QByteArray encode(const QString& text);  // unpaired surrogates become '?'
QString decode(const QByteArray& bytes); // invalid sequences become U+FFFD

int byteLength(const QString& text);

// The byte at 0-based position `index` of the encoded text, or 0 past its end.
unsigned char byteAt(const QString& text, int index);

// The longest leading part of `text` whose encoding has at most `maxBytes`
// bytes. A character that would be split is left out whole.
QString cut(const QString& text, int maxBytes);

// `text` cut to `width` bytes and filled with blanks to exactly `width`
// bytes: on the right (left-aligned, "%-20s") or on the left ("%20s").
// A cut that stops before a two-byte character leaves one blank in its place.
QString padRight(const QString& text, int width);
QString padLeft(const QString& text, int width);

} // namespace Gb18030

namespace Text {

// Removes leading and trailing characters with a code up to U+0020 (blanks
// and control characters). The full-width space U+3000 stays.
QString trimmed(const QString& text);

// Sequence-number text: the decimal digits, left-padded with "0" to four
// characters; longer numbers are neither padded nor cut.
QString sequenceText(long long number);

// Strict integer conversion of a whole text (surrounding blanks allowed).
// Throws ConversionError with the standard message for anything else.
long long toInteger(const QString& text);

// The standard conversion message for a text that is not an integer.
QString notAnIntegerMessage(const QString& text);

} // namespace Text
