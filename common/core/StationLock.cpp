#include "StationLock.h"
#include "FileOps.h"
#include "DeskError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StationLock {

namespace {

// The lock files this process holds, by canonical folder.
QHash<QString, int>& held() {
    static QHash<QString, int> files;
    return files;
}

QString keyOf(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString userName() {
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

QByteArray describeSelf(const QString& program) {
    QString text;
    text += QStringLiteral("user=%1\n").arg(userName());
    text += QStringLiteral("host=%1\n").arg(QSysInfo::machineHostName());
    text += QStringLiteral("program=%1\n").arg(program);
    text += QStringLiteral("pid=%1\n").arg(::getpid());
    text += QStringLiteral("since=%1\n").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return text.toUtf8();
}

Holder readHolder(int fd) {
    QByteArray bytes(4096, '\0');
    const ssize_t n = ::pread(fd, bytes.data(), size_t(bytes.size()), 0);
    bytes.truncate(n > 0 ? n : 0);
    Holder holder;
    for (const QByteArray& line : bytes.split('\n')) {
        const qsizetype at = line.indexOf('=');
        if (at <= 0)
            continue;
        const QByteArray key = line.left(at);
        const QString value = QString::fromUtf8(line.mid(at + 1)).trimmed();
        if (key == "user")
            holder.user = value;
        else if (key == "host")
            holder.host = value;
        else if (key == "program")
            holder.program = value;
        else if (key == "pid")
            holder.pid = value.toLongLong();
        else if (key == "since")
            holder.since = value;
    }
    return holder;
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

} // namespace

QString lockFile(const QString& folder) { return QDir(folder).filePath(QStringLiteral(".station.lock")); }

bool acquire(const QString& folder, const QString& program, Holder* holder) {
    const QString key = keyOf(folder);
    if (held().contains(key))
        return true;
    const QByteArray path = QFile::encodeName(lockFile(folder));
    // The lock is on the file that bears the name: one replaced or removed
    // between opening and locking is opened again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        bool writable = true;
        int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            writable = false;
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        }
        if (fd < 0) {
            const int code = errno;
            // A lock file that is there but cannot be opened (another user's,
            // in a folder shared by a group) may be held: running regardless
            // could be the second station on the folder.
            struct stat there {};
            if (::lstat(path.constData(), &there) == 0) {
                if (holder)
                    holder->problem = fileProblem(code);
                return false;
            }
            return true; // a station that cannot have a lock file cannot be kept from running either
        }
        int result;
        do {
            result = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            const int code = errno;
            if (code == EWOULDBLOCK && holder)
                *holder = readHolder(fd);
            ::close(fd);
            return code != EWOULDBLOCK; // no locks on this file system: run without
        }
        if (!sameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        if (writable) {
            const QByteArray text = describeSelf(program);
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.constData(), size_t(text.size()), 0) != text.size()) {
                // Only the description of the holder is missing; the lock holds.
            }
        }
        held().insert(key, fd);
        return true;
    }
    return true;
}

void release(const QString& folder) {
    const int fd = held().take(keyOf(folder));
    if (fd > 0)
        ::close(fd); // lets go of the lock
}

QString refusal(const QString& folder, const Holder& holder, const QString& program) {
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(folder));
    if (!holder.problem.isEmpty())
        return QStringLiteral("站点文件夹“%1”的锁文件“%2”无法打开：%3。无法确认没有其他程序正在使用这个站点文件夹，"
                              "本程序将退出。")
            .arg(shown, QDir::toNativeSeparators(lockFile(folder)), holder.problem);
    if (holder.user.isEmpty() && holder.host.isEmpty())
        return QStringLiteral("站点文件夹“%1”正在被另一个程序使用。同一个站点文件夹同时只能运行一个程序，本程序将退出。")
            .arg(shown);
    const bool other = !program.isEmpty() && !holder.program.isEmpty() && holder.program != program;
    const QString running = other ? QStringLiteral("程序 %1").arg(holder.program) : QStringLiteral("本程序");
    return QStringLiteral("站点文件夹“%1”正在被使用：用户 %2 自 %3 起在计算机 %4 上运行着%5（进程号 %6）。"
                          "同一个站点文件夹同时只能运行一个程序，本程序将退出。")
        .arg(shown, holder.user, holder.since, holder.host, running, QString::number(holder.pid));
}

QStringList processesUsing(const QString& path) {
    QStringList found;
    struct stat target {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0)
        return found;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return found;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const QByteArray fdFolder = QByteArray("/proc/") + entry->d_name + "/fd";
        DIR* fds = ::opendir(fdFolder.constData());
        if (!fds)
            continue; // another user's process, or one that just ended
        bool uses = false;
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            struct stat opened {};
            const QByteArray link = fdFolder + '/' + fd->d_name;
            if (::stat(link.constData(), &opened) == 0 && opened.st_dev == target.st_dev &&
                opened.st_ino == target.st_ino) {
                uses = true;
                break;
            }
        }
        ::closedir(fds);
        if (!uses)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QString name = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
        if (name.isEmpty())
            name = QStringLiteral("未知程序");
        found << QStringLiteral("%1（进程号 %2）").arg(name).arg(pid);
    }
    ::closedir(proc);
    return found;
}

void refuseIfOpenElsewhere(const QString& path, const QString& action) {
    const QStringList others = processesUsing(path);
    if (others.isEmpty())
        return;
    throw DeskError(QStringLiteral("数据库文件“%1”正被其他程序使用：%2。%3没有进行，请先关闭这些程序再试。")
                        .arg(QDir::toNativeSeparators(path), others.join(QStringLiteral("、")), action));
}

} // namespace StationLock
