#include "AccessFile.h"
#include "Database.h"

namespace AccessFile {

bool isAccessFile(const QString&) { return false; }

QStringList tableNames(const QString&) { return {}; }

Table readTable(const QString& path, const QString&) {
    throw DbError(QStringLiteral("无法读取数据库文件“%1”。").arg(path), QString(), path);
}

} // namespace AccessFile
