#include "WholeFile.h"

#include "FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace WholeFile {

void overwrite(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw FileError::fromErrno(QStringLiteral("写入"), path, errno);
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n == 0 ? ENOSPC : errno;
            ::close(fd);
            throw FileError::fromErrno(QStringLiteral("写入"), path, code);
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0)
        throw FileError::fromErrno(QStringLiteral("写入"), path, errno);
}

void replaceDurably(const QString& path, const QByteArray& bytes) {
    // An existing file that may not be written is refused, as a direct
    // write would be, although the folder would allow the rename.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isWritable())
        throw FileError::fromErrno(QStringLiteral("写入"), path, EACCES);

    FileOps& ops = FileOps::current();
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part); // left over by an earlier failure
    int fd = -1;
    try {
        fd = ops.create(part);
        const char* data = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const qint64 n = ops.write(fd, data, left, part);
            data += n;
            left -= n;
        }
        ops.sync(fd, part);
        const int closing = fd;
        fd = -1;
        ops.close(closing, part);
        ops.rename(part, path);
    } catch (const FileError& error) {
        if (fd >= 0) {
            try {
                ops.close(fd, part);
            } catch (const FileError&) {
            }
        }
        QFile::remove(part);
        // Name the file the user knows, not the temporary one.
        throw FileError::fromErrno(QStringLiteral("写入"), path, error.code());
    }
}

} // namespace WholeFile
