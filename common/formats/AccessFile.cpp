#include "AccessFile.h"
#include "Database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUuid>
#include <QtEndian>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

// libmdb's header uses the glib types without including glib itself.
#include <glib.h>
#include <mdbtools.h>

namespace AccessFile {

namespace {

constexpr int kOffsetMask = 0x1fff; // row offsets carry flags in the top bits
constexpr qint64 kMsPerDay = 86400000;
constexpr double kFirstDay = -657434.0;    // 0100-01-01, the first date Jet accepts
constexpr double kPastLastDay = 2958466.0; // 10000-01-01

QString fileNameOf(const QString& path) {
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void fail(const QString& message, const QString& path) {
    throw DbError(message, QString(), path);
}

[[noreturn]] void failDamaged(const QString& path) {
    fail(QStringLiteral("数据库文件“%1”已损坏或格式不受支持，无法读取。").arg(fileNameOf(path)), path);
}

bool hasAccessHeader(QFile& file) {
    const QByteArray head = file.read(19);
    if (head.size() < 19)
        return false;
    const QByteArray magic = head.mid(4, 15);
    return magic == "Standard Jet DB" || magic == "Standard ACE DB";
}

quint32 le32(const unsigned char* p) {
    return qFromLittleEndian<quint32>(p);
}

// Single-precision values as the decimal number they show (1.1, not
// 1.100000023841858).
double shortestDouble(float value) {
    char digits[32];
    double result = value;
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    if (written.ec == std::errc())
        std::from_chars(digits, written.ptr, result);
    return result;
}

// Jet keeps a date as days since 1899-12-30 with the time of day as the
// fraction. Before that day the whole part is negative but the fraction still
// counts forward from midnight: -1.25 is 1899-12-29 06:00. Invalid for
// values Jet cannot hold.
QDateTime jetDateTime(double stored) {
    if (!std::isfinite(stored) || stored < kFirstDay || stored >= kPastLastDay)
        return {};
    const double whole = std::trunc(stored);
    qint64 ms = std::llround(std::fabs(stored - whole) * double(kMsPerDay));
    QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    if (ms >= kMsPerDay) { // rounded up to the next midnight
        date = date.addDays(1);
        ms -= kMsPerDay;
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

struct HandleCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

// A table of the file as the catalog lists it.
struct CatalogTable {
    QString name;
    MdbCatalogEntry entry; // what libmdb reads a table definition from
};

// One open file with its catalog read.
class File {
public:
    explicit File(const QString& path);

    const CatalogTable* userTable(const QString& name) const;
    QStringList userTableNames() const;
    Table read(const CatalogTable& table) const;

private:
    void setUpTextConversion();
    void readCatalog();
    TablePtr definition(MdbCatalogEntry* entry) const;
    template <typename Take> void scan(MdbTableDef* table, Take&& take) const;
    QString decoded(const char* bytes, qsizetype size) const;
    QString name(const char* buffer, size_t capacity) const;
    QString text(const unsigned char* raw, size_t size) const;
    QByteArray longValue(MdbColumn* column, const MdbField& field) const;
    QVariant value(MdbColumn* column, const MdbField& field) const;

    QString path_;
    qint64 size_ = 0;
    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
    QByteArray charset_;                                // what libmdb hands out texts in; empty for UTF-8
    std::vector<std::unique_ptr<CatalogTable>> tables_; // user tables only
};

File::File(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(QStringLiteral("数据库文件“%1”不存在。").arg(fileNameOf(path)), path);
    if (!info.isFile())
        fail(QStringLiteral("“%1”不是数据库文件。").arg(fileNameOf(path)), path);
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("无法打开数据库文件“%1”。").arg(fileNameOf(path)), path);
        if (!hasAccessHeader(file))
            fail(QStringLiteral("文件“%1”不是有效的数据库文件。").arg(fileNameOf(path)), path);
        size_ = file.size();
    }

    mdb_.reset(mdb_open(QFile::encodeName(info.absoluteFilePath()).constData(), MDB_NOFLAGS));
    if (!mdb_)
        failDamaged(path);
    // The engine writes whole pages only: anything else is a cut-off copy.
    if (mdb_->fmt->pg_size <= 0 || size_ % mdb_->fmt->pg_size != 0)
        failDamaged(path);
    setUpTextConversion();
    readCatalog();
}

void File::setUpTextConversion() {
    MdbHandle* mdb = mdb_.get();
    if (!IS_JET3(mdb)) {
        // Jet 4 and later store UTF-16. libmdb reads it as UCS-2, which turns
        // characters outside the BMP (rare name characters) into "??", and
        // converts into whatever MDBICONV names. Read it as UTF-16 into UTF-8.
        const iconv_t utf8 = iconv_open("UTF-8", "UTF-16LE");
        if (utf8 != iconv_t(-1)) {
            if (mdb->iconv_in != iconv_t(-1))
                iconv_close(mdb->iconv_in);
            mdb->iconv_in = utf8;
            return;
        }
    }
    // Jet 3 texts are in the file's code page, which libmdb knows; it hands
    // them out in its target character set.
    const QByteArray target(mdb_target_charset(mdb));
    const QByteArray upper = target.toUpper();
    if (upper != "UTF-8" && upper != "UTF8")
        charset_ = target;
}

QString File::decoded(const char* bytes, qsizetype size) const {
    if (!charset_.isEmpty()) {
        QStringDecoder decoder(charset_.constData());
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes, size));
    }
    return QString::fromUtf8(bytes, size);
}

QString File::name(const char* buffer, size_t capacity) const {
    return decoded(buffer, qsizetype(strnlen(buffer, capacity)));
}

QString File::text(const unsigned char* raw, size_t size) const {
    if (size == 0)
        return QStringLiteral("");
    // Four bytes out for each byte in cover every case (a compressed Jet 4
    // character gives at most two, a Jet 3 byte at most three), with room for
    // a byte order mark and the terminator.
    std::vector<char> out(size * 4 + 16);
    const int length =
        mdb_unicode2ascii(mdb_.get(), reinterpret_cast<const char*>(raw), size, out.data(), out.size() - 1);
    return decoded(out.data(), qBound(0, length, int(out.size() - 1)));
}

// A memo or OLE value: a 12-byte header in the row, the data inline or in a
// chain of rows on other pages.
QByteArray File::longValue(MdbColumn* column, const MdbField& field) const {
    MdbHandle* mdb = mdb_.get();
    if (field.siz < MDB_MEMO_OVERHEAD)
        return QByteArray();
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb->pg_buf + field.start, sizeof header);
    const qint64 declared = le32(header) & 0x3fffffff; // the top two bits say where the data lies
    if (declared > size_)
        failDamaged(path_);

    // libmdb copies each piece, at most a page, into the column's bound buffer.
    std::vector<char> piece(2 * MDB_PGSIZE);
    struct Binding {
        MdbColumn* column;
        ~Binding() { column->bind_ptr = nullptr; }
    } binding{column};
    column->bind_ptr = piece.data();
    column->cur_value_start = field.start;
    column->cur_value_len = field.siz;

    QByteArray value;
    size_t length = mdb_ole_read(mdb, column, header, piece.size());
    while (length > 0) {
        if (length > piece.size())
            failDamaged(path_);
        value.append(piece.data(), qsizetype(length));
        // A chain longer than the value it should hold loops back on itself.
        if (value.size() >= declared)
            break;
        length = mdb_ole_read_next(mdb, column, header);
    }
    if (value.size() > declared)
        value.truncate(qsizetype(declared));
    return value;
}

QVariant File::value(MdbColumn* column, const MdbField& field) const {
    MdbHandle* mdb = mdb_.get();
    // A yes/no column keeps its value in the row's null mask.
    if (column->col_type == MDB_BOOL)
        return QVariant(!field.is_null);
    if (field.is_null)
        return QVariant();
    if (field.start < 0 || field.siz < 0 || field.start + field.siz > mdb->fmt->pg_size)
        failDamaged(path_);
    const unsigned char* p = mdb->pg_buf + field.start;
    const auto size = size_t(field.siz);
    const auto need = [&](size_t bytes) {
        if (size < bytes)
            failDamaged(path_);
    };

    switch (column->col_type) {
    case MDB_BYTE:
        need(1);
        return qlonglong(p[0]);
    case MDB_INT:
        need(2);
        return qlonglong(qFromLittleEndian<qint16>(p));
    case MDB_LONGINT:
    case MDB_COMPLEX:
        need(4);
        return qlonglong(qFromLittleEndian<qint32>(p));
    case MDB_MONEY: // ten-thousandths as a 64-bit integer
        need(8);
        return double(qFromLittleEndian<qint64>(p)) / 10000.0;
    case MDB_FLOAT: {
        need(4);
        const quint32 bits = qFromLittleEndian<quint32>(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return shortestDouble(f);
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
        need(8);
        const quint64 bits = qFromLittleEndian<quint64>(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (column->col_type == MDB_DOUBLE)
            return d;
        const QDateTime dateTime = jetDateTime(d);
        if (!dateTime.isValid())
            failDamaged(path_);
        return dateTime;
    }
    case MDB_NUMERIC: {
        need(17); // sign byte and a 128-bit integer, scaled by the column
        std::unique_ptr<char, decltype(&g_free)> digits(
            mdb_numeric_to_string(mdb, field.start, column->col_scale, column->col_prec), &g_free);
        bool ok = false;
        const double d = digits ? QByteArray(digits.get()).toDouble(&ok) : 0.0;
        if (!ok)
            failDamaged(path_);
        return d;
    }
    case MDB_TEXT:
        return text(p, size);
    case MDB_MEMO: {
        const QByteArray raw = longValue(column, field);
        return text(reinterpret_cast<const unsigned char*>(raw.constData()), size_t(raw.size()));
    }
    case MDB_OLE:
        return longValue(column, field);
    case MDB_REPID: // replication ID, shown as Access shows it
        need(16);
        return QUuid(qFromLittleEndian<quint32>(p), qFromLittleEndian<quint16>(p + 4),
                     qFromLittleEndian<quint16>(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15])
            .toString(QUuid::WithBraces)
            .toUpper();
    default: // binary and anything newer: the bytes as stored
        return QByteArray(reinterpret_cast<const char*>(p), qsizetype(size));
    }
}

// The catalog is the table MSysObjects, whose definition is always on page
// 2. libmdb's own catalog reader also parses every object's properties, and
// loops for ever on some damaged ones; only four columns are needed here.
void File::readCatalog() {
    MdbCatalogEntry objects{};
    objects.mdb = mdb_.get();
    objects.object_type = MDB_TABLE;
    objects.table_pg = 2;
    std::strcpy(objects.object_name, "MSysObjects");
    const TablePtr table = definition(&objects);

    int id = -1, type = -1, flags = -1, objectName = -1;
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
        const QByteArray columnName(column->name, qsizetype(strnlen(column->name, sizeof column->name)));
        int* slot = columnName == "Id"      ? &id
                    : columnName == "Type"  ? &type
                    : columnName == "Flags" ? &flags
                    : columnName == "Name"  ? &objectName
                                            : nullptr;
        if (slot)
            *slot = int(i);
    }
    if (id < 0 || type < 0 || flags < 0 || objectName < 0)
        failDamaged(path_);
    const auto column = [&](int index) {
        return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, index));
    };

    scan(table.get(), [&](const std::vector<MdbField>& fields) {
        const qlonglong objectType = value(column(type), fields[size_t(type)]).toLongLong();
        const auto objectFlags = quint32(value(column(flags), fields[size_t(flags)]).toLongLong());
        const QString tableName = value(column(objectName), fields[size_t(objectName)]).toString();
        // Tables of this file, not the engine's own (flagged, and named MSys*).
        if ((objectType & 0x7f) != MDB_TABLE || (objectFlags & 0x80000002u) != 0 ||
            tableName.startsWith(QLatin1String("MSys"), Qt::CaseInsensitive))
            return;
        auto found = std::make_unique<CatalogTable>();
        found->name = tableName;
        found->entry = MdbCatalogEntry{};
        found->entry.mdb = mdb_.get();
        found->entry.object_type = MDB_TABLE;
        found->entry.table_pg = quint32(value(column(id), fields[size_t(id)]).toLongLong()) & 0x00ffffff;
        found->entry.flags = int(objectFlags);
        const QByteArray utf8 = tableName.toUtf8().left(MDB_MAX_OBJ_NAME);
        std::memcpy(found->entry.object_name, utf8.constData(), size_t(utf8.size()));
        tables_.push_back(std::move(found));
    });
}

TablePtr File::definition(MdbCatalogEntry* entry) const {
    TablePtr table(mdb_read_table(entry));
    if (!table || !mdb_read_columns(table.get()))
        failDamaged(path_);
    // libmdb finds the table's pages through its usage map and reads it
    // without looking whether there is one.
    if (!table->usage_map || table->map_sz < 1)
        failDamaged(path_);
    return table;
}

// Calls take(fields) for each row in stored order, the fields by column.
// libmdb's bound values cannot tell a null from an empty text and cut long
// ones short, so each row is taken apart again and converted here.
template <typename Take> void File::scan(MdbTableDef* table, Take&& take) const {
    MdbHandle* mdb = mdb_.get();
    const unsigned int columnCount = table->num_cols;
    std::vector<MdbField> cracked(std::max(columnCount, 1u));
    std::vector<MdbField> fields(columnCount);
    qint64 rows = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        int start = 0;
        size_t size = 0;
        if (table->cur_row == 0 || mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0)
            failDamaged(path_);
        const int count = mdb_crack_row(table, start & kOffsetMask, size, cracked.data());
        if (count < 0)
            failDamaged(path_);
        for (MdbField& field : fields) {
            field = MdbField{};
            field.is_null = 1; // not in this row: missing, or "no"
        }
        for (int i = 0; i < std::min(count, int(columnCount)); ++i) {
            const MdbField& field = cracked[size_t(i)];
            if (field.colnum < 0 || field.colnum >= int(columnCount))
                failDamaged(path_);
            fields[size_t(field.colnum)] = field;
        }
        take(fields);
        ++rows;
    }
    // The table definition counts the rows; fewer means pages are missing.
    if (rows < qint64(table->num_rows))
        failDamaged(path_);
}

const CatalogTable* File::userTable(const QString& wanted) const {
    for (const auto& table : tables_) {
        if (table->name.compare(wanted, Qt::CaseInsensitive) == 0)
            return table.get();
    }
    return nullptr;
}

QStringList File::userTableNames() const {
    QStringList names;
    for (const auto& table : tables_)
        names << table->name;
    return names;
}

Table File::read(const CatalogTable& catalogTable) const {
    const TablePtr table = definition(const_cast<MdbCatalogEntry*>(&catalogTable.entry));
    Table result;
    std::vector<MdbColumn*> columns(table->num_cols);
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        columns[i] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        result.columns << name(columns[i]->name, sizeof columns[i]->name);
    }
    scan(table.get(), [&](const std::vector<MdbField>& fields) {
        QVector<QVariant> row;
        row.reserve(qsizetype(fields.size()));
        for (size_t i = 0; i < fields.size(); ++i)
            row << value(columns[i], fields[i]);
        result.rows << row;
    });
    return result;
}

} // namespace

bool isAccessFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return false; // a pipe would keep the open waiting for a writer
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return hasAccessHeader(file);
}

QStringList tableNames(const QString& path) {
    return File(path).userTableNames();
}

Table readTable(const QString& path, const QString& table) {
    const File file(path);
    const CatalogTable* found = file.userTable(table);
    if (!found)
        fail(QStringLiteral("数据库文件“%1”中没有表“%2”。").arg(fileNameOf(path), table), path);
    return file.read(*found);
}

} // namespace AccessFile
