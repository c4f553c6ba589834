#include "FileOps.h"
#include "FileModes.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileOps realOps;
FileOps* installed = nullptr;

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QString reasonOf(int code) {
    switch (code) {
    case ENOSPC:
        return QStringLiteral("磁盘已满");
    case EDQUOT:
        return QStringLiteral("磁盘配额已用完");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case EEXIST:
        return QStringLiteral("文件已存在");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case EISDIR:
        return QStringLiteral("这是一个文件夹，不是文件");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EFBIG:
        return QStringLiteral("文件太大");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被其他程序使用");
    case EMFILE:
    case ENFILE:
    case ENOMEM:
        return QStringLiteral("系统资源不足");
    case ELOOP:
        return QStringLiteral("路径中的链接太多或循环");
    default:
        return QStringLiteral("系统错误（代码 %1）").arg(code);
    }
}

// The errno values whose system texts can end a Qt file device's error.
constexpr int kKnownCodes[] = {ENOSPC, EDQUOT,       EACCES, EPERM, EROFS,  EIO,    EEXIST, ENOENT, ENOTDIR,
                               EISDIR, ENAMETOOLONG, EFBIG,  EBUSY, ETXTBSY, EMFILE, ENFILE, ENOMEM, ELOOP};

} // namespace

QString fileProblem(int code) { return reasonOf(code); }

namespace {

// The errno value whose system text the text holds, or 0.
int codeIn(const QString& text) {
    for (int code : kKnownCodes) {
        if (text.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return code;
    }
    return 0;
}

} // namespace

QString fileProblem(const QString& systemText) {
    const int code = codeIn(systemText);
    return code ? reasonOf(code) : QStringLiteral("文件操作失败");
}

QString fileProblem(const QFileDevice& device) {
    if (const int code = codeIn(device.errorString()))
        return reasonOf(code);
    switch (device.error()) {
    case QFileDevice::PermissionsError:
        return QStringLiteral("没有权限");
    case QFileDevice::ResourceError:
        return QStringLiteral("磁盘已满或系统资源不足");
    case QFileDevice::OpenError:
        return QStringLiteral("无法打开");
    case QFileDevice::ReadError:
        return QStringLiteral("读取失败");
    case QFileDevice::WriteError:
        return QStringLiteral("写入失败");
    case QFileDevice::RenameError:
        return QStringLiteral("无法替换原有的文件");
    case QFileDevice::CopyError:
        return QStringLiteral("复制失败");
    default:
        return QStringLiteral("文件操作失败");
    }
}

FileError::FileError(const QString& message, int code, QString path)
    : DeskError(message), code_(code), path_(std::move(path)) {}

bool FileError::isRefusal() const noexcept { return code_ == EACCES || code_ == EPERM || code_ == EROFS; }

FileError FileError::fromErrno(const QString& action, const QString& path, int code) {
    return FileError(QStringLiteral("%1文件“%2”时出错：%3。").arg(action, QDir::toNativeSeparators(path), reasonOf(code)),
                     code, path);
}

int FileOps::create(const QString& path) {
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw FileError::fromErrno(QStringLiteral("创建"), path, errno);
    // The file-creation mask is the station's; a file elsewhere gets the
    // user's own (FileModes.h). A file system without modes is no failure.
    (void)::fchmod(fd, FileModes::fileMode(path));
    return fd;
}

qint64 FileOps::write(int fd, const char* data, qint64 size, const QString& path) {
    for (;;) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n > 0)
            return n;
        if (n < 0 && errno == EINTR)
            continue;
        // A write that takes nothing is a full disk as well.
        throw FileError::fromErrno(QStringLiteral("写入"), path, n == 0 ? ENOSPC : errno);
    }
}

void FileOps::sync(int fd, const QString& path) {
    if (::fsync(fd) != 0)
        throw FileError::fromErrno(QStringLiteral("写入"), path, errno);
}

void FileOps::close(int fd, const QString& path) {
    // The descriptor is gone after close() whatever it returns; never retry.
    if (::close(fd) != 0 && errno != EINTR)
        throw FileError::fromErrno(QStringLiteral("关闭"), path, errno);
}

void FileOps::rename(const QString& from, const QString& to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        throw FileError::fromErrno(QStringLiteral("替换"), to, errno);
}

void FileOps::remove(const QString& path) {
    if (::unlink(native(path).constData()) != 0)
        throw FileError::fromErrno(QStringLiteral("删除"), path, errno);
}

void FileOps::syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw FileError::fromErrno(QStringLiteral("写入"), folder, errno);
    const int result = ::fsync(fd);
    const int code = errno;
    ::close(fd);
    // Some file systems cannot sync a folder at all; that is no failure.
    if (result != 0 && code != EINVAL && code != ENOTSUP)
        throw FileError::fromErrno(QStringLiteral("写入"), folder, code);
}

FileOps& FileOps::current() { return installed ? *installed : realOps; }

void FileOps::install(FileOps* ops) { installed = ops; }

namespace {

// The errno value behind a failed read of `in` (EIO when its text names none).
int codeOf(const QFile& in) {
    const int code = codeIn(in.errorString());
    return code ? code : EIO;
}

// Makes the new file `to` from what `fill` writes into its descriptor; with
// `durable`, it is forced to the disk before it is closed. The close is
// checked; on failure the partial file is removed.
void makeNew(const QString& to, bool durable, const std::function<void(FileOps& ops, int fd)>& fill) {
    FileOps& ops = FileOps::current();
    const int fd = ops.create(to);
    bool open = true;
    try {
        fill(ops, fd);
        if (durable)
            ops.sync(fd, to);
        open = false;
        ops.close(fd, to);
    } catch (const DeskError&) {
        if (open) {
            try {
                ops.close(fd, to);
            } catch (const DeskError&) {
            }
        }
        try {
            ops.remove(to);
        } catch (const DeskError&) {
        }
        throw;
    }
}

// Writes all `size` bytes, repeating for what a short write left.
void writeAll(FileOps& ops, int fd, const char* data, qint64 size, const QString& to) {
    for (qint64 done = 0; done < size;)
        done += ops.write(fd, data + done, size - done, to);
}

// Copies `from` to the new file `to`; with `durable`, the copy is forced to
// the disk before it is closed.
void copyThrough(const QString& from, const QString& to, bool durable) {
    QFile in(from);
    const auto unreadable = [&] {
        return FileError(QStringLiteral("无法读取文件“%1”：%2。").arg(QDir::toNativeSeparators(from), fileProblem(in)),
                         codeOf(in), from);
    };
    if (!in.open(QIODevice::ReadOnly))
        throw unreadable();
    makeNew(to, durable, [&](FileOps& ops, int fd) {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qint64 got = in.read(buffer.data(), buffer.size());
            if (got < 0)
                throw unreadable();
            if (got == 0)
                break;
            writeAll(ops, fd, buffer.constData(), got, to);
        }
    });
}

} // namespace

void copyFileDurably(const QString& from, const QString& to) { copyThrough(from, to, true); }

namespace {

// Makes `to` anew from what `writeNew` writes to a new file beside it under
// "<to>.<process id>.part", renamed onto `to` in one step.
void replaceThrough(const QString& to, const std::function<void(const QString& temporary)>& writeNew) {
    const QString temporary = to + QStringLiteral(".%1.part").arg(::getpid());
    FileOps& ops = FileOps::current();
    QFile::remove(temporary); // a leftover of an interrupted copy
    try {
        writeNew(temporary);
        try {
            ops.rename(temporary, to);
        } catch (const DeskError&) {
            try {
                ops.remove(temporary);
            } catch (const DeskError&) {
            }
            throw;
        }
    } catch (const FileError& e) {
        // The user knows the copy by its own name, not the temporary one.
        if (e.path() != temporary)
            throw;
        QString message = e.message();
        message.replace(QDir::toNativeSeparators(temporary), QDir::toNativeSeparators(to));
        throw FileError(message, e.code(), to);
    }
}

// Writes `content` to the new file `to`, every write and the close checked;
// on failure the partial file is removed.
void writeNew(const QByteArray& content, const QString& to) {
    makeNew(to, false, [&](FileOps& ops, int fd) { writeAll(ops, fd, content.constData(), content.size(), to); });
}

} // namespace

void copyFileReplacing(const QString& from, const QString& to) {
    replaceThrough(to, [&](const QString& temporary) { copyThrough(from, temporary, false); });
}

void writeFileReplacing(const QByteArray& content, const QString& to) {
    const QFileInfo earlier(to);
    replaceThrough(to, [&](const QString& temporary) {
        writeNew(content, temporary);
        // A file replaced keeps its mode.
        if (earlier.exists())
            QFile::setPermissions(temporary, earlier.permissions());
    });
}
