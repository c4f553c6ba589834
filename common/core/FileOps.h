#pragma once

#include "DeskError.h"

#include <QString>

// The file operations that must never lose data (bringing a compacted
// database back into data/) go through this seam. The real implementation
// calls the system directly so that every failure is seen: a short write, a
// full disk, a failing fsync or close. Tests install a faulty one
// (FaultInjection.h) that fails on demand.
//
// Every operation throws FileError when it fails.
class FileError : public DeskError {
public:
    FileError(const QString& message, int code, QString path);
    int code() const noexcept { return code_; } // the errno value
    const QString& path() const noexcept { return path_; }
    // Whether the failure is a refusal (no permission, read-only, immutable)
    // rather than a fault of the disk.
    bool isRefusal() const noexcept;

    // A failed `action` ("写入", "创建" ...) on `path` with the errno `code`.
    static FileError fromErrno(const QString& action, const QString& path, int code);

private:
    int code_;
    QString path_;
};

// Why a file operation failed, in Chinese: for the errno `code`, or for a
// Qt file device whose operation just failed (its errorString() is the
// system's English text). Never the system's own words.
QString fileProblem(int code);
class QFileDevice;
QString fileProblem(const QFileDevice& device);
// The same for the system's English text of something that is no file
// device (QTemporaryDir::errorString(), QLockFile ...).
QString fileProblem(const QString& systemText);

class FileOps {
public:
    virtual ~FileOps() = default;

    // Creates `path` for writing; fails when it exists. Returns a descriptor.
    // The file gets FileModes::fileMode(path).
    virtual int create(const QString& path);
    // Writes at most `size` bytes; returns how many were written (at least 1).
    virtual qint64 write(int fd, const char* data, qint64 size, const QString& path);
    // Forces the written bytes to the disk.
    virtual void sync(int fd, const QString& path);
    // Closes the descriptor; it is released even when the close fails.
    virtual void close(int fd, const QString& path);
    // Renames within one folder, replacing `to` in one step.
    virtual void rename(const QString& from, const QString& to);
    virtual void remove(const QString& path);
    // Forces a folder's entries (a rename, a new file) to the disk.
    virtual void syncFolder(const QString& folder);

    // The operations in use. install(nullptr) goes back to the real ones;
    // the caller keeps ownership of what it installs.
    static FileOps& current();
    static void install(FileOps* ops);
};

// Copies the file `from` to the new file `to` through FileOps::current():
// every write is checked and repeated for what a short write left, the copy
// is synced and closed with both checked. On failure the partial copy is
// removed (as far as possible) and FileError is thrown.
void copyFileDurably(const QString& from, const QString& to);

// Copies the file `from` over `to` through FileOps::current(): the copy is
// written beside `to` under "<to>.<process id>.part", every write and the
// close checked, and renamed onto `to` in one step, replacing a file there.
// The copy is not forced to the disk (a plain file copy). On failure the
// partial copy is removed, a file already at `to` is left as it was, and
// FileError is thrown.
void copyFileReplacing(const QString& from, const QString& to);

// Writes `content` over `to` by the same steps (a file replaced keeps its
// mode): a full disk leaves `to` as it was and no partial file.
void writeFileReplacing(const QByteArray& content, const QString& to);
