#pragma once

#include "Sheet.h"

#include <QByteArray>

// Tables kept as text: every cell is taken as the text the file holds.
namespace TextSheet {

// A CSV file: comma- or tab-separated (whichever the first line uses more),
// fields in double quotes where they hold separators, quotes ("") or line
// breaks. The encoding: UTF-8 or UTF-16 when the file starts with its
// signature (BOM), UTF-8 when every byte sequence is valid UTF-8, GB18030
// otherwise.
Sheet readCsv(const QByteArray& bytes);

// The first <table> of an HTML page (what web systems hand out as ".xls"),
// read with libxml2's HTML parser: each <tr> one row, each <td>/<th> one
// cell (colspan and rowspan take their room), its text with white space
// run together as a browser shows it. The page's declared encoding is used;
// without one, UTF-8 when valid, GB18030 otherwise.
Sheet readHtml(const QByteArray& bytes);

// What the file's text looks like.
bool looksLikeHtml(const QByteArray& bytes);
bool looksLikeText(const QByteArray& bytes);

} // namespace TextSheet
