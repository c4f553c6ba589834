#pragma once

#include <QString>
#include <functional>

// Who wrote rows of a table tells those who show rows of it. A window that
// saves, corrects or deletes students announces it; the grids of other
// windows over the same table then read their rows again (at once when they
// are on screen, else when they are next shown), so no list goes on showing
// values that are no longer stored.
//
// All of this runs on the GUI thread. Paths are compared as absolute,
// cleaned paths; table names without regard to case.
namespace TableChanges {

// `origin` is whoever wrote (it already shows what it wrote and is not told
// again); null when nobody in particular.
using Listener = std::function<void(const QString& databasePath, const QString& table, const void* origin)>;

// Returns an id for removeListener().
int addListener(Listener listener);
void removeListener(int id);

// Rows of `table` in the database file `databasePath` were written.
void announce(const QString& databasePath, const QString& table, const void* origin = nullptr);

// Whether two database paths name the same file (as the announcements compare them).
bool samePath(const QString& a, const QString& b);

} // namespace TableChanges
