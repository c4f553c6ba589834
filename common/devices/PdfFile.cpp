#include "PdfFile.h"
#include "PdfTextMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

namespace {

// The PDF writer hands over many small pieces; they reach the file in
// blocks of this size.
constexpr qsizetype blockSize = 1 << 16;

} // namespace

PdfFile::PdfFile(const QString& target, Existing existing)
    : target_(QFileInfo(target).absoluteFilePath()), existing_(existing) {
    temporary_ = target_ + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    QDir().mkpath(QFileInfo(target_).absolutePath());
    QFile::remove(temporary_); // left by an earlier run of this process id
    try {
        fd_ = FileOps::current().create(temporary_);
    } catch (const FileError& error) {
        throw FileError::fromErrno(QStringLiteral("创建"), target_, error.code());
    }
    QIODevice::open(QIODevice::WriteOnly);
}

PdfFile::~PdfFile() {
    if (!committed_) {
        closeDescriptor();
        QFile::remove(temporary_);
    }
}

QString PdfFile::freeName(const QString& path) {
    if (!QFileInfo::exists(path))
        return path;
    QString base = path;
    if (base.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        base.chop(4);
    for (int n = 2;; ++n) {
        const QString candidate = base + QStringLiteral("-%1.pdf").arg(n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

qint64 PdfFile::readData(char*, qint64) { return -1; }

qint64 PdfFile::writeData(const char* data, qint64 size) {
    if (failure_ || fd_ < 0)
        return -1;
    buffer_.append(data, size);
    if (buffer_.size() >= blockSize)
        flush();
    return failure_ ? -1 : size;
}

void PdfFile::flush() {
    if (failure_ || fd_ < 0 || buffer_.isEmpty())
        return;
    FileOps& ops = FileOps::current();
    try {
        for (qint64 done = 0; done < buffer_.size();)
            done += ops.write(fd_, buffer_.constData() + done, buffer_.size() - done, temporary_);
    } catch (const FileError& error) {
        fail(error);
    }
    if (!failure_)
        written_ += buffer_.size();
    buffer_.truncate(0);
}

void PdfFile::fail(const FileError& error) {
    if (!failure_)
        failure_ = FileError::fromErrno(QStringLiteral("写入"), target_, error.code());
}

void PdfFile::closeDescriptor() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    try {
        FileOps::current().close(fd, temporary_);
    } catch (...) {
        // The descriptor is released whatever close() says; the file goes.
    }
}

void PdfFile::correctTextMaps(const QHash<char32_t, char32_t>& corrections) {
    QFile in(temporary_);
    if (!in.open(QIODevice::ReadOnly))
        throw FileError::fromErrno(QStringLiteral("读取"), target_, EIO);
    const PdfTextMap::Patch patch = PdfTextMap::patch(
        [&in](qint64 offset, qint64 length) {
            in.seek(offset);
            return in.read(length);
        },
        written_, corrections);
    if (patch.isEmpty())
        return;
    if (::lseek(fd_, off_t(patch.from), SEEK_SET) < 0 || ::ftruncate(fd_, off_t(patch.from)) != 0)
        throw FileError::fromErrno(QStringLiteral("写入"), target_, errno);
    written_ = patch.from;
    FileOps& ops = FileOps::current();
    for (qint64 done = 0; done < patch.tail.size();)
        done += ops.write(fd_, patch.tail.constData() + done, patch.tail.size() - done, temporary_);
    written_ += patch.tail.size();
}

void PdfFile::commit(const QHash<char32_t, char32_t>& corrections) {
    if (committed_)
        return;
    QIODevice::close();
    FileOps& ops = FileOps::current();
    try {
        flush();
        if (failure_)
            throw *failure_;
        correctTextMaps(corrections);
        ops.sync(fd_, temporary_);
        const int fd = fd_;
        fd_ = -1;
        ops.close(fd, temporary_);
        if (existing_ == Existing::Keep)
            target_ = freeName(target_);
        ops.rename(temporary_, target_);
        committed_ = true;
    } catch (const FileError& error) {
        closeDescriptor();
        QFile::remove(temporary_);
        // Named by the file the user knows, not the temporary one.
        throw FileError::fromErrno(QStringLiteral("写入"), target_, error.code());
    }
    try {
        ops.syncFolder(QFileInfo(target_).absolutePath());
    } catch (const FileError&) {
        // The file is whole under its name; only its entry may not be on the disk yet.
    }
}
