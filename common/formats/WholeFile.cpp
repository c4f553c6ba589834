#include "WholeFile.h"

#include "FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace WholeFile {

void overwrite(const QString& path, const QByteArray& bytes) {
    // Written in place and cut to length afterwards rather than truncated
    // first: the working files keep their size from capture to capture, and
    // truncating a file to nothing makes the file system push the earlier
    // contents to the disk at once.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        throw FileError::fromErrno(QStringLiteral("写入"), path, errno);
    const auto fail = [&](int code) {
        ::close(fd);
        return FileError::fromErrno(QStringLiteral("写入"), path, code);
    };
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    off_t at = 0;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(left), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw fail(n == 0 ? ENOSPC : errno);
        data += n;
        left -= n;
        at += n;
    }
    if (::ftruncate(fd, off_t(bytes.size())) != 0)
        throw fail(errno);
    if (::close(fd) != 0)
        throw FileError::fromErrno(QStringLiteral("写入"), path, errno);
}

void replaceAtomically(const QString& path, const QByteArray& bytes) {
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
