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

    static constexpr int WorkBufferSize = 256;
    static constexpr int TextBufferSize = 256;
    static constexpr int PhotoBufferSize = 1024;

    virtual ~IdCardReader() = default;

    virtual int SDT_StartFindIDCard(int port, unsigned char* work, int ifOpen) = 0;
    virtual int SDT_SelectIDCard(int port, unsigned char* work, int ifOpen) = 0;
    // `text` holds at least TextBufferSize bytes, `photo` PhotoBufferSize.
    virtual int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char* photo,
                                unsigned int* photoLength, int ifOpen) = 0;

    // The reader this station is set up for: the vendor library named in
    // setup.ini (section READER, key LIBRARY), loaded now, or else the
    // simulated reader on `cardFolder`. When a named library cannot be used
    // `warning` receives a Chinese message saying why (the caller shows it
    // once) and the simulated reader is returned.
    static std::unique_ptr<IdCardReader> open(const QString& setupIni, const QString& cardFolder, QString* warning);
};

// The simulated reader: a card on the reader is a file in the card folder
// (the 256-byte text block, optionally followed by the photo block). A card
// that has been read is moved to the folder's read/ subfolder, as a real card
// must be lifted and placed again.
class SimulatedCardReader : public IdCardReader {
public:
    explicit SimulatedCardReader(QString cardFolder);
    int SDT_StartFindIDCard(int port, unsigned char* work, int ifOpen) override;
    int SDT_SelectIDCard(int port, unsigned char* work, int ifOpen) override;
    int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char* photo,
                        unsigned int* photoLength, int ifOpen) override;

private:
    QString nextCard() const;
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

CardText decodeCardText(const unsigned char* text, unsigned int length);

// "男" for the gender code "1", "女" for anything else.
QString genderFromCode(const QString& code);

// A card file for the simulated reader.
QByteArray makeCardFile(const QString& name, const QString& genderCode, const QString& address,
                        const QString& idNumber, const QByteArray& photo = QByteArray());
