#include "PdfTextMap.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace PdfTextMap {

namespace {

struct Token {
    QByteArray text;
    qsizetype at = 0; // where it starts
};

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }
bool isDelimiter(char c) { return c == '<' || c == '>' || c == '[' || c == ']' || c == '%' || c == '(' || c == ')' || c == '/'; }

// PostScript tokens of a CMap: <hex>, [, ], names and words; comments skipped.
QList<Token> tokenize(const QByteArray& text) {
    QList<Token> tokens;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char c = text.at(i);
        if (isSpace(c)) {
            ++i;
        } else if (c == '%') {
            while (i < n && text.at(i) != '\n' && text.at(i) != '\r')
                ++i;
        } else if (c == '<' && i + 1 < n && text.at(i + 1) != '<') {
            const qsizetype end = text.indexOf('>', i);
            if (end < 0)
                break;
            tokens.append({text.mid(i, end - i + 1), i});
            i = end + 1;
        } else if (c == '[' || c == ']') {
            tokens.append({QByteArray(1, c), i});
            ++i;
        } else {
            qsizetype end = i + 1;
            while (end < n && !isSpace(text.at(end)) && !isDelimiter(text.at(end)))
                ++end;
            tokens.append({text.mid(i, end - i), i});
            i = end;
        }
    }
    return tokens;
}

bool isHex(const QByteArray& token) { return token.size() >= 2 && token.startsWith('<') && token.endsWith('>'); }

QByteArray hexDigits(const QByteArray& token) {
    QByteArray digits;
    for (char c : token.mid(1, token.size() - 2)) {
        if (!isSpace(c))
            digits.append(c);
    }
    return digits;
}

QByteArray hex4(quint32 value) { return QByteArray::number(value, 16).rightJustified(4, '0').toUpper(); }

// A destination of the map: UTF-16 code units.
using Units = QList<quint16>;

bool unitsOf(const QByteArray& token, Units& units) {
    const QByteArray digits = hexDigits(token);
    if (digits.isEmpty() || digits.size() % 4 != 0)
        return false;
    units.clear();
    for (qsizetype i = 0; i < digits.size(); i += 4) {
        bool ok = false;
        units.append(quint16(digits.mid(i, 4).toUInt(&ok, 16)));
        if (!ok)
            return false;
    }
    return true;
}

struct Entry {
    quint32 code;
    int codeDigits;
    Units units;
};

} // namespace

QByteArray correctedCMap(const QByteArray& cmap, const Corrections& corrections, bool* changed) {
    *changed = false;
    const QList<Token> tokens = tokenize(cmap);
    QList<Entry> entries;
    qsizetype sectionsFrom = -1;
    qsizetype sectionsTo = -1;
    auto code = [](const Token& t, bool* ok) {
        *ok = isHex(t.text);
        return *ok ? hexDigits(t.text).toUInt(ok, 16) : 0u;
    };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QByteArray& word = tokens[i].text;
        if (word == "beginbfrange" || word == "beginbfchar") {
            if (sectionsFrom < 0) {
                bool number = false;
                if (i > 0)
                    tokens[i - 1].text.toInt(&number);
                sectionsFrom = number ? tokens[i - 1].at : tokens[i].at;
            }
            const bool ranges = word == "beginbfrange";
            const QByteArray end = ranges ? "endbfrange" : "endbfchar";
            ++i;
            while (i < tokens.size() && tokens[i].text != end) {
                bool ok = false;
                const quint32 low = code(tokens[i], &ok);
                if (!ok)
                    return cmap;
                const int digits = int(hexDigits(tokens[i].text).size());
                if (!ranges) {
                    Units units;
                    if (i + 1 >= tokens.size() || !unitsOf(tokens[i + 1].text, units))
                        return cmap;
                    entries.append({low, digits, units});
                    i += 2;
                    continue;
                }
                if (i + 2 >= tokens.size())
                    return cmap;
                const quint32 high = code(tokens[i + 1], &ok);
                if (!ok || high < low || high - low > 0xFFFF)
                    return cmap;
                if (tokens[i + 2].text == "[") {
                    i += 3;
                    for (quint64 c = low; c <= high; ++c, ++i) {
                        Units units;
                        if (i >= tokens.size() || !unitsOf(tokens[i].text, units))
                            return cmap;
                        entries.append({quint32(c), digits, units});
                    }
                    if (i >= tokens.size() || tokens[i].text != "]")
                        return cmap;
                    ++i;
                } else {
                    Units units;
                    if (!unitsOf(tokens[i + 2].text, units))
                        return cmap;
                    for (quint64 c = low; c <= high; ++c) {
                        entries.append({quint32(c), digits, units});
                        ++units.back(); // the last unit counts up along a range
                    }
                    i += 3;
                }
            }
        } else if (word == "endcmap") {
            sectionsTo = tokens[i].at;
            break;
        }
    }
    if (sectionsFrom < 0 || sectionsTo < sectionsFrom)
        return cmap;

    for (Entry& e : entries) {
        if (e.units.size() != 1)
            continue;
        const auto found = corrections.constFind(char32_t(e.units.front()));
        if (found == corrections.constEnd() || *found > 0xFFFF || *found == e.units.front())
            continue;
        e.units.front() = quint16(*found);
        *changed = true;
    }
    if (!*changed)
        return cmap;

    // Written anew as single mappings, at most 100 to a section.
    QByteArray out = cmap.left(sectionsFrom);
    for (qsizetype from = 0; from < entries.size(); from += 100) {
        const qsizetype count = std::min<qsizetype>(100, entries.size() - from);
        out += QByteArray::number(count) + " beginbfchar\n";
        for (qsizetype k = from; k < from + count; ++k) {
            const Entry& e = entries[k];
            out += '<' + QByteArray::number(e.code, 16).rightJustified(e.codeDigits, '0').toUpper() + "> <";
            for (quint16 unit : e.units)
                out += hex4(unit);
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out += cmap.mid(sectionsTo);
    return out;
}

namespace {

struct XrefEntry {
    quint32 number;
    qint64 offset;
    int generation;
    bool inUse;
};

struct Xref {
    QList<QPair<quint32, quint32>> sections; // first object number, count
    QList<XrefEntry> entries;
    QByteArray trailer; // from "trailer" to before "startxref"
};

bool parseXref(const QByteArray& text, Xref& xref) {
    const QList<Token> tokens = tokenize(text);
    if (tokens.isEmpty() || tokens[0].text != "xref")
        return false;
    qsizetype i = 1;
    while (i < tokens.size() && tokens[i].text != "trailer") {
        bool ok1 = false, ok2 = false;
        const quint32 first = tokens[i].text.toUInt(&ok1);
        const quint32 count = i + 1 < tokens.size() ? tokens[i + 1].text.toUInt(&ok2) : 0;
        if (!ok1 || !ok2 || i + 2 + qsizetype(count) * 3 > tokens.size())
            return false;
        xref.sections.append({first, count});
        i += 2;
        for (quint32 k = 0; k < count; ++k, i += 3) {
            bool okOffset = false, okGeneration = false;
            XrefEntry e;
            e.number = first + k;
            e.offset = tokens[i].text.toLongLong(&okOffset);
            e.generation = tokens[i + 1].text.toInt(&okGeneration);
            e.inUse = tokens[i + 2].text == "n";
            if (!okOffset || !okGeneration || (!e.inUse && tokens[i + 2].text != "f"))
                return false;
            xref.entries.append(e);
        }
    }
    if (i >= tokens.size())
        return false;
    const qsizetype trailerAt = tokens[i].at;
    const qsizetype startAt = text.indexOf("startxref", trailerAt);
    if (startAt < 0)
        return false;
    xref.trailer = text.mid(trailerAt, startAt - trailerAt);
    return true;
}

// The new bytes of a text-map stream object, or empty when it stays.
QByteArray correctedObject(quint32 number, const QByteArray& object, const Corrections& corrections) {
    const qsizetype streamAt = object.indexOf("stream");
    if (streamAt < 0)
        return {};
    const QByteArray dictionary = object.left(streamAt);
    if (dictionary.contains("/Filter") || dictionary.contains("/DecodeParms"))
        return {};
    static const QRegularExpression lengthPattern(QStringLiteral("/Length\\s+(\\d+)(\\s+\\d+\\s+R)?"));
    const QRegularExpressionMatch length = lengthPattern.match(QString::fromLatin1(dictionary));
    if (!length.hasMatch() || length.capturedLength(2) > 0)
        return {};
    qsizetype dataAt = streamAt + 6;
    if (dataAt < object.size() && object.at(dataAt) == '\r')
        ++dataAt;
    if (dataAt < object.size() && object.at(dataAt) == '\n')
        ++dataAt;
    const qsizetype size = length.captured(1).toLongLong();
    if (dataAt + size > object.size())
        return {};
    bool changed = false;
    const QByteArray cmap = correctedCMap(object.mid(dataAt, size), corrections, &changed);
    if (!changed)
        return {};
    return QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(cmap.size()) + " >>\nstream\n" +
           cmap + "\nendstream\nendobj\n";
}

} // namespace

Patch patch(const Reader& read, qint64 size, const Corrections& corrections) {
    if (corrections.isEmpty() || size <= 0)
        return {};
    const qint64 lastFrom = std::max<qint64>(0, size - 1024);
    const QByteArray last = read(lastFrom, size - lastFrom);
    const qsizetype startAt = last.lastIndexOf("startxref");
    if (startAt < 0)
        return {};
    const QList<Token> after = tokenize(last.mid(startAt + 9));
    bool ok = false;
    const qint64 xrefAt = after.isEmpty() ? -1 : after[0].text.toLongLong(&ok);
    if (!ok || xrefAt <= 0 || xrefAt >= size)
        return {};
    Xref xref;
    if (!parseXref(read(xrefAt, size - xrefAt), xref))
        return {};

    // The objects in file order, each up to the next one.
    QList<XrefEntry> objects;
    for (const XrefEntry& e : xref.entries) {
        if (e.inUse && e.offset > 0 && e.offset < xrefAt)
            objects.append(e);
    }
    std::sort(objects.begin(), objects.end(), [](const XrefEntry& a, const XrefEntry& b) { return a.offset < b.offset; });
    auto endOf = [&](qsizetype k) { return k + 1 < objects.size() ? objects[k + 1].offset : xrefAt; };
    QHash<quint32, qsizetype> indexOf;
    for (qsizetype k = 0; k < objects.size(); ++k)
        indexOf.insert(objects[k].number, k);

    // Fonts name their text maps: /ToUnicode n 0 R in a dictionary.
    static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode\\s+(\\d+)\\s+\\d+\\s+R"));
    QHash<qsizetype, QByteArray> replaced;
    qint64 from = -1;
    for (qsizetype k = 0; k < objects.size(); ++k) {
        const QByteArray head = read(objects[k].offset, std::min<qint64>(1024, endOf(k) - objects[k].offset));
        const qsizetype at = head.indexOf("/ToUnicode");
        if (at < 0)
            continue;
        const qsizetype stream = head.indexOf("stream");
        if (stream >= 0 && stream < at)
            continue;
        const QRegularExpressionMatch ref = toUnicode.match(QString::fromLatin1(head));
        if (!ref.hasMatch())
            continue;
        const auto target = indexOf.constFind(ref.captured(1).toUInt());
        if (target == indexOf.constEnd() || replaced.contains(*target))
            continue;
        const XrefEntry& map = objects[*target];
        const QByteArray object = correctedObject(map.number, read(map.offset, endOf(*target) - map.offset), corrections);
        if (object.isEmpty())
            continue;
        replaced.insert(*target, object);
        from = from < 0 ? map.offset : std::min(from, map.offset);
    }
    if (from < 0)
        return {};

    Patch result;
    result.from = from;
    QHash<quint32, qint64> moved;
    for (qsizetype k = 0; k < objects.size(); ++k) {
        if (objects[k].offset < from)
            continue;
        moved.insert(objects[k].number, from + result.tail.size());
        const auto found = replaced.constFind(k);
        result.tail += found != replaced.constEnd() ? *found : read(objects[k].offset, endOf(k) - objects[k].offset);
    }
    const qint64 newXref = from + result.tail.size();
    QByteArray table = "xref\n";
    qsizetype at = 0;
    for (const auto& section : xref.sections) {
        table += QByteArray::number(section.first) + ' ' + QByteArray::number(section.second) + '\n';
        for (quint32 k = 0; k < section.second; ++k, ++at) {
            const XrefEntry& e = xref.entries[at];
            const qint64 offset = moved.value(e.number, e.offset);
            table += QByteArray::number(offset).rightJustified(10, '0') + ' ' +
                     QByteArray::number(e.generation).rightJustified(5, '0') + (e.inUse ? " n \n" : " f \n");
        }
    }
    result.tail += table + xref.trailer + "startxref\n" + QByteArray::number(newXref) + "\n%%EOF\n";
    return result;
}

} // namespace PdfTextMap
