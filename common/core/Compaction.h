#pragma once

#include <QString>
#include <functional>

// Compaction of the databases in a station's data folder ("数据库压缩").
//
// Each file is copied compacted (VACUUM INTO) to "压缩" + its name in a work
// folder (the current folder), the copy is checked, brought into the data
// folder under a temporary name with every write, the sync and the close
// checked, checked again, and only then renamed over the original. No step
// leaves the data folder without an intact database, and a leftover
// compacted copy is never deleted while it may be the only intact one: a
// data file found damaged or missing is first restored from an intact
// leftover, and the damaged file is kept beside it.
//
// File operations go through FileOps (FileOps.h), so tests can make them
// fail; the engine's writes can be made to fail with FaultInjection.h.
namespace Compaction {

enum class Outcome {
    Compacted,   // the data file is now the compacted copy
    NotReplaced, // the data file could not be replaced (read-only, immutable):
                 // it is left as it was, the copy stays at keptCopy
    Skipped,     // no file or folder (a device, a pipe): passed over
};

struct FileResult {
    QString name; // entry name in the data folder ("CSBMK.mdb")
    Outcome outcome = Outcome::Skipped;
    QString keptCopy;     // NotReplaced: the compacted copy left behind
    QString restoredFrom; // set when the data file was damaged or missing and
                          // was first restored from this intact leftover copy
    QString damagedKept;  // where the damaged data file was kept (if there was one)
};

struct Summary {
    int entries = 0;     // *.mdb entries found
    int notReplaced = 0; // files left uncompacted
    bool allCompacted() const { return entries > 0 && notReplaced == 0; }
};

// The compacted copy of the data file `name`, in the work folder.
QString copyName(const QString& name);

// Compacts every *.mdb entry of `dataFolder`, in name order, with the
// copies in `workFolder`. `afterEach` is called after every entry (for the
// messages about it and pending window events). Throws DeskError at the
// first file that fails (the engine's reason, a full disk ...): the run
// ends there and the file at fault is left intact.
Summary compactFolder(const QString& dataFolder, const QString& workFolder,
                      const std::function<void(const FileResult&)>& afterEach = {});

// Compacts one data file `source` through the copy `copy`.
FileResult compactFile(const QString& source, const QString& copy);

} // namespace Compaction
