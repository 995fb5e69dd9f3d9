#include "clock.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgerfixture.h"
#include "mainform.h"
#include "reportpreviewdialog.h"
#include "savedialog.h"
#include "scriptedmessageboxes.h"
#include "testworkspace.h"
#include "urlopener.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

ReportPreviewDialog *openPreview()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<ReportPreviewDialog *>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

// The toolbar's print and export buttons act on the ledger grid as it stands.
class MainFormOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_boxes = &ScriptedMessageBoxes::install();
        m_workspace = std::make_unique<TestWorkspace>();
        m_data = std::make_unique<Tdmfm>();
        Clock::setFixedNow(QDateTime(QDate(2014, 3, 12), QTime(9, 0)));
    }
    void cleanup()
    {
        QVERIFY2(m_boxes->unexpected.isEmpty(), qPrintable(m_boxes->unexpected.value(0).text));
        SaveDialog::setChooser(nullptr);
        UrlOpener::setOpener(nullptr);
        Clock::setFixedNow(std::nullopt);
        m_data.reset();
        m_workspace.reset();
    }

    void printShowsPreviewOnlyForAnOpenLedger()
    {
        TMainForm form;
        form.showStep();
        form.ToolButton22->click();
        QVERIFY(!openPreview());
        QVERIFY(m_boxes->asked.isEmpty());

        addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果"), 1, 1, 1});
        form.showAllRecords();
        form.ToolButton22->click();
        QPointer<ReportPreviewDialog> dialog = openPreview();
        QVERIFY(dialog);
        QCOMPARE(dialog->settings().title, QStringLiteral("Quillmora ") + TMainForm::supportAddress());
        dialog->close();
        QTRY_VERIFY(!dialog);
    }

    void exportWritesTheGridsRecords()
    {
        TMainForm form;
        form.showStep();
        addSale(*m_data->ADOConnection1, {QStringLiteral("水果"), QStringLiteral("苹果"), 1, 1, 1});
        form.showAllRecords();
        form.CheckBox6->click();
        const QString path = m_workspace->filePath(QStringLiteral("out"));
        SaveDialog::setChooser([&path](QWidget *, const SaveDialogRequest &) { return std::optional<QString>(path); });
        QList<QUrl> opened;
        UrlOpener::setOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        form.ToolButton17->click();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(path + QStringLiteral(".xls"))});
        QFile file(path + QStringLiteral(".xls"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.contains(QByteArray::fromHex("cbaeb9fb"))); // 水果 in GBK
        QVERIFY(bytes.endsWith(QByteArray::fromHex("0a000000")));
    }

private:
    std::unique_ptr<TestWorkspace> m_workspace;
    std::unique_ptr<Tdmfm> m_data;
    ScriptedMessageBoxes *m_boxes = nullptr;
};

QTEST_MAIN(MainFormOutputTest)
#include "tst_mainformoutput.moc"
