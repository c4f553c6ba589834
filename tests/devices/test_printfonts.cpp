#include "PdfTextMap.h"
#include "PrintFonts.h"

#include <QPainterPath>
#include <QtTest>

// Printed characters always have an outline, and the text maps of the PDF
// files written name what was printed.
class TestPrintFonts : public QObject {
    Q_OBJECT
private slots:
    void rareCharactersHaveAFamilyInEveryFont_data();
    void rareCharactersHaveAFamilyInEveryFont();
    void runsKeepTheFontWhereItDraws();
    void radicalsAreNamedByTheirIdeographs();
    void textMapsAreCorrected_data();
    void textMapsAreCorrected();
};

void TestPrintFonts::rareCharactersHaveAFamilyInEveryFont_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("character");
    for (const QString& name : {PrintFonts::SongTi, PrintFonts::HeiTi, PrintFonts::LiShu}) {
        QTest::newRow(qPrintable(name + QStringLiteral(" 䶮"))) << name << 0x4DAEu;
        QTest::newRow(qPrintable(name + QStringLiteral(" 𠮷"))) << name << 0x20BB7u;
        QTest::newRow(qPrintable(name + QStringLiteral(" 赵"))) << name << 0x8D75u;
    }
}

void TestPrintFonts::rareCharactersHaveAFamilyInEveryFont() {
    QFETCH(QString, name);
    QFETCH(uint, character);
    QVERIFY2(!PrintFonts::familiesOf(name).isEmpty(), "the CJK fonts are not installed (scripts/install-deps.sh)");
    const QString family = PrintFonts::familyFor(name, character);
    QVERIFY(!family.isEmpty());
    QVERIFY(PrintFonts::draws(family, character));
    // The family has a real outline for it.
    const QRawFont raw = PrintFonts::rawFont(family, 40);
    const char32_t c = character;
    const QList<quint32> glyphs = raw.glyphIndexesForString(QString::fromUcs4(&c, 1));
    QCOMPARE(glyphs.size(), 1);
    QVERIFY(glyphs[0] != 0);
    QVERIFY(!raw.pathForGlyph(glyphs[0]).isEmpty());
}

void TestPrintFonts::runsKeepTheFontWhereItDraws() {
    const QString kai = QStringLiteral("AR PL UKai CN");
    if (!PrintFonts::familiesOf(PrintFonts::LiShu).contains(kai))
        QSKIP("AR PL UKai is not installed");
    // The 隶书 font maps 䶮 to an empty glyph: it is not taken for it.
    QVERIFY(!PrintFonts::draws(kai, 0x4DAE));
    const QVector<PrintFonts::Run> runs = PrintFonts::runs(QStringLiteral("赵䶮 小明"), PrintFonts::LiShu);
    QStringList got;
    for (const PrintFonts::Run& r : runs)
        got << r.text + QLatin1Char('@') + r.family;
    const QString fallback = PrintFonts::familyFor(PrintFonts::LiShu, 0x4DAE);
    QCOMPARE(got, (QStringList{QStringLiteral("赵@") + kai, QStringLiteral("䶮 @") + fallback,
                               QStringLiteral("小明@") + kai}));
}

void TestPrintFonts::radicalsAreNamedByTheirIdeographs() {
    const QHash<char32_t, char32_t>& corrections = PrintFonts::textMapCorrections();
    // ⾼ 高, ⻩ 黄, ⻢ 马, ⼦ 子, ⽚ 片, ⾝ 身: one glyph each in the Noto CJK fonts.
    const QList<QPair<char32_t, char32_t>> pairs{{0x2FBC, 0x9AD8}, {0x2EE9, 0x9EC4}, {0x2EE2, 0x9A6C},
                                                 {0x2F26, 0x5B50}, {0x2F5A, 0x7247}, {0x2F9D, 0x8EAB}};
    for (const auto& [radical, ideograph] : pairs)
        QCOMPARE(uint(corrections.value(radical)), uint(ideograph));
    // Ideographs themselves stay.
    QVERIFY(!corrections.contains(0x9AD8));
}

void TestPrintFonts::textMapsAreCorrected_data() {
    QTest::addColumn<QByteArray>("sections");
    QTest::addColumn<QByteArray>("expected"); // the mappings after correction; empty: unchanged
    // As Qt writes them: single mappings, arrays and counting ranges.
    QTest::newRow("array") << QByteArray("2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<8D75> <2FBC> <2EE9> ]\n"
                                         "endbfrange\n")
                           << QByteArray("<0000> <0000>\n<0001> <8D75>\n<0002> <9AD8>\n<0003> <9EC4>\n");
    // A counting range that starts on a radical counts on from it: only
    // the mapping that is a radical changes.
    QTest::newRow("range") << QByteArray("1 beginbfrange\n<0010> <0012> <2FBB>\nendbfrange\n")
                           << QByteArray("<0010> <2FBB>\n<0011> <9AD8>\n<0012> <2FBD>\n");
    QTest::newRow("bfchar") << QByteArray("1 beginbfchar\n<0005> <2EE2>\nendbfchar\n") << QByteArray("<0005> <9A6C>\n");
    QTest::newRow("nothing to correct") << QByteArray("1 beginbfrange\n<0001> <0002> [<9AD8> <9EC4> ]\nendbfrange\n")
                                        << QByteArray();
}

void TestPrintFonts::textMapsAreCorrected() {
    QFETCH(QByteArray, sections);
    QFETCH(QByteArray, expected);
    const QHash<char32_t, char32_t> corrections{{0x2FBC, 0x9AD8}, {0x2EE9, 0x9EC4}, {0x2EE2, 0x9A6C}};
    const QByteArray head = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n1 begincodespacerange\n"
                            "<0000> <FFFF>\nendcodespacerange\n";
    const QByteArray tail = "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    bool changed = false;
    const QByteArray cmap = PdfTextMap::correctedCMap(head + sections + tail, corrections, &changed);
    QCOMPARE(changed, !expected.isEmpty());
    if (expected.isEmpty()) {
        QCOMPARE(cmap, head + sections + tail);
        return;
    }
    QVERIFY(cmap.startsWith(head) && cmap.endsWith(tail));
    const QByteArray body = cmap.mid(head.size(), cmap.size() - head.size() - tail.size());
    const int count = int(expected.count('\n'));
    QCOMPARE(body, QByteArray::number(count) + " beginbfchar\n" + expected + "endbfchar\n");
}

QTEST_MAIN(TestPrintFonts)
#include "test_printfonts.moc"
