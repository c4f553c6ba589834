// Places a card on the simulated ID card reader: writes a card file into the
// station's card/ folder, where the reader finds it on its next poll.
//
//   makecard --name 张三 --gender 1 --address "江苏省南京市玄武区某路1号"
//            --id 320102200001011234 [--photo FILE] [--station DIR | --out FILE]
//
// The file is named after the ID number plus ".card" and is written under a
// temporary name, then renamed, so the reader never sees half a card.
#include "IdCardReader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace {

void fail(const QString& message) {
    std::fprintf(stderr, "makecard: %s\n", qPrintable(message));
}

// The ID number names the card file, so it may hold letters and digits only.
bool namesAFile(const QString& id) {
    if (id.isEmpty())
        return false;
    for (QChar c : id)
        if (!c.isLetterOrNumber())
            return false;
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Places a card on the simulated ID card reader of a registration station.\n"
        "Writes the card's text block (and the photo, if given) into <station>/card/<ID number>.card;\n"
        "the station reads it on its next poll and moves it to card/read/.\n"
        "The station folder is --station, else $DESK_HOME, else the current folder.\n"
        "Gender code: 1 is male, anything else female. Fields longer than the card's\n"
        "field widths (name 15, address 35, ID number 18 characters) are cut."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Name on the card."),
                                  QStringLiteral("name"));
    const QCommandLineOption gender(
        QStringLiteral("gender"), QStringLiteral("Gender code (1 male, 2 female)."), QStringLiteral("code"));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Address on the card."),
                                     QStringLiteral("address"));
    const QCommandLineOption id(QStringLiteral("id"), QStringLiteral("ID number (18 characters)."),
                                QStringLiteral("number"));
    const QCommandLineOption photo(
        QStringLiteral("photo"),
        QStringLiteral("File whose bytes become the photo block (the reader returns "
                       "at most 1024 of them)."),
        QStringLiteral("file"));
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("Station folder."),
                                     QStringLiteral("folder"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Write the card to this file instead."),
                                 QStringLiteral("file"));
    parser.addOptions({name, gender, address, id, photo, station, out});

    if (!parser.parse(app.arguments())) {
        fail(parser.errorText() + QStringLiteral(" (see --help)"));
        return 2;
    }
    if (parser.isSet(help))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        fail(
            QStringLiteral("unexpected argument: %1 (see --help)").arg(parser.positionalArguments().first()));
        return 2;
    }
    QStringList missing;
    for (const QCommandLineOption* required : {&name, &gender, &address, &id})
        if (!parser.isSet(*required))
            missing.append(QStringLiteral("--") + required->names().first());
    if (!missing.isEmpty()) {
        fail(QStringLiteral("missing %1 (see --help)").arg(missing.join(QStringLiteral(", "))));
        return 2;
    }
    if (parser.isSet(station) && parser.isSet(out)) {
        fail(QStringLiteral("give either --station or --out, not both"));
        return 2;
    }

    QByteArray photoBytes;
    if (parser.isSet(photo)) {
        QFile file(parser.value(photo));
        if (!file.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot read the photo %1: %2").arg(file.fileName(), file.errorString()));
            return 1;
        }
        photoBytes = file.readAll();
    }

    QString target;
    if (parser.isSet(out)) {
        target = parser.value(out);
    } else {
        if (!namesAFile(parser.value(id))) {
            fail(QStringLiteral("the ID number \"%1\" cannot name a card file (letters and digits only); "
                                "use --out to choose the file")
                     .arg(parser.value(id)));
            return 2;
        }
        QString folder = parser.value(station);
        if (folder.isEmpty())
            folder = qEnvironmentVariable("DESK_HOME");
        if (folder.isEmpty())
            folder = QDir::currentPath();
        const QDir cards(QDir(folder).filePath(QStringLiteral("card")));
        if (!cards.mkpath(QStringLiteral("."))) {
            fail(QStringLiteral("cannot create the card folder %1").arg(cards.path()));
            return 1;
        }
        target = cards.filePath(parser.value(id) + QStringLiteral(".card"));
    }
    target = QFileInfo(target).absoluteFilePath();

    // QSaveFile writes under a temporary name and renames on commit; it
    // never falls back to writing the target directly.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1: %2").arg(target, file.errorString()));
        return 1;
    }
    file.write(makeCardFile(parser.value(name), parser.value(gender), parser.value(address), parser.value(id),
                            photoBytes));
    if (!file.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(target, file.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(QDir::toNativeSeparators(target)));
    return 0;
}
