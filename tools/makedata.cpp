// Lays out ready station folders with the delivered data files.
//
//   makedata --registration <folder> --divisions <divisions.csv>
//
// Files that already exist are kept as they are: a station folder in use
// never loses its data to a rebuild.
#include "DeliveredData.h"
#include "DeskError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the delivered data files of the stations."));
    parser.addHelpOption();
    const QCommandLineOption registration(QStringLiteral("registration"),
                                          QStringLiteral("Registration station folder to lay out."),
                                          QStringLiteral("folder"));
    const QCommandLineOption divisions(QStringLiteral("divisions"), QStringLiteral("The division code list (CSV)."),
                                       QStringLiteral("csv"));
    parser.addOption(registration);
    parser.addOption(divisions);
    parser.process(app);

    try {
        if (parser.isSet(registration)) {
            if (!parser.isSet(divisions)) {
                std::fprintf(stderr, "makedata: --registration needs --divisions\n");
                return 2;
            }
            DeliveredData::layOutRegistrationStation(parser.value(registration), parser.value(divisions));
        }
    } catch (const DeskError& e) {
        std::fprintf(stderr, "makedata: %s\n", e.what());
        return 1;
    }
    return 0;
}
