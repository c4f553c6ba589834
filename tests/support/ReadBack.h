#pragma once

#include <QJsonObject>
#include <QString>

// Reads an Excel 97-2003 workbook with a reader independent of ours (SheetJS
// under node: tests/tools/readxls.mjs, installed by scripts/install-deps.sh).
// Returns {"sheets": [sheet names], "rows": [[cells of the first sheet, row by
// row from A1]]}: text cells as strings, numbers as numbers, empty cells as
// null, error cells as {"error": "#NUM!"}.
//
// When node, the reader's packages or the reading fails, the calling test
// fails with the reason (never skipped) and the result is empty; use
// READ_WORKBOOK to end the test function right there.
QJsonObject readWorkbookIndependently(const QString& path);

// In a test function: `const QJsonObject var` read from `path`, returning
// from the test function when reading failed.
#define READ_WORKBOOK(var, path)                                                                             \
    const QJsonObject var = readWorkbookIndependently(path);                                                 \
    if (QTest::currentTestFailed())                                                                          \
    return

// The number of pages of a finished PDF file, or -1 when the file is missing
// or not a whole PDF document (no header, or no end-of-file mark).
int pdfPages(const QString& path);

// The text of a PDF file as an independent reader extracts it (pdftotext of
// poppler-utils, installed by scripts/install-deps.sh): what copying or
// searching the file finds. Pages are separated by form feeds. When the
// reader is missing or fails, the calling test fails with the reason.
QString pdfText(const QString& path);

// One word of a PDF page with where pdftotext found it, in points from the
// page's top-left corner.
struct PdfWord {
    int page = 0; // from 1
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double pageWidth = 0;
};
// Every word of a PDF file (pdftotext -bbox); empty, with the test failed,
// when the reader is missing or fails.
QList<PdfWord> pdfWords(const QString& path);
