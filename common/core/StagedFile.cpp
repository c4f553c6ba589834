#include "StagedFile.h"
#include "Database.h"
#include "DeskError.h"
#include "FileOps.h"
#include "FileModes.h"
#include "FileProtection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <limits>
#include <signal.h>

namespace {

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// Whether `file` is one of our temporary files that nobody writes any more.
bool isOurLeftover(const QFileInfo& file, const QString& processId) {
    if (!processId.isEmpty()) {
        bool ok = false;
        const qint64 pid = processId.toLongLong(&ok);
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
            return false;
        const bool alive = ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
        if (alive && pid != QCoreApplication::applicationPid())
            return false;
    }
    if (file.size() == 0)
        return true;
    const FileProtection::Form form = FileProtection::formOf(file.absoluteFilePath());
    return form == FileProtection::Form::Plain || form == FileProtection::Form::Protected;
}

void removeWithJournal(const QString& path) {
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(path);
}

// Removes the temporary files that an interrupted export to `target` left
// beside it (with their journals).
void removeLeftovers(const QString& target) {
    const QFileInfo info(target);
    static const QString pattern = QStringLiteral("^%1(?:\\.(\\d+))?\\.part$");
    const QRegularExpression ours(pattern.arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    const QStringList candidates = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch match = ours.match(name);
        const QFileInfo file(folder.filePath(name));
        if (match.hasMatch() && isOurLeftover(file, match.captured(1)))
            removeWithJournal(file.absoluteFilePath());
    }
}

} // namespace

QString StagedFile::temporaryName(const QString& target) {
    return target + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
}

StagedFile::StagedFile(const QString& target) {
    const QFileInfo info(target);
    target_ = info.absoluteFilePath();
    if (info.exists())
        throw DeskError(QStringLiteral("文件“%1”已存在，数据没有导出。请另选文件名，或先移走已有的文件。")
                            .arg(shown(target)));
    if (!info.absoluteDir().exists())
        throw DeskError(QStringLiteral("文件夹“%1”不存在，无法导出。").arg(shown(info.absolutePath())));
    removeLeftovers(target_);
    const QString name = temporaryName(target_);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw DeskError(
            QStringLiteral("无法在文件夹“%1”中写入文件“%2”：%3。")
                .arg(shown(info.absolutePath()), info.fileName(), fileProblem(file)));
    temporary_ = name;
    // The target's mode from the start: the engine keeps a file's mode.
    FileModes::settle(temporary_);
}

StagedFile::~StagedFile() {
    if (!committed_)
        removeWithJournal(temporary_);
}

void StagedFile::commit() {
    // Never onto an existing file: QFile::rename refuses to replace one.
    if (!QFile::rename(temporary_, target_))
        throw DeskError(QStringLiteral("无法把导出的数据保存为文件“%1”。").arg(shown(target_)));
    committed_ = true;
}

DbError StagedFile::namingTarget(const DbError& error) const {
    QString message = error.message();
    message.replace(shown(temporary_), shown(target_));
    return DbError(message, error.engineText(), error.path() == temporary_ ? target_ : error.path());
}
