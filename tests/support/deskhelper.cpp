// A second process for the tests of what the stations do when another
// process shares their folder or their data file.
//
//   deskhelper lock <folder>        takes the station lock, says "locked",
//                                   holds it until its input ends
//   deskhelper open <database>      keeps the file open, says "open", until
//                                   its input ends
//   deskhelper writer <database> n  inserts n rows into t(v), each through a
//                                   connection of its own; says "ok i" for
//                                   each row committed, "fail i" otherwise
#include "Database.h"
#include "StationLock.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

void waitForEndOfInput() {
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("lock")) {
        if (!StationLock::acquire(args[2], QStringLiteral("deskhelper"))) {
            std::puts("refused");
            return 2;
        }
        std::puts("locked");
        std::fflush(stdout);
        waitForEndOfInput();
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("open")) {
        Connection connection(args[2]);
        connection.execute(QStringLiteral("select count(*) from sqlite_master"));
        std::puts("open");
        std::fflush(stdout);
        waitForEndOfInput();
        return 0;
    }
    if (args.size() >= 4 && args[1] == QLatin1String("writer")) {
        const int rows = args[3].toInt();
        for (int i = 1; i <= rows; ++i) {
            bool ok = false;
            try {
                Connection connection(args[2]);
                connection.execute(QStringLiteral("insert into t(v) values(?)"), {{QString(), i}});
                ok = true;
            } catch (const DeskError&) {
            }
            std::printf("%s %d\n", ok ? "ok" : "fail", i);
            std::fflush(stdout);
            QThread::usleep(500);
        }
        return 0;
    }
    std::fputs("usage: deskhelper lock <folder> | open <database> | writer <database> <rows>\n", stderr);
    return 1;
}
