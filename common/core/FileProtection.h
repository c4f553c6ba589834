#pragma once

#include <QByteArray>
#include <QString>

// The protected form of the credit station's data files.
//
// The credit database, the name table and the credit exchange files are
// SQLite files. On disk they are kept in a protected form: the 16-byte SQLite
// header magic ("SQLite format 3\0") is replaced by a magic of our own, so
// that neither SQLite nor any other tool opens the file. The station lifts
// the protection (writes the SQLite magic back) just before it opens a file
// and restores it right after the statements that use it.
//
// Both steps rewrite only those 16 bytes, in place, flushed to the disk, and
// both are idempotent. A file found in either form is accepted, so a crash
// between lifting and restoring never locks anyone out. A file in any other
// form (a genuine Access file, a file that is no database, a missing file)
// is never written.
namespace FileProtection {

enum class Form {
    Missing,   // no such file
    Plain,     // an SQLite file, open to any tool
    Protected, // an SQLite file in the protected form
    Other,     // anything else: left alone
};

Form formOf(const QString& path);

// The 16 bytes that stand in for the SQLite magic in a protected file.
QByteArray protectedMagic();

// Brings a protected file back into the plain form. Returns the form the
// file was found in; only a protected file is written. Throws DeskError when
// the file cannot be written.
Form lift(const QString& path);

// Puts a plain file into the protected form. Returns the form the file was
// found in; only a plain file is written. Throws DeskError when the file
// cannot be written.
Form protect(const QString& path);

// Keeps a file's protection lifted for its lifetime: lifts in the
// constructor, restores in restore() or, at the latest, in the destructor,
// so the protection comes back on every path, error paths included.
//
// Lifts nest within the process: holders are counted per file (by its
// canonical path), and only the last holder to let go restores the
// protection. An inner lift of a file that is already lifted writes nothing
// and never protects the file under its outer holder. The file is protected
// at the end when any holder took it as a station file (Restore::Protected),
// or when it was found protected by the first holder.
class Lift {
public:
    enum class Restore {
        Protected, // the station's own files: a file found plain is protected too
        AsFound,   // files handed in: only a file found protected is protected again
    };

    explicit Lift(QString path, Restore restore = Restore::Protected);
    ~Lift();
    Lift(const Lift&) = delete;
    Lift& operator=(const Lift&) = delete;

    // Restores the protection now (once); throws DeskError when the file
    // cannot be written. The destructor calls it and swallows its errors.
    void restore();

    // The form the file was in when this holder lifted it (Plain for an
    // inner holder of a file already lifted).
    Form found() const { return found_; }
    const QString& path() const { return path_; }

    // How many holders keep `path` lifted right now in this process.
    static int holders(const QString& path);

private:
    QString path_;
    QString key_;
    Form found_;
    bool done_ = false;
};

// A private, plain copy of a credit file handed in (an exchange file on a
// stick, a share, a read-only medium): the file is copied into a temporary
// folder of our own and the copy's protection is lifted. The original is
// only read, never written, whatever happens to the process meanwhile. The
// copy is removed with this object. Throws DeskError when the file cannot be
// read or the copy cannot be made.
class PrivateCopy {
public:
    explicit PrivateCopy(const QString& original);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    const QString& path() const { return path_; }
    Form found() const { return found_; } // the form of the original

private:
    QString folder_;
    QString path_;
    Form found_;
};

} // namespace FileProtection
