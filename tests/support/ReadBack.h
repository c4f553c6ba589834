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
