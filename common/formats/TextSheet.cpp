#include "TextSheet.h"
#include "Text.h"
#include "WorkbookParts.h"

#include <QRegularExpression>
#include <QVector>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstring>
#include <memory>

namespace TextSheet {

namespace {

using WorkbookParts::Damaged;

bool validUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool isUtf16(const QByteArray& bytes) { return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"); }

// UTF-16 text (by its signature) as UTF-8; any other bytes as they are.
QByteArray fromUtf16(const QByteArray& bytes) {
    if (!isUtf16(bytes))
        return bytes;
    QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    const QString text = decoder.decode(bytes.mid(2));
    return text.toUtf8();
}

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return decoder.decode(bytes.mid(2));
    }
    if (validUtf8(bytes))
        return QString::fromUtf8(bytes);
    return Gb18030::decode(bytes);
}

// The separator the first line (outside quotes) uses more.
QChar separatorOf(const QString& text) {
    int commas = 0, tabs = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char('\t'))
            ++tabs;
    }
    return tabs > commas ? QLatin1Char('\t') : QLatin1Char(',');
}

QString collapsed(const xmlChar* content) {
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(content));
    text.replace(QChar(0x00A0), QLatin1Char(' ')); // &nbsp;
    return text.simplified();
}

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && node->name &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* firstTable(const xmlNode* node) {
    for (; node; node = node->next) {
        if (named(node, "table"))
            return node;
        if (const xmlNode* inside = firstTable(node->children))
            return inside;
    }
    return nullptr;
}

// The rows of a table: its own <tr>, also inside <thead>, <tbody>, <tfoot>,
// not those of tables within it.
void rowsOf(const xmlNode* node, QVector<const xmlNode*>& rows) {
    for (; node; node = node->next) {
        if (named(node, "tr"))
            rows << node;
        else if (node->type == XML_ELEMENT_NODE && !named(node, "table"))
            rowsOf(node->children, rows);
    }
}

int span(const xmlNode* cell, const char* attribute, int limit) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> value(xmlGetProp(cell, reinterpret_cast<const xmlChar*>(attribute)),
                                                      xmlFree);
    if (!value)
        return 1;
    const int n = QString::fromUtf8(reinterpret_cast<const char*>(value.get())).trimmed().toInt();
    return std::clamp(n, 1, limit);
}

} // namespace

bool looksLikeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true;
    return !bytes.left(1 << 16).contains('\0');
}

bool looksLikeHtml(const QByteArray& bytes) {
    const QByteArray head = fromUtf16(bytes.left(8192)).left(4096).toLower();
    const qsizetype first = head.indexOf('<');
    if (first < 0 || !head.left(first).replace("\xEF\xBB\xBF", "").trimmed().isEmpty())
        return false;
    return head.contains("<html") || head.contains("<table") || head.contains("<!doctype html");
}

Sheet readCsv(const QByteArray& bytes) {
    const QString text = decodeText(bytes);
    const QChar separator = separatorOf(text);
    Sheet sheet;
    int row = 0, column = 0;
    QString field;
    bool quoted = false, fieldStarted = false, lineHasContent = false;
    const auto endField = [&] {
        if (column >= Sheet::kMaxColumns || row >= Sheet::kMaxRows)
            throw Damaged();
        if (!field.isEmpty())
            sheet.setText(row, column, field);
        field.clear();
        fieldStarted = false;
        ++column;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = fieldStarted = lineHasContent = true;
        } else if (c == separator) {
            endField();
            lineHasContent = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            if (lineHasContent || !field.isEmpty())
                endField();
            field.clear();
            column = 0;
            ++row;
            lineHasContent = false;
        } else {
            field += c;
            fieldStarted = lineHasContent = true;
        }
    }
    if (lineHasContent || !field.isEmpty())
        endField();
    return sheet;
}

Sheet readHtml(const QByteArray& original) {
    // A page saved as UTF-16 (with its signature) is read as the same page
    // in UTF-8.
    const bool utf16 = isUtf16(original);
    const QByteArray bytes = utf16 ? fromUtf16(original) : original;
    if (bytes.size() > INT_MAX)
        throw Damaged();
    const QByteArray lower = bytes.left(4096).toLower();
    // A page that declares its encoding is read in it; libxml2 finds it.
    // One that declares GB2312 or GBK is read as GB18030, which holds both:
    // such pages carry characters beyond what they declare (喆, 镕, 䶮), and
    // the parser would stop at the first of them, losing every row after it.
    static const QRegularExpression declaration(
        QStringLiteral("(?:charset|encoding)\\s*=\\s*[\"']?([a-z0-9_.:-]+)"));
    const QRegularExpressionMatch m = declaration.match(QString::fromLatin1(lower));
    static const QStringList chinese{QStringLiteral("gb2312"), QStringLiteral("gbk"), QStringLiteral("gb18030"),
                                     QStringLiteral("x-gbk"), QStringLiteral("cp936"), QStringLiteral("euc-cn"),
                                     QStringLiteral("x-euc-cn"), QStringLiteral("windows-936")};
    const char* encoding = nullptr;
    if (utf16)
        encoding = "UTF-8";
    else if (!m.hasMatch())
        encoding = validUtf8(bytes) ? "UTF-8" : "GB18030";
    else if (chinese.contains(m.captured(1)))
        encoding = "GB18030";
    else if ((m.captured(1) == QLatin1String("utf-8") || m.captured(1) == QLatin1String("utf8")) && !validUtf8(bytes))
        encoding = "GB18030"; // saved in the system's Chinese encoding under a UTF-8 label
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadMemory(bytes.constData(), int(bytes.size()), nullptr, encoding,
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
        &xmlFreeDoc);
    if (!doc)
        throw Damaged();
    Sheet sheet;
    const xmlNode* table = firstTable(xmlDocGetRootElement(doc.get()));
    if (!table)
        return sheet;
    QVector<const xmlNode*> rows;
    rowsOf(table->children, rows);
    // Each column is covered by the cells above that span into it up to
    // (not including) this row: a span costs its width, not its area.
    QVector<int> coveredUntil;
    for (int r = 0; r < rows.size() && r < Sheet::kMaxRows; ++r) {
        int column = 0;
        for (const xmlNode* cell = rows[r]->children; cell; cell = cell->next) {
            if (!named(cell, "td") && !named(cell, "th"))
                continue;
            while (column < coveredUntil.size() && coveredUntil[column] > r)
                ++column;
            if (column >= Sheet::kMaxColumns)
                break;
            std::unique_ptr<xmlChar, decltype(xmlFree)> content(xmlNodeGetContent(cell), xmlFree);
            const QString text = content ? collapsed(content.get()) : QString();
            sheet.setText(r, column, text);
            const int across = std::min(span(cell, "colspan", 256), Sheet::kMaxColumns - column);
            const int down = span(cell, "rowspan", 1000);
            if (coveredUntil.size() < column + across)
                coveredUntil.resize(column + across, 0);
            for (int dc = 0; dc < across; ++dc)
                coveredUntil[column + dc] = std::max(coveredUntil[column + dc], r + down);
            column += across;
        }
    }
    return sheet;
}

} // namespace TextSheet
