// Lays out ready station folders with the delivered data files.
//
//   makedata --registration <folder> --divisions <divisions.csv>
//   makedata --credit <folder> --units <credit-units.csv>
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
    const QCommandLineOption credit(QStringLiteral("credit"), QStringLiteral("Credit station folder to lay out."),
                                    QStringLiteral("folder"));
    const QCommandLineOption units(QStringLiteral("units"),
                                   QStringLiteral("The city, county and school list of the name table (CSV)."),
                                   QStringLiteral("csv"));
    parser.addOption(registration);
    parser.addOption(divisions);
    parser.addOption(credit);
    parser.addOption(units);
    parser.process(app);

    try {
        if (parser.isSet(registration)) {
            if (!parser.isSet(divisions)) {
                std::fprintf(stderr, "makedata: --registration needs --divisions\n");
                return 2;
            }
            DeliveredData::layOutRegistrationStation(parser.value(registration), parser.value(divisions));
        }
        if (parser.isSet(credit)) {
            if (!parser.isSet(units)) {
                std::fprintf(stderr, "makedata: --credit needs --units\n");
                return 2;
            }
            DeliveredData::layOutCreditStation(parser.value(credit), parser.value(units));
        }
    } catch (const DeskError& e) {
        std::fprintf(stderr, "makedata: %s\n", e.what());
        return 1;
    }
    return 0;
}
