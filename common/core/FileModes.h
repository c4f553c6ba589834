#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

// Who may read what a station keeps: ID numbers, addresses, phone numbers
// and photographs of minors.
//
// A station folder is private to its user (folders 0700, files 0600) unless
// it is shared by a group: a folder with the set-group-ID bit or writable by
// its group (chmod 2770, the README's shared folder), whose folders get 2770
// and files 0660. Nothing in a station folder is readable by other users.
// A file the user saves elsewhere (an export into a folder of their choice)
// gets what the user's own file-creation mask gives it.
//
// StationFolder::open() adopts the station folder. From then on the
// process's file-creation mask is the station's (077 or 007), so whatever
// creates a file or folder in the station folder (the database engine,
// the PDF writer, a copy) gives it the station's mode. Code that completes
// a file outside the station folder, or whose library insists on a mode of
// its own, calls settle() on it; FileOps::create() does so by itself.
namespace FileModes {

enum class Sharing { Private, Group };

// How the existing folder `folder` is shared, judged by its own mode: Group
// with the set-group-ID bit or write access for its group, Private
// otherwise (also when it does not exist).
Sharing sharingOf(const QString& folder);

// Makes `folder` the station folder, shared as `sharing`, and sets the
// process's file-creation mask to match. The mask the process had before
// the first adopt() is kept as the user's mask for files elsewhere.
void adopt(const QString& folder, Sharing sharing);
// Forgets the station folder and gives the process the user's mask back.
void release();

// The mode a new file (folder) at `path` gets: the station's inside the
// adopted station folder, the user's mask applied to 0666 (0777) elsewhere
// and before any station folder was adopted.
mode_t fileMode(const QString& path);
mode_t folderMode(const QString& path);

// Gives the new file or folder `path` the mode above. Best effort: a file
// system that keeps no modes (a memory stick) is no failure, and a link is
// never followed.
void settle(const QString& path);

// Takes from the adopted station folder and its `entries` (relative paths:
// files, or folders with everything in them) whatever access the rules do
// not allow, and gives a shared folder's entries to its group, as an
// earlier version that made them readable by everyone left them. Only what
// the user owns is changed; links are never followed.
void tighten(const QStringList& entries);

} // namespace FileModes
