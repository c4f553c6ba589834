#include "FileModes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileModes {

namespace {

struct State {
    QString folder; // absolute, cleaned, with a trailing '/'; empty when none is adopted
    Sharing sharing = Sharing::Private;
    bool userMaskKnown = false;
    mode_t userMask = 022;
};

State& state() {
    static State s;
    return s;
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// The process's file-creation mask, read without changing it (another
// thread creating a file meanwhile must not get a wrong mode).
mode_t currentMask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = status.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    const mode_t mask = ::umask(077); // the stricter value while we look
    ::umask(mask);
    return mask;
}

mode_t userMask() {
    const State& s = state();
    return s.userMaskKnown ? s.userMask : currentMask();
}

mode_t stationMask(Sharing sharing) { return sharing == Sharing::Private ? 077 : 007; }
mode_t stationFileMode(Sharing sharing) { return sharing == Sharing::Private ? 0600 : 0660; }
mode_t stationFolderMode(Sharing sharing) { return sharing == Sharing::Private ? 0700 : 02770; }

// `path` with its folder's links resolved, as far as the folder exists.
QString resolved(const QString& path) {
    const QFileInfo info(path);
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (parent.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return parent == QLatin1String("/") ? parent + info.fileName() : parent + QLatin1Char('/') + info.fileName();
}

bool inStation(const QString& path) {
    const State& s = state();
    if (s.folder.isEmpty())
        return false;
    QString folder = QFileInfo(s.folder).canonicalFilePath();
    folder = folder.isEmpty() ? s.folder : folder + QLatin1Char('/');
    return (resolved(path) + QLatin1Char('/')).startsWith(folder);
}

struct Rules {
    uid_t owner;
    gid_t group;  // the shared folder's group, or (gid_t)-1
    mode_t file;
    mode_t folder;
};

// Gives the open entry `fd` (with `st` its status) the mode and group of
// the rules, when it is the user's.
void adjust(int fd, const struct stat& st, mode_t wanted, const Rules& rules) {
    if (st.st_uid != rules.owner)
        return;
    // fchown fails unless the user is in the group; it clears the
    // set-group-ID bit, so the mode is set after it.
    const bool regrouped =
        rules.group != gid_t(-1) && st.st_gid != rules.group && ::fchown(fd, uid_t(-1), rules.group) == 0;
    if (regrouped || (st.st_mode & 07777) != wanted)
        (void)::fchmod(fd, wanted);
}

bool needsChange(const struct stat& st, mode_t wanted, const Rules& rules) {
    return st.st_uid == rules.owner &&
           ((st.st_mode & 07777) != wanted || (rules.group != gid_t(-1) && st.st_gid != rules.group));
}

void tightenAt(int folderFd, const char* name, const Rules& rules, int depth) {
    struct stat st;
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    const bool folder = S_ISDIR(st.st_mode);
    if (!folder && !(S_ISREG(st.st_mode) && needsChange(st, rules.file, rules)))
        return; // links, devices, pipes, and files that are right already
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return;
    // Judged again on what was opened: the entry may have been replaced.
    if (::fstat(fd, &st) == 0) {
        if (S_ISREG(st.st_mode) && !folder) {
            adjust(fd, st, rules.file, rules);
        } else if (S_ISDIR(st.st_mode) && folder) {
            adjust(fd, st, rules.folder, rules);
            const int listFd = depth < 16 ? ::dup(fd) : -1;
            if (DIR* list = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
                while (const dirent* entry = ::readdir(list)) {
                    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                        tightenAt(fd, entry->d_name, rules, depth + 1);
                }
                ::closedir(list);
            } else if (listFd >= 0) {
                ::close(listFd);
            }
        }
    }
    ::close(fd);
}

} // namespace

Sharing sharingOf(const QString& folder) {
    struct stat st;
    if (::stat(native(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Sharing::Private;
    return (st.st_mode & (S_ISGID | S_IWGRP)) ? Sharing::Group : Sharing::Private;
}

void adopt(const QString& folder, Sharing sharing) {
    State& s = state();
    if (!s.userMaskKnown) {
        s.userMask = currentMask();
        s.userMaskKnown = true;
    }
    s.folder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!s.folder.endsWith(QLatin1Char('/')))
        s.folder += QLatin1Char('/');
    s.sharing = sharing;
    ::umask(stationMask(sharing));
}

void release() {
    State& s = state();
    if (s.userMaskKnown)
        ::umask(s.userMask);
    s = State();
}

mode_t fileMode(const QString& path) {
    return inStation(path) ? stationFileMode(state().sharing) : (0666 & ~userMask());
}

mode_t folderMode(const QString& path) {
    return inStation(path) ? stationFolderMode(state().sharing) : (0777 & ~userMask());
}

void settle(const QString& path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
        if (S_ISREG(st.st_mode))
            (void)::fchmod(fd, fileMode(path));
        else if (S_ISDIR(st.st_mode))
            (void)::fchmod(fd, folderMode(path));
    }
    ::close(fd);
}

void tighten(const QStringList& entries) {
    const State& s = state();
    if (s.folder.isEmpty())
        return;
    const int top = ::open(native(s.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return;
    struct stat st;
    if (::fstat(top, &st) == 0) {
        Rules rules{::geteuid(), gid_t(-1), stationFileMode(s.sharing), stationFolderMode(s.sharing)};
        // The folder itself: not its group, which the one who made it chose.
        adjust(top, st, rules.folder, rules);
        if (s.sharing == Sharing::Group)
            rules.group = st.st_gid;
        for (const QString& entry : entries) {
            const QByteArray name = native(entry);
            if (!entry.isEmpty() && !name.contains('/'))
                tightenAt(top, name.constData(), rules, 0);
        }
    }
    ::close(top);
}

} // namespace FileModes
