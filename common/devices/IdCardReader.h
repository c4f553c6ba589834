#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// The second-generation resident ID card reader, reached by the three calls
// the entry window makes. Every call takes the port number first and 1 last.
class IdCardReader {
public:
    // Result codes the station relies on.
    static constexpr int CardFound = 0x9F; // SDT_StartFindIDCard: a card is present
    static constexpr int NoCard = 0x80;    // SDT_StartFindIDCard: no card
    static constexpr int Timeout = 2;      // SDT_StartFindIDCard: communication timeout
    static constexpr int Success = 0x90;   // SDT_SelectIDCard, SDT_ReadBaseMsg

    // Failure codes this layer answers itself (the simulated reader, a call
    // refused for a missing buffer). The station treats every value other
    // than Success as a failure and never looks at these.
    static constexpr int SelectFailed = 0x81; // SDT_SelectIDCard: no card to select
    static constexpr int ReadFailed = 0x41;   // SDT_ReadBaseMsg: no card, or the card could not be read

    static constexpr int WorkBufferSize = 256;
    static constexpr int TextBufferSize = 256;
    static constexpr int PhotoBufferSize = 1024;

    IdCardReader() = default;
    IdCardReader(const IdCardReader&) = delete;
    IdCardReader& operator=(const IdCardReader&) = delete;
    virtual ~IdCardReader() = default;

    // `work` holds at least WorkBufferSize bytes.
    virtual int SDT_StartFindIDCard(int port, unsigned char* work, int ifOpen) = 0;
    virtual int SDT_SelectIDCard(int port, unsigned char* work, int ifOpen) = 0;
    // `text` holds at least TextBufferSize bytes, `photo` PhotoBufferSize.
    // On Success *textLength and *photoLength are the bytes filled, never
    // more than those sizes; on failure both are 0.
    virtual int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char* photo,
                                unsigned int* photoLength, int ifOpen) = 0;

    // Why this reader cannot read at all (a library that was refused), for
    // the user; empty for a reader that works. Such a reader finds no card.
    virtual QString problem() const { return QString(); }

    // The reader this station is set up for: the vendor library named in
    // setup.ini (section READER, key LIBRARY), loaded now, or else the
    // simulated reader on `cardFolder`. A relative LIBRARY path is taken
    // from the folder of setup.ini. When a named library cannot be used
    // (missing file, not a loadable library, one of the three functions not
    // exported) `warning` receives a Chinese message naming the library and
    // the reason (the caller shows it once) and the simulated reader is
    // returned: the station always starts. A library that may not be
    // trusted (untrustedReason) is never loaded: `warning` says why, and the
    // reader returned finds no card and gives the same text as problem().
    // Otherwise `warning` is emptied. `warning` may be null.
    static std::unique_ptr<IdCardReader> open(const QString& setupIni, const QString& cardFolder,
                                              QString* warning);

    // The library file setup.ini names (absolute, cleaned), or empty.
    static QString libraryPath(const QString& setupIni);
    // What stands in the way of loading the library setup.ini names, for
    // the user: missing, or not to be trusted; empty when it may be loaded
    // or none is named. Loads nothing.
    static QString libraryProblem(const QString& setupIni);
    // Why the library file `path` must not be loaded, or empty when it may:
    // the file and every folder above it must belong to root or the current
    // user and be writable by nobody else (as sudo and ssh demand of their
    // files), or another user could make the station run code of theirs.
    // Links are judged by what they lead to.
    static QString untrustedReason(const QString& path);
};

// The simulated reader: a card on the reader is a file whose name ends in
// ".card", lying in the card folder itself (hidden files, subfolders and
// anything else are not cards). A file holds the 256-byte text block,
// optionally followed by the photo block. Cards are taken in file-name
// order. A card that has been read is moved to the folder's read/ subfolder
// (replacing a file of the same name there), as a real card must be lifted
// and placed again.
class SimulatedCardReader : public IdCardReader {
public:
    explicit SimulatedCardReader(QString cardFolder);

    const QString& folder() const { return folder_; }

    int SDT_StartFindIDCard(int port, unsigned char* work, int ifOpen) override;
    int SDT_SelectIDCard(int port, unsigned char* work, int ifOpen) override;
    int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char* photo,
                        unsigned int* photoLength, int ifOpen) override;

private:
    QString nextCard() const; // the path of the first card, or empty
    QString folder_;
};

// The fields of a card's text block, taken by character position and trimmed.
struct CardText {
    QString name;         // characters 1-15
    QString genderCode;   // character 16
    QString address;      // characters 27-61
    QString idNumber;     // characters 62-79
    QString divisionCode; // characters 62-67
};

// Decodes the text block (UTF-16LE, `length` in bytes; an odd last byte is
// ignored). A short block gives the fields it holds and empty ones beyond.
// Unpaired surrogates become U+FFFD.
CardText decodeCardText(const unsigned char* text, unsigned int length);

// "男" for the gender code "1", "女" for anything else.
QString genderFromCode(const QString& code);

// A card file for the simulated reader: the 256-byte text block with each
// field blank-padded (or cut) to its width at its position, followed by the
// photo bytes.
QByteArray makeCardFile(const QString& name, const QString& genderCode, const QString& address,
                        const QString& idNumber, const QByteArray& photo = QByteArray());
