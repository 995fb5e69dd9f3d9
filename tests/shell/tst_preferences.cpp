#include "apperror.h"
#include "gridlayoutfile.h"
#include "datagrid.h"
#include "datamodule.h"
#include "mainform.h"
#include "preferences.h"
#include "scriptedmessageboxes.h"
#include "skinengine.h"
#include "testworkspace.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>
#include <memory>

namespace {

QString settingsFile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("quillmora"))
        .fileName();
}

void writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void storedSkinValue_data();
    void storedSkinValue();
    void skinMenuRemembersAndStartRestores();
    void layoutSaveAndRestoreThroughTheMenu();
    void showStepRestoresLayoutFirst();
    void unwritableLayoutFileIsReported();

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

void PreferencesTest::init()
{
    m_boxes = &ScriptedMessageBoxes::install();
    m_workspace = std::make_unique<TestWorkspace>();
    m_data = std::make_unique<Tdmfm>();
    SkinEngine::applyDefault();
    // The settings folder is found once per process, so each test clears the file.
    QFile::remove(settingsFile());
}

void PreferencesTest::cleanup()
{
    QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
    SkinEngine::applyDefault();
    QFile::remove(settingsFile());
    m_data.reset();
    m_workspace.reset();
}

void PreferencesTest::storedSkinValue_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("skin");
    // What the settings file holds, and the skin in force after the restore (-1: default).
    QTest::newRow("0") << QByteArray("skin=0") << 0;
    QTest::newRow("1") << QByteArray("skin=1") << 1;
    QTest::newRow("4") << QByteArray("skin=4") << 4;
    QTest::newRow("5 names no skin") << QByteArray("skin=5") << -1;
    QTest::newRow("9") << QByteArray("skin=9") << -1;
    QTest::newRow("empty") << QByteArray("skin=") << -1;
    QTest::newRow("blank before") << QByteArray("skin=\" 1\"") << -1;
    QTest::newRow("blank after") << QByteArray("skin=\"1 \"") << -1;
    QTest::newRow("leading zero") << QByteArray("skin=01") << -1;
    QTest::newRow("word") << QByteArray("skin=blue") << -1;
    QTest::newRow("bytes, not text") << QByteArray("skin=@ByteArray(1)") << -1;
    QTest::newRow("list, not text") << QByteArray("skin=1, 2") << -1;
    QTest::newRow("number, not text") << QByteArray("skin=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)") << -1;
    QTest::newRow("no value") << QByteArray("other=1") << -1;
}

void PreferencesTest::storedSkinValue()
{
    QFETCH(QByteArray, line);
    QFETCH(int, skin);
    writeText(settingsFile(), "[General]\n" + line + "\n");
    SkinPreference::restore();
    QCOMPARE(SkinEngine::current(), skin);
}

void PreferencesTest::skinMenuRemembersAndStartRestores()
{
    QVERIFY(!QFile::exists(settingsFile()));
    {
        TMainForm form;
        form.showStep();
        QCOMPARE(SkinEngine::current(), -1); // a fresh user keeps the default look
        QAction *items[] = {form.N19, form.N26, form.N32, form.N42, form.N52};
        for (int index = 0; index < 5; ++index) {
            items[index]->trigger();
            QCOMPARE(SkinEngine::current(), index);
            QCOMPARE(qApp->styleSheet(), SkinEngine::styleSheet(index));
        }
        form.N26->trigger();
    }
    QVERIFY(readText(settingsFile()).contains("skin=1"));
    SkinEngine::applyDefault();
    TMainForm next;
    next.showStep();
    QCOMPARE(SkinEngine::current(), 1);
}

void PreferencesTest::layoutSaveAndRestoreThroughTheMenu()
{
    TMainForm form;
    form.resize(929, 640);
    form.showStep();
    DataGrid &grid = *form.DBGridEh1;
    grid.moveColumn(8, 0);             // profit first
    grid.setSortMarkerAt(0, SortMarker::Down);
    grid.setColumnWidthAt(1, 150);     // the category column twice as wide as the others
    form.CheckBox5->click();           // hides positions 4 and 8
    const GridLayoutState saved = GridLayoutFile::capture(grid);
    form.N2->trigger();

    const QByteArray file = readText(LayoutPreference::filePath());
    QVERIFY(file.startsWith("[test]\n"));
    QVERIFY(file.contains("\nDBGridEh1.4=0,"));
    QVERIFY(file.contains(",1,1,1,7,0\n")); // the marked profit column: marker, visible, rank
    QVERIFY(file.contains("\n(Default)=0,0\n"));

    // Showing the columns again and moving one; the restore puts the saved layout back.
    form.CheckBox5->click();
    grid.moveColumn(0, 13);
    grid.setSortMarkerAt(2, SortMarker::Up);
    grid.setColumnWidthAt(0, 30);
    form.N3->trigger();
    const GridLayoutState restored = GridLayoutFile::capture(grid);
    QCOMPARE(restored.columns.size(), saved.columns.size());
    for (qsizetype i = 0; i < saved.columns.size(); ++i) {
        QCOMPARE(restored.columns.at(i).field, saved.columns.at(i).field);
        QCOMPARE(restored.columns.at(i).visible, saved.columns.at(i).visible);
        QCOMPARE(restored.columns.at(i).sortMarker, saved.columns.at(i).sortMarker);
        QCOMPARE(restored.columns.at(i).sortRank, saved.columns.at(i).sortRank);
        // Saved widths come back as base widths and are fitted to the same grid again.
        if (saved.columns.at(i).visible)
            QVERIFY2(qAbs(restored.columns.at(i).width - saved.columns.at(i).width) <= 1,
                     qPrintable(saved.columns.at(i).field));
    }
    QVERIFY(!form.CheckBox5->isChecked());

    // Saving twice keeps one line per column.
    form.N2->trigger();
    QCOMPARE(readText(LayoutPreference::filePath()).count("DBGridEh1.4="), 1);
}

void PreferencesTest::showStepRestoresLayoutFirst()
{
    writeText(LayoutPreference::filePath(),
              "[test]\r\nDBGridEh1.4=0,90,1,1,1,7,0\r\nDBGridEh1.a=1,64,0,1,0,7,0\r\nDBGridEh1.e=11,64,0,0,0,7,0\r\n"
              "DBGridEh1.nosuch=3,1,0,0,0,7,0\r\n(Default)=0,0\r\n");
    writeText(settingsFile(), "[General]\nskin=3\n");
    TMainForm form;
    form.showStep();
    DataGrid &grid = *form.DBGridEh1;
    QCOMPARE(grid.fieldAt(0), QStringLiteral("4"));
    QCOMPARE(grid.sortMarkerAt(0), SortMarker::Down);
    QCOMPARE(grid.fieldAt(1), QStringLiteral("a"));
    QVERIFY(!grid.isColumnVisibleAt(grid.positionOfField(QStringLiteral("e"))));
    QVERIFY(grid.isColumnVisibleAt(grid.positionOfField(QStringLiteral("b"))));
    QCOMPARE(SkinEngine::current(), 3);
}

void PreferencesTest::unwritableLayoutFileIsReported()
{
    // A folder where the file should be: nothing can be written there.
    QDir().mkpath(LayoutPreference::filePath());
    TMainForm form;
    form.showStep();
    m_boxes->expect(QMessageBox::Ok);
    form.N2->trigger();
    QCOMPARE(m_boxes->asked.size(), 1);
    QCOMPARE(m_boxes->asked.first().request.text,
             QStringLiteral("Unable to write to %1").arg(LayoutPreference::filePath()));
    QCOMPARE(m_boxes->asked.first().request.icon, QMessageBox::Critical);
    QCOMPARE(m_boxes->asked.first().request.caption, QStringLiteral("Quillmora"));
}

QTEST_MAIN(PreferencesTest)
#include "tst_preferences.moc"
