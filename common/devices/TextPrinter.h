#pragma once

#include "PrintJob.h"

#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <QStringList>
#include <vector>

// Lines of plain text on printed pages, the way a line printer lays them out:
// each line at the left of the page, one line below the other, all in one
// font. A form feed (code 12) in a line starts a new page where it stands;
// the rest of the line, and its end, go on the new page. A line that would
// not fit on the page starts a new page. A page break that nothing follows
// leaves no empty page behind.
//
// Every character stands in a cell half the font's size wide per GB18030
// byte (a Chinese character two cells, an ASCII character one), so columns
// counted in bytes line up whatever widths the font gives its Latin letters.
// A character the font draws without an outline goes to another print
// family that has one (PrintFonts). A line wider than the page between its
// margins is drawn condensed across to fit, never past the paper's edge.
//
// The document goes where PrintJob sends it (the default printer, or a PDF
// file) and is ended with whatever was written when the printer is
// destroyed, also when an error stops the writing half-way.
class TextPrinter {
public:
    struct Options {
        QString documentName;
        QString fallbackPdf;                       // used only when no printer exists
        QString fontFamily = QStringLiteral("宋体");
        double pointSize = 12;
        int linesPerPage = 60;                     // lines that must fit on a page
        double leftMarginMm = 10;                  // inside the printable area
        double rightMarginMm = 5;
        double topMarginMm = 5;
        double bottomMarginMm = 5;
    };

    // Begins the document; throws DeskError when it cannot begin.
    explicit TextPrinter(const Options& options);

    // Prints one line (without its line end).
    void writeLine(const QString& line);
    // Ends the document (also done when the printer is destroyed); throws
    // DeskError when the document could not be finished.
    void end();

    // Lines that fit on a page: at least Options::linesPerPage.
    int linesPerPage() const { return linesPerPage_; }
    // Pages begun on the device so far.
    int pagesPrinted() const { return pagesStarted_; }
    // The PDF file written (after end(): under the name it took), or empty
    // when the document went to a printer.
    const QString& pdfFile() const { return job_.pdfFile(); }
    // Whether the document went into the fallback file for want of a printer.
    bool wentToFallback() const { return job_.wentToFallback(); }

    // One character of a line and the byte column it starts at.
    struct Cell {
        int column;   // 0-based, in GB18030 bytes
        int bytes;    // its width in bytes (1, 2 or 4)
        QString text; // one character (two UTF-16 units for a pair)
    };
    // The characters of `line` with their columns, form feeds excepted.
    static std::vector<Cell> cells(const QString& line);

    // How much a line of `columns` bytes is condensed across: 1 where it fits
    // between the margins, less where it would not.
    double condensation(int columns) const;

private:
    void drawText(const QString& text);
    void breakPage();
    void moveToPageOfCursor();
    // How a character is drawn: a glyph of one of the families used.
    struct Glyph {
        int family = -1; // into families_; -1: no print family draws it
        quint32 index = 0;
        double advance = 0;
    };
    const Glyph& glyphOf(const QString& character);

    PrintJob job_;
    QString fontName_;
    QFont font_;
    QStringList families_;      // the families drawn in so far
    QList<QRawFont> rawFonts_;  // of each, at the font's size
    QHash<char32_t, Glyph> glyphs_;
    double pixelSize_ = 0;
    double cellWidth_ = 0; // device pixels per byte
    double width_ = 0;     // device pixels a line may take
    double pitch_ = 0;     // device pixels per line
    double ascent_ = 0;
    double left_ = 0;
    double top_ = 0;
    int linesPerPage_ = 0;

    int page_ = 0; // where the next text goes
    int line_ = 0;
    int pagesStarted_ = 1;
};
