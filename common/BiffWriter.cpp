#include "BiffWriter.h"
#include "DeskError.h"

namespace BiffWriter {

void writeWorkbook(const QString& path, const QString&, const QStringList&, const QVector<QVector<QVariant>>&) {
    throw DeskError(QStringLiteral("无法写入工作簿“%1”。").arg(path));
}

} // namespace BiffWriter
