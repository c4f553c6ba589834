#include "EngineProblem.h"

#include <QRegularExpression>
#include <initializer_list>

namespace {

bool hasAny(const QString& text, std::initializer_list<const char*> words) {
    for (const char* word : words)
        if (text.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString engineProblem(const QString& engineText) {
    if (hasAny(engineText, {"disk is full", "database is full"}))
        return QStringLiteral("磁盘已满");
    if (hasAny(engineText, {"disk I/O error"}))
        return QStringLiteral("磁盘读写错误");
    if (hasAny(engineText, {"not a database", "file is encrypted"}))
        return QStringLiteral("不是有效的数据库文件");
    if (hasAny(engineText, {"malformed", "corrupt"}))
        return QStringLiteral("文件已损坏");
    if (hasAny(engineText, {"locked", "busy"}))
        return QStringLiteral("文件正被其他程序使用");
    if (hasAny(engineText, {"readonly", "read-only"}))
        return QStringLiteral("文件或其所在的文件夹是只读的");
    if (hasAny(engineText, {"permission denied", "not authorized"}))
        return QStringLiteral("没有权限");
    if (hasAny(engineText, {"unable to open", "cannot open"}))
        return QStringLiteral("无法打开文件");
    if (hasAny(engineText, {"out of memory"}))
        return QStringLiteral("内存不足");
    if (hasAny(engineText, {"interrupt"}))
        return QStringLiteral("操作被中断");
    return QStringLiteral("数据库引擎出错");
}

QString damageProblem(const QString& verdict) {
    if (hasAny(verdict, {"not a database", "file is encrypted"}))
        return QStringLiteral("不是有效的数据库文件");
    if (!verdict.isEmpty() && !verdict.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
        return verdict; // a verdict of ours ("文件不完整")
    return QStringLiteral("数据库内部结构不一致");
}
