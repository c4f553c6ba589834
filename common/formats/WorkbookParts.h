#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// Pieces the workbook readers share: the zip container of .xlsx and .ods
// files (through libgsf) and a forward-only XML reader (through libxml2).
// Anything that does not fit throws WorkbookParts::Damaged; SheetReader turns
// it into the user's message naming the file.
namespace WorkbookParts {

struct Damaged {};

// The parts of a zip file held in memory (the bytes must outlive it).
class Zip {
public:
    // Throws Damaged when `bytes` is no readable zip file.
    explicit Zip(const QByteArray& bytes);
    ~Zip();
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    // The part at `name` ("xl/workbook.xml"), or nothing when the file has
    // none. A part that cannot be read, or that would unpack to more than
    // `limit` bytes, throws Damaged.
    std::optional<QByteArray> part(const QString& name, qint64 limit = qint64(1) << 28) const;

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

// Walks an XML document node by node. Entities are not expanded beyond the
// five predefined ones, and nothing is fetched from the network.
class Xml {
public:
    explicit Xml(const QByteArray& document);
    ~Xml();
    Xml(const Xml&) = delete;
    Xml& operator=(const Xml&) = delete;

    // Moves to the next node; false at the end. Malformed XML throws Damaged.
    bool next();
    bool isStart() const;    // an element's start (also of an empty element)
    bool isEnd() const;      // an element's end (never for an empty element)
    bool isEmpty() const;    // the element started is empty (<a/>)
    bool isText() const;     // text, CDATA or whitespace inside an element
    bool is(const char* localName) const; // the element's local name
    int depth() const;
    // The value of the attribute with this local name (any prefix), or a
    // null QString. Only at an element's start.
    QString attribute(const char* localName) const;
    QString text() const; // the text of a text node

private:
    void* reader_;
    int type_ = 0;
};

} // namespace WorkbookParts
