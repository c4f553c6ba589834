#include "DatabaseContent.h"
#include "Database.h"
#include "FileProtection.h"
#include "Query.h"

#include <memory>

namespace {

QByteArray contentOfPlain(const QString& path) {
    QByteArray out;
    Query tables;
    tables.setDatabasePath(path);
    tables.setSql(QStringLiteral("select name from sqlite_master where type='table' order by name"));
    tables.open();
    for (int t = 0; t < tables.recordCount(); ++t) {
        const QString name = Query::textOf(tables.value(t, 0));
        out += "table " + name.toUtf8() + '\n';
        Query rows;
        rows.setDatabasePath(path);
        rows.setSql(QStringLiteral("select * from \"%1\" order by rowid").arg(name));
        rows.open();
        for (int r = 0; r < rows.recordCount(); ++r) {
            for (const QVariant& v : rows.row(r)) {
                if (!v.isValid())
                    out += "null";
                else if (v.typeId() == QMetaType::QByteArray)
                    out += "x'" + v.toByteArray().toHex() + '\'';
                else
                    out += QByteArray(v.typeName()) + ':' + v.toString().toUtf8();
                out += '|';
            }
            out += '\n';
        }
    }
    return out;
}

} // namespace

QByteArray databaseContent(const QString& path) {
    try {
        if (FileProtection::formOf(path) == FileProtection::Form::Protected) {
            const FileProtection::PrivateCopy copy(path);
            return contentOfPlain(copy.path());
        }
        return contentOfPlain(path);
    } catch (const DeskError&) {
        return QByteArray();
    }
}
