#include "apperror.h"
#include "columnlayout.h"
#include "inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Numbers = QList<std::optional<int>>;

namespace {

const QString kGrid = QStringLiteral("DBGridEh1");

ColumnLayoutState column(const QString &field, int width = 64, int marker = 0, bool visible = true, int rank = 0)
{
    ColumnLayoutState state;
    state.field = field;
    state.width = width;
    state.sortMarker = marker;
    state.visible = visible;
    state.sortRank = rank;
    return state;
}

// Columns a, b, c, d in that order, all at 64 and visible; c carries the marker.
GridLayoutState fourColumns()
{
    return {{column("a"), column("b"), column("c", 64, 1, true, 1), column("d")}, 0, 0};
}

QStringList fields(const GridLayoutState &state)
{
    QStringList names;
    for (const ColumnLayoutState &c : state.columns)
        names << c.field;
    return names;
}

IniFile::Entries section(const QString &text)
{
    IniFile::Entries entries;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        entries.append({line.left(equals), line.mid(equals + 1)});
    }
    return entries;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(GridLayoutState)

class LayoutFileTest : public QObject
{
    Q_OBJECT

private slots:
    void numberList_data();
    void numberList();
    void savedLines();
    void restore_data();
    void restore();
    void writeKeepsOtherLinesAndReplacesKeys();
    void writeKeepsOtherLinesByteForByte();
    void readsWindowsFile();
    void missingFileReadsEmpty();
    void unwritableFileRaises();
};

void LayoutFileTest::numberList_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<Numbers>("numbers");
    QTest::newRow("commas") << "0,64,0,1,0,7,0" << Numbers{0, 64, 0, 1, 0, 7, 0};
    QTest::newRow("blanks and commas") << " 3 64, 1 ,,1" << Numbers{3, 64, 1, 1};
    QTest::newRow("not a number") << "2,wide,-1" << Numbers{2, std::nullopt, -1};
    QTest::newRow("empty") << "" << Numbers{};
}

void LayoutFileTest::numberList()
{
    QFETCH(QString, value);
    QFETCH(Numbers, numbers);
    QCOMPARE(IniFile::numberList(value), numbers);
}

void LayoutFileTest::savedLines()
{
    GridLayoutState state{{column("a", 70), column("1", 55, 0, false), column("4", 81, 1, true, 1)}, 0, 0};
    state.columns[0].dropDownRows = 9;
    state.columns[0].dropDownWidth = 120;
    const IniFile::Entries expected{{"DBGridEh1.a", "0,70,0,1,0,9,120"},
                                    {"DBGridEh1.1", "1,55,0,0,0,7,0"},
                                    {"DBGridEh1.4", "2,81,1,1,1,7,0"},
                                    {"(Default)", "0,0"}};
    QCOMPARE(ColumnLayout::lines(kGrid, state), expected);
}

void LayoutFileTest::restore_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<GridLayoutState>("expected");

    GridLayoutState roundTrip{{column("d", 90), column("a", 40, 2, true, 1), column("b", 64, 0, false),
                               column("c", 70)},
                              22, 2};
    QTest::newRow("a saved layout comes back whole")
        << "DBGridEh1.a=1,40,2,1,1,7,0\nDBGridEh1.b=2,64,0,0,0,7,0\nDBGridEh1.c=3,70,0,1,0,7,0\n"
           "DBGridEh1.d=0,90,0,1,0,7,0\n(Default)=22,2"
        << roundTrip;

    // Without lines nothing moves; only the ranks are set afresh (0 without a line).
    GridLayoutState untouched = fourColumns();
    untouched.columns[2].sortRank = 0;
    QTest::newRow("no lines") << "" << untouched;

    // Two lines name position 0: the first column in the current order (b) gets it.
    GridLayoutState duplicate = fourColumns();
    duplicate.columns = {column("b"), column("a"), column("c", 64, 1, true, 0), column("d")};
    QTest::newRow("duplicate positions")
        << "DBGridEh1.b=0,64,0,1,0,7,0\nDBGridEh1.d=0,64,0,1,0,7,0\nDBGridEh1.a=1,64,0,1,0,7,0" << duplicate;

    // Unknown fields are ignored; a column without a line keeps place, width, visibility.
    GridLayoutState unknown = fourColumns();
    unknown.columns[1].width = 100;
    unknown.columns[2].sortRank = 0;
    QTest::newRow("unknown field, column without line")
        << "DBGridEh1.zz=0,10,0,0,0,7,0\nDBGridEh1.b=1,100,0,1,0,7,0\nOther.a=3,1,0,0,0,7,0" << unknown;

    // Missing and unreadable numbers keep the current values; the rank falls to 0.
    GridLayoutState missing = fourColumns();
    missing.columns[0].width = 30;
    missing.columns[2].sortRank = 0;
    missing.columns[3].visible = false;
    missing.rowHeight = 18;
    QTest::newRow("missing numbers")
        << "DBGridEh1.a=0,30\nDBGridEh1.c=2 x 1\nDBGridEh1.d=,,3,,64,,0,0\n(Default)=18" << missing;

    // Setting a marker takes the others away; the stored rank stays as written.
    GridLayoutState marker = fourColumns();
    marker.columns[2].sortMarker = 0;
    marker.columns[2].sortRank = 0;
    marker.columns[3].sortMarker = 1;
    marker.columns[3].sortRank = 1;
    QTest::newRow("marker moves") << "DBGridEh1.d=3,64,1,1,1,7,0" << marker;

    // A target that no position matches leaves the column where the moves put it.
    GridLayoutState outOfRange = fourColumns();
    outOfRange.columns = {column("b"), column("a"), column("c", 64, 1, true, 0), column("d")};
    QTest::newRow("position past the end") << "DBGridEh1.a=9,64,0,1,0,7,0\nDBGridEh1.b=0,64,0,1,0,7,0"
                                           << outOfRange;
}

void LayoutFileTest::restore()
{
    QFETCH(QString, lines);
    QFETCH(GridLayoutState, expected);
    const GridLayoutState restored = ColumnLayout::restore(kGrid, fourColumns(), section(lines));
    QCOMPARE(fields(restored), fields(expected));
    QCOMPARE(restored.columns, expected.columns);
    QCOMPARE(restored.rowHeight, expected.rowHeight);
    QCOMPARE(restored.rowLines, expected.rowLines);
}

void LayoutFileTest::writeKeepsOtherLinesAndReplacesKeys()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmora.ini"));
    writeAll(path, "; kept\r\n[other]\r\nDBGridEh1.a=keep\r\n\r\n[TEST]\r\ndbgrideh1.a=old\r\nDBGridEh1.zz=9,9\r\n\r\n[last]\r\nx=1\r\n");
    IniFile::writeValues(path, QStringLiteral("test"),
                         {{"DBGridEh1.a", "0,64,0,1,0,7,0"}, {"DBGridEh1.b", "1,64,0,1,0,7,0"}, {"(Default)", "0,0"}});
    // Saving twice keeps one line per key.
    IniFile::writeValues(path, QStringLiteral("test"), {{"DBGridEh1.b", "1,80,0,1,0,7,0"}});
    QCOMPARE(readAll(path), QByteArray("; kept\r\n[other]\r\nDBGridEh1.a=keep\r\n\r\n[TEST]\r\n"
                                       "DBGridEh1.a=0,64,0,1,0,7,0\r\nDBGridEh1.zz=9,9\r\n"
                                       "DBGridEh1.b=1,80,0,1,0,7,0\r\n(Default)=0,0\r\n\r\n[last]\r\nx=1\r\n"));

    const QString fresh = dir.filePath(QStringLiteral("fresh.ini"));
    IniFile::writeValues(fresh, QStringLiteral("test"), ColumnLayout::lines(kGrid, fourColumns()));
    QCOMPARE(readAll(fresh), QByteArray("[test]\nDBGridEh1.a=0,64,0,1,0,7,0\nDBGridEh1.b=1,64,0,1,0,7,0\n"
                                        "DBGridEh1.c=2,64,1,1,1,7,0\nDBGridEh1.d=3,64,0,1,0,7,0\n(Default)=0,0\n"));
    QCOMPARE(ColumnLayout::restore(kGrid, fourColumns(), IniFile::readSection(fresh, QStringLiteral("test"))),
             fourColumns());
}

void LayoutFileTest::writeKeepsOtherLinesByteForByte()
{
    // A file from a Chinese Windows holds GBK text ("\xc9\xcc\xc6\xb7" is 商品), other
    // programs' lines end as they like, a byte order mark leads, and the last line may
    // have no line end. Only the replaced and the added lines are ours to write.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmora.ini"));
    const QByteArray before = "\xef\xbb\xbf[\xc9\xcc\xc6\xb7]\r\nname=\xc9\xcc\xc6\xb7\n; caf\xe9\r\n[test]\r\n"
                              "DBGridEh1.a=old\r\nnote=\xc9\xcc\r\n[last]\nx=\xff\xfe";
    writeAll(path, before);
    IniFile::writeValues(path, QStringLiteral("test"), {{"DBGridEh1.a", "0,64,0,1,0,7,0"}, {"(Default)", "0,0"}});
    QCOMPARE(readAll(path), QByteArray("\xef\xbb\xbf[\xc9\xcc\xc6\xb7]\r\nname=\xc9\xcc\xc6\xb7\n; caf\xe9\r\n[test]\r\n"
                                       "DBGridEh1.a=0,64,0,1,0,7,0\r\nnote=\xc9\xcc\r\n(Default)=0,0\r\n[last]\nx=\xff\xfe"));

    // A section that starts the file behind a byte order mark is found; a new section
    // after an unterminated last line starts on a line of its own.
    const QString marked = dir.filePath(QStringLiteral("marked.ini"));
    writeAll(marked, "\xef\xbb\xbf[test]\nDBGridEh1.a=1\n[gbk]\nk=\xb1\xb8\xd7\xa2");
    QCOMPARE(IniFile::readSection(marked, QStringLiteral("test")), (IniFile::Entries{{"DBGridEh1.a", "1"}}));
    IniFile::writeValues(marked, QStringLiteral("other"), {{"k", "v"}});
    QCOMPARE(readAll(marked), QByteArray("\xef\xbb\xbf[test]\nDBGridEh1.a=1\n[gbk]\nk=\xb1\xb8\xd7\xa2\n\n[other]\nk=v\n"));
}

void LayoutFileTest::readsWindowsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillmora.ini"));
    writeAll(path, "[test]\r\n  DBGridEh1.a = 0,64,0,1,0,7,0  \r\nDBGridEh1.b=\"1,64\"\r\n;DBGridEh1.c=x\r\n"
                   "DBGridEh1.a=dup\r\n(Default)=0,0\r\n[next]\r\nDBGridEh1.d=1\r\n");
    const IniFile::Entries expected{{"DBGridEh1.a", "0,64,0,1,0,7,0"}, {"DBGridEh1.b", "1,64"}, {"(Default)", "0,0"}};
    QCOMPARE(IniFile::readSection(path, QStringLiteral("Test")), expected);
}

void LayoutFileTest::missingFileReadsEmpty()
{
    QTemporaryDir dir;
    QVERIFY(IniFile::readSection(dir.filePath(QStringLiteral("none.ini")), QStringLiteral("test")).isEmpty());
    GridLayoutState rows = fourColumns();
    rows.rowHeight = 20;
    rows.rowLines = 3;
    // Every key reads as absent: columns stay, ranks and row height and lines go to 0.
    GridLayoutState expected = fourColumns();
    expected.columns[2].sortRank = 0;
    QCOMPARE(ColumnLayout::restore(kGrid, rows, {}), expected);
}

void LayoutFileTest::unwritableFileRaises()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing-folder/quillmora.ini"));
    try {
        IniFile::writeValues(path, QStringLiteral("test"), {{"k", "v"}});
        QFAIL("no error");
    } catch (const AppError &error) {
        QCOMPARE(error.message(), QStringLiteral("Unable to write to %1").arg(path));
    }
}

QTEST_MAIN(LayoutFileTest)
#include "tst_layoutfile.moc"
