#pragma once

#include <QString>
#include <QStringList>

// One station process per station folder.
//
// A running station holds an exclusive lock (flock) on the file
// ".station.lock" in its station folder and writes into it who holds it:
// user, computer, process and since when. The system lets go of the lock
// when the process ends in whatever way (kill -9, a power cut on the other
// computer of a network folder), so a lock left by an ended process is
// taken over without asking. Within one process the lock is re-entrant:
// taking it again for the same folder succeeds and holds nothing more.
namespace StationLock {

// Who holds a station folder, as its lock file tells.
struct Holder {
    QString user;
    QString host;
    QString program;
    qint64 pid = 0;
    QString since; // "2026-12-10 09:30:15"
    // Why the lock file that is there could not be opened (then nothing
    // above is known).
    QString problem;
};

// The lock file of `folder`.
QString lockFile(const QString& folder);

// Takes the lock on `folder` for the rest of the run. Returns false when
// another process holds it, with what its lock file says in `holder`.
// Creates the lock file when it is missing; a folder where no lock file can
// be made (a read-only station) is run without one. A lock file that is
// there but cannot be opened counts as held: `holder->problem` says why.
bool acquire(const QString& folder, const QString& program, Holder* holder = nullptr);

// Lets go of the lock on `folder` (tests; the end of the process does it
// otherwise).
void release(const QString& folder);

// The message for a second start of `program` on a held folder. A holder
// that is another station program (both stations pointed at one folder) is
// named, not called this program.
QString refusal(const QString& folder, const Holder& holder, const QString& program = QString());

// The processes other than this one that have `path` open, as "名称（进程号
// n）", found through /proc. Processes of other users whose open files
// cannot be seen are not listed.
QStringList processesUsing(const QString& path);

// Throws DeskError naming `action` and the processes when `path` is open in
// another process: replacing or emptying the file then would lose what they
// write.
void refuseIfOpenElsewhere(const QString& path, const QString& action);

} // namespace StationLock
