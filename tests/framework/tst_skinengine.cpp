#include "skinengine.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest>

class SkinEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void everySkinHasItsOwnSheet();
    void applyingSkinsTheWholeApplication();
};

void SkinEngineTest::everySkinHasItsOwnSheet()
{
    QSet<QString> sheets;
    for (int index = -1; index < SkinEngine::kStoredSkins; ++index) {
        const QString sheet = SkinEngine::styleSheet(index);
        QVERIFY2(sheet.contains(QStringLiteral("QPushButton")), qPrintable(QString::number(index)));
        sheets.insert(sheet);
    }
    QCOMPARE(sheets.size(), SkinEngine::kStoredSkins + 1);
}

void SkinEngineTest::applyingSkinsTheWholeApplication()
{
    QLineEdit edit;
    edit.show();
    SkinEngine::applyDefault();
    QCOMPARE(SkinEngine::current(), -1);
    const QColor defaultBase = edit.palette().color(QPalette::Base);

    SkinEngine::apply(1);
    QCOMPARE(SkinEngine::current(), 1);
    QCOMPARE(qApp->styleSheet(), SkinEngine::styleSheet(1));
    // A window that already exists takes the skin.
    QVERIFY(edit.palette().color(QPalette::Base) != defaultBase);

    for (const int ignored : {5, 9, -1}) {
        SkinEngine::apply(ignored);
        QCOMPARE(SkinEngine::current(), 1);
        QCOMPARE(qApp->styleSheet(), SkinEngine::styleSheet(1));
    }
}

QTEST_MAIN(SkinEngineTest)
#include "tst_skinengine.moc"
