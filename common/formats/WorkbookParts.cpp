#include "WorkbookParts.h"

#include <QStringList>

#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>
#include <libxml/xmlreader.h>

#include <climits>
#include <cstring>
#include <vector>

namespace WorkbookParts {

namespace {

struct Unref {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};

void forget(GError* error) {
    if (error)
        g_error_free(error);
}

// libxml2 reports errors to stderr unless told otherwise; the reader's
// return codes say everything needed.
void quiet(void*, xmlErrorPtr) {}

// Whether the package lists the entry `names` (null-terminated pieces of
// its path), whether or not the entry can be read.
bool listed(GsfInfile* zip, const char* const* names) {
    GsfInfile* folder = zip;
    std::unique_ptr<GsfInput, Unref> held;
    for (; *names; ++names) {
        bool found = false;
        for (int k = 0, n = gsf_infile_num_children(folder); k < n && !found; ++k) {
            const char* name = gsf_infile_name_by_index(folder, k);
            found = name && std::strcmp(name, *names) == 0;
        }
        if (!found)
            return false;
        if (!names[1])
            return true;
        GsfInput* child = gsf_infile_child_by_name(folder, *names);
        if (!child || !GSF_IS_INFILE(child)) {
            if (child)
                g_object_unref(child);
            return true; // listed, but no folder that can be opened
        }
        held.reset(child);
        folder = GSF_INFILE(child);
    }
    return false;
}

} // namespace

struct Zip::Handles {
    std::unique_ptr<GsfInput, Unref> input;
    std::unique_ptr<GsfInfile, Unref> zip;
};

Zip::Zip(const QByteArray& bytes) : handles_(std::make_unique<Handles>()) {
    static const bool gsfReady = (gsf_init(), true);
    Q_UNUSED(gsfReady);
    handles_->input.reset(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.constData()),
                                               gsf_off_t(bytes.size()), FALSE));
    if (!handles_->input)
        throw Damaged();
    GError* error = nullptr;
    handles_->zip.reset(gsf_infile_zip_new(handles_->input.get(), &error));
    forget(error);
    if (!handles_->zip)
        throw Damaged();
}

Zip::~Zip() = default;

std::optional<QByteArray> Zip::part(const QString& name, qint64 limit) const {
    const QStringList pieces = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    std::vector<QByteArray> utf8;
    std::vector<const char*> names;
    for (const QString& piece : pieces)
        utf8.push_back(piece.toUtf8());
    for (const QByteArray& piece : utf8)
        names.push_back(piece.constData());
    names.push_back(nullptr);
    std::unique_ptr<GsfInput, Unref> part(gsf_infile_child_by_aname(handles_->zip.get(), names.data()));
    if (!part) {
        // A part that is there but cannot be read is damage, never a part
        // the file does without (styles read as absent would show dates as
        // plain numbers).
        if (listed(handles_->zip.get(), names.data()))
            throw Damaged();
        return std::nullopt;
    }
    if (GSF_IS_INFILE(part.get()) && gsf_infile_num_children(GSF_INFILE(part.get())) >= 0)
        return std::nullopt; // a folder
    const gsf_off_t size = gsf_input_size(part.get());
    if (size < 0 || size > limit)
        throw Damaged();
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    if (size > 0 && !gsf_input_read(part.get(), size_t(size), reinterpret_cast<guint8*>(bytes.data())))
        throw Damaged();
    return bytes;
}

Xml::Xml(const QByteArray& document) {
    if (document.size() > INT_MAX)
        throw Damaged();
    reader_ = xmlReaderForMemory(document.constData(), int(document.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA);
    if (!reader_)
        throw Damaged();
    xmlTextReaderSetStructuredErrorHandler(static_cast<xmlTextReaderPtr>(reader_), quiet, nullptr);
}

Xml::~Xml() {
    if (reader_)
        xmlFreeTextReader(static_cast<xmlTextReaderPtr>(reader_));
}

bool Xml::next() {
    const int result = xmlTextReaderRead(static_cast<xmlTextReaderPtr>(reader_));
    if (result < 0)
        throw Damaged();
    if (result == 0) {
        type_ = 0;
        return false;
    }
    type_ = xmlTextReaderNodeType(static_cast<xmlTextReaderPtr>(reader_));
    return true;
}

bool Xml::isStart() const { return type_ == XML_READER_TYPE_ELEMENT; }
bool Xml::isEnd() const { return type_ == XML_READER_TYPE_END_ELEMENT; }
bool Xml::isEmpty() const {
    return isStart() && xmlTextReaderIsEmptyElement(static_cast<xmlTextReaderPtr>(reader_)) == 1;
}
bool Xml::isText() const {
    return type_ == XML_READER_TYPE_TEXT || type_ == XML_READER_TYPE_CDATA ||
           type_ == XML_READER_TYPE_SIGNIFICANT_WHITESPACE || type_ == XML_READER_TYPE_WHITESPACE;
}

bool Xml::is(const char* localName) const {
    const xmlChar* name = xmlTextReaderConstLocalName(static_cast<xmlTextReaderPtr>(reader_));
    return name && std::strcmp(reinterpret_cast<const char*>(name), localName) == 0;
}

int Xml::depth() const { return xmlTextReaderDepth(static_cast<xmlTextReaderPtr>(reader_)); }

QString Xml::attribute(const char* localName) const {
    auto* reader = static_cast<xmlTextReaderPtr>(reader_);
    QString value;
    if (xmlTextReaderMoveToFirstAttribute(reader) != 1)
        return value;
    do {
        const xmlChar* name = xmlTextReaderConstLocalName(reader);
        if (name && std::strcmp(reinterpret_cast<const char*>(name), localName) == 0) {
            const xmlChar* v = xmlTextReaderConstValue(reader);
            value = v ? QString::fromUtf8(reinterpret_cast<const char*>(v)) : QStringLiteral("");
            break;
        }
    } while (xmlTextReaderMoveToNextAttribute(reader) == 1);
    xmlTextReaderMoveToElement(reader);
    return value;
}

QString Xml::text() const {
    const xmlChar* v = xmlTextReaderConstValue(static_cast<xmlTextReaderPtr>(reader_));
    return v ? QString::fromUtf8(reinterpret_cast<const char*>(v)) : QString();
}

} // namespace WorkbookParts
