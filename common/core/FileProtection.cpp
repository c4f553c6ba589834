#include "FileProtection.h"
#include "DeskError.h"
#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QTemporaryDir>
#include <cerrno>
#include <unistd.h>

namespace FileProtection {

namespace {

const QByteArray sqliteMagic("SQLite format 3\0", 16);
const QByteArray ourMagic("DeskData locked\0", 16);

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Replaces the first 16 bytes of the file with `magic` and waits until the
// disk has them.
void writeMagic(const QString& path, const QByteArray& magic, const QString& action) {
    const auto failed = [&](const QString& reason) {
        return DeskError(QStringLiteral("无法%1文件“%2”的保护：%3。").arg(action, shown(path), reason));
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) // never truncates
        throw failed(fileProblem(file));
    if (file.write(magic) != magic.size() || !file.flush())
        throw failed(fileProblem(file));
    if (::fsync(file.handle()) != 0)
        throw failed(fileProblem(errno));
}

// The files lifted by Lift holders of this process, by canonical path.
struct Holders {
    int count = 0;
    bool protectAtEnd = false;
};
QMutex holdersMutex;
QHash<QString, Holders>& liftedFiles() {
    static QHash<QString, Holders> files;
    return files;
}

// One name per file, however it is spelt (relative, through a link).
QString keyOf(const QString& path) {
    if (path.isEmpty())
        return path;
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

QByteArray protectedMagic() {
    return ourMagic;
}

Form formOf(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return Form::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Form::Other;
    const QByteArray head = file.read(16);
    if (head == sqliteMagic)
        return Form::Plain;
    if (head == ourMagic)
        return Form::Protected;
    return Form::Other;
}

Form lift(const QString& path) {
    const Form form = formOf(path);
    if (form == Form::Protected)
        writeMagic(path, sqliteMagic, QStringLiteral("解除"));
    return form;
}

Form protect(const QString& path) {
    const Form form = formOf(path);
    if (form == Form::Plain)
        writeMagic(path, ourMagic, QStringLiteral("恢复"));
    return form;
}

Lift::Lift(QString path, Restore restore) : path_(std::move(path)), key_(keyOf(path_)) {
    const QMutexLocker lock(&holdersMutex);
    auto it = liftedFiles().find(key_);
    if (it != liftedFiles().end()) {
        // Already lifted by an outer holder: nothing to write.
        found_ = formOf(path_);
        ++it->count;
        it->protectAtEnd = it->protectAtEnd || (restore == Restore::Protected && found_ == Form::Plain);
        return;
    }
    found_ = lift(path_); // throws before anything is registered
    Holders holders;
    holders.count = 1;
    holders.protectAtEnd =
        found_ == Form::Protected || (found_ == Form::Plain && restore == Restore::Protected);
    liftedFiles().insert(key_, holders);
}

Lift::~Lift() {
    try {
        restore();
    } catch (...) {
        // A destructor cannot report; the file stays usable in its plain form.
    }
}

void Lift::restore() {
    if (done_)
        return;
    done_ = true;
    bool protectNow = false;
    {
        const QMutexLocker lock(&holdersMutex);
        auto it = liftedFiles().find(key_);
        if (it == liftedFiles().end())
            return;
        if (--it->count > 0)
            return; // an outer holder still works with the file
        protectNow = it->protectAtEnd;
        liftedFiles().erase(it);
    }
    if (protectNow)
        protect(path_);
}

int Lift::holders(const QString& path) {
    const QMutexLocker lock(&holdersMutex);
    return liftedFiles().value(keyOf(path)).count;
}

PrivateCopy::PrivateCopy(const QString& original) {
    const QString shownName = shown(original);
    if (original.isEmpty())
        throw DeskError(QStringLiteral("没有指定数据库文件。"));
    if (!QFileInfo(original).isFile())
        throw DeskError(QStringLiteral("找不到数据库文件“%1”。").arg(shownName));
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/desk-copy-XXXXXX"));
    if (!folder.isValid())
        throw DeskError(QStringLiteral("无法为文件“%1”建立临时文件夹：%2。").arg(shownName, fileProblem(folder.errorString())));
    folder.setAutoRemove(false);
    folder_ = folder.path();
    try {
        path_ = folder_ + QStringLiteral("/copy.mdb");
        // A journal beside the original belongs to it: the copy sees the same data.
        for (const QString& suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal")}) {
            if (!suffix.isEmpty() && !QFileInfo::exists(original + suffix))
                continue;
            QFile source(original + suffix);
            if (!source.copy(path_ + suffix))
                throw DeskError(
                    QStringLiteral("无法复制文件“%1”：%2。").arg(shown(original + suffix), fileProblem(source)));
            // The copy is ours, whatever the original's permissions.
            QFile::setPermissions(path_ + suffix, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        found_ = lift(path_);
    } catch (...) {
        QDir(folder_).removeRecursively();
        throw;
    }
}

PrivateCopy::~PrivateCopy() {
    QDir(folder_).removeRecursively();
}

} // namespace FileProtection
