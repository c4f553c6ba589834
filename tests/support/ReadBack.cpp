#include "ReadBack.h"

#include <QRegularExpression>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#ifndef DESK_SOURCE_DIR
#error "DESK_SOURCE_DIR must name the source tree"
#endif

namespace {

const char* const kInstallHint = "run scripts/install-deps.sh --test (it installs node and runs "
                                 "npm ci --prefix tests/tools)";

QJsonObject failed(const QString& reason) {
    QTest::qFail(qPrintable(QStringLiteral("independent workbook reader: ") + reason), __FILE__, __LINE__);
    return {};
}

} // namespace

QJsonObject readWorkbookIndependently(const QString& path) {
    const QString tools = QStringLiteral(DESK_SOURCE_DIR "/tests/tools");
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    if (node.isEmpty())
        return failed(QStringLiteral("node is not on PATH; %1").arg(QLatin1String(kInstallHint)));
    if (!QFile::exists(tools + QStringLiteral("/node_modules/xlsx/package.json")))
        return failed(QStringLiteral("the package xlsx is not installed in %1/node_modules; %2")
                          .arg(tools, QLatin1String(kInstallHint)));

    QProcess process;
    process.setProgram(node);
    process.setArguments({tools + QStringLiteral("/readxls.mjs"), path});
    process.start();
    if (!process.waitForStarted(30000))
        return failed(QStringLiteral("cannot start %1: %2").arg(node, process.errorString()));
    if (!process.waitForFinished(240000)) {
        process.kill();
        process.waitForFinished();
        return failed(QStringLiteral("reading %1 took longer than four minutes").arg(path));
    }
    const QByteArray output = process.readAllStandardOutput();
    const QString errors = QString::fromUtf8(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return failed(QStringLiteral("reading %1 failed (exit code %2): %3")
                          .arg(path)
                          .arg(process.exitCode())
                          .arg(errors));

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(output, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return failed(QStringLiteral("unexpected output for %1: %2").arg(path, error.errorString()));
    return document.object();
}

int pdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("%PDF") || !bytes.trimmed().endsWith("%%EOF"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(bytes).count(page));
}

namespace {

// pdftotext's output for `arguments` + the file, or a null array with the
// test failed.
QByteArray runPdfToText(const QStringList& arguments, const QString& path) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (program.isEmpty()) {
        QTest::qFail("pdftotext is not on PATH; run scripts/install-deps.sh (poppler-utils)", __FILE__, __LINE__);
        return {};
    }
    QProcess process;
    process.start(program, QStringList(arguments) << path << QStringLiteral("-"));
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QTest::qFail(qPrintable(QStringLiteral("pdftotext could not read %1: %2")
                                    .arg(path, QString::fromUtf8(process.readAllStandardError()))),
                     __FILE__, __LINE__);
        return {};
    }
    return process.readAllStandardOutput();
}

} // namespace

QString pdfText(const QString& path) {
    return QString::fromUtf8(runPdfToText({QStringLiteral("-enc"), QStringLiteral("UTF-8")}, path));
}

QList<PdfWord> pdfWords(const QString& path) {
    const QString html =
        QString::fromUtf8(runPdfToText({QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8")}, path));
    QList<PdfWord> words;
    static const QRegularExpression element(QStringLiteral(
        "<page width=\"([\\d.]+)\"|<word xMin=\"([\\d.-]+)\" yMin=\"([\\d.-]+)\" xMax=\"([\\d.-]+)\" yMax=\"([\\d.-]+)\">([^<]*)</word>"));
    int page = 0;
    double width = 0;
    for (auto it = element.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            ++page;
            width = m.captured(1).toDouble();
            continue;
        }
        words.append({page, m.captured(6), m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4).toDouble(),
                      m.captured(5).toDouble(), width});
    }
    return words;
}
