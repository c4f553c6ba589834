#include "DbaseFile.h"
#include "Database.h"
#include "Text.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include <shapefil.h>

namespace DbaseFile {

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// shapelib reports problems through a hook; the last one is kept for the
// message instead of going to stderr.
thread_local QString lastProblem;
void keepProblem(const char* message) { lastProblem = QString::fromLocal8Bit(message); }

// shapelib opens "<name>.dbf" (or ".DBF") and looks for a "<name>.cpg" code
// page file beside it. The file chosen is opened whatever its extension, and
// no code page file is wanted: texts are GB18030.
thread_local QByteArray openingPath;
SAFile openChosen(const char* name, const char* access) {
    const QByteArray requested(name);
    if (requested.toLower().endsWith(".cpg"))
        return nullptr;
    return reinterpret_cast<SAFile>(std::fopen(openingPath.constData(), access));
}

struct Closer {
    void operator()(DBFInfo* handle) const { DBFClose(handle); }
};

QVariant numberOf(const QByteArray& text, int decimals) {
    bool ok = false;
    if (decimals == 0) {
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return whole;
    }
    const double value = text.toDouble(&ok);
    return ok ? QVariant(value) : QVariant(Gb18030::decode(text));
}

QVariant valueOf(DBFHandle handle, int record, int field, char type, int decimals) {
    if (DBFIsAttributeNULL(handle, record, field))
        return QVariant();
    // shapelib gives the field's bytes without leading and trailing blanks.
    const QByteArray text(DBFReadStringAttribute(handle, record, field));
    if (text.isEmpty())
        return QVariant();
    switch (type) {
    case 'N':
    case 'F':
        return numberOf(text, decimals);
    case 'L':
        return QVariant(text == "T" || text == "t" || text == "Y" || text == "y");
    case 'D': {
        const QDate date = QDate::fromString(QString::fromLatin1(text), QStringLiteral("yyyyMMdd"));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    default:
        return Gb18030::decode(text);
    }
}

} // namespace

Table read(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("dBase文件“%1”不存在。").arg(shown(path)), QString(), path);
    if (!info.isFile()) // a pipe, a device, a folder
        throw DbError(QStringLiteral("无法读取dBase文件“%1”，它已损坏或不是dBase文件。").arg(shown(path)), QString(), path);

    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = keepProblem;
    hooks.FOpen = openChosen;
    lastProblem.clear();
    openingPath = QFile::encodeName(path);
    const std::unique_ptr<DBFInfo, Closer> handle(DBFOpenLL(openingPath.constData(), "rb", &hooks));
    if (!handle)
        throw DbError(QStringLiteral("无法读取dBase文件“%1”，它已损坏或不是dBase文件。").arg(shown(path)), lastProblem,
                      path);

    Table table;
    const int fields = DBFGetFieldCount(handle.get());
    std::vector<char> types(size_t(qMax(fields, 0)));
    std::vector<int> decimals(types.size());
    for (int f = 0; f < fields; ++f) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0;
        DBFGetFieldInfo(handle.get(), f, name, &width, &decimals[size_t(f)]);
        types[size_t(f)] = DBFGetNativeFieldType(handle.get(), f);
        table.columns << Gb18030::decode(QByteArray(name)).trimmed();
    }

    // The header's record count is checked against what the file holds
    // before anything is set aside for the records.
    const int records = DBFGetRecordCount(handle.get());
    const qint64 recordLength = handle->nRecordLength;
    const qint64 room = recordLength > 0 ? (info.size() - handle->nHeaderLength) / recordLength : 0;
    if (records < 0 || recordLength <= 0 || qint64(records) > std::max<qint64>(room, 0))
        throw DbError(QStringLiteral("dBase文件“%1”不完整：文件头记载了%2条记录，文件中只有%3条的位置，它可能已损坏或没有复制完整。")
                          .arg(shown(path))
                          .arg(records)
                          .arg(std::max<qint64>(room, 0)),
                      lastProblem, path);
    table.rows.reserve(records);
    for (int r = 0; r < records; ++r) {
        if (DBFIsRecordDeleted(handle.get(), r))
            continue;
        QVector<QVariant> row;
        row.reserve(fields);
        for (int f = 0; f < fields; ++f)
            row << valueOf(handle.get(), r, f, types[size_t(f)], decimals[size_t(f)]);
        if (!lastProblem.isEmpty()) // a record that could not be read
            throw DbError(QStringLiteral("dBase文件“%1”的第%2条记录无法读取，文件可能已损坏。")
                              .arg(shown(path))
                              .arg(r + 1),
                          lastProblem, path);
        table.rows << row;
    }
    return table;
}

} // namespace DbaseFile
