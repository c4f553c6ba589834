#include "IdCardReader.h"

std::unique_ptr<IdCardReader> IdCardReader::open(const QString&, const QString& cardFolder, QString*) {
    return std::make_unique<SimulatedCardReader>(cardFolder);
}

SimulatedCardReader::SimulatedCardReader(QString cardFolder) : folder_(std::move(cardFolder)) {}
int SimulatedCardReader::SDT_StartFindIDCard(int, unsigned char*, int) { return NoCard; }
int SimulatedCardReader::SDT_SelectIDCard(int, unsigned char*, int) { return 0; }
int SimulatedCardReader::SDT_ReadBaseMsg(int, unsigned char*, unsigned int*, unsigned char*, unsigned int*, int) {
    return 0;
}
QString SimulatedCardReader::nextCard() const { return QString(); }

CardText decodeCardText(const unsigned char*, unsigned int) { return {}; }
QString genderFromCode(const QString& code) {
    return code == QLatin1String("1") ? QStringLiteral("男") : QStringLiteral("女");
}
QByteArray makeCardFile(const QString&, const QString&, const QString&, const QString&, const QByteArray&) {
    return QByteArray();
}
