#include "backupwindow.h"

#include "admingate.h"
#include "datamodule.h"
#include "guardedcommand.h"
#include "ledgerbackup.h"
#include "messageboxservice.h"
#include "saletable.h"
#include "usermessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

LedgerBackup backupsOfTheLedger()
{
    return LedgerBackup(dmfm->dataSource(), dmfm->dataFolder());
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
}

Tbackupfm::FolderChooser &folderChooser()
{
    static Tbackupfm::FolderChooser chooser;
    return chooser;
}

QString chooseFolder(QWidget *parent)
{
    if (folderChooser())
        return folderChooser()(parent);
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("选择复制到的位置（例如U盘）"), QDir::homePath());
}

} // namespace

void Tbackupfm::setFolderChooser(FolderChooser chooser)
{
    folderChooser() = std::move(chooser);
}

Tbackupfm::Tbackupfm(QWidget *parent, Mode mode, Restarter restarter)
    : QWidget(parent, Qt::Window), m_mode(mode), m_restarter(std::move(restarter))
{
    setObjectName(QStringLiteral("backupfm"));
    setWindowTitle(mode == Mode::Backup ? QStringLiteral("备份数据—(管理员专用)") : QStringLiteral("恢复数据—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    Gate = new AdminGate(this);
    layout->addWidget(Gate);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    layout->addWidget(Label1);
    if (mode == Mode::Backup) {
        resize(520, 150);
        Label1->setText(QStringLiteral("输入管理员密码后立即备份数据。"));
        // A copy on another disk survives what takes this one.
        auto *copyRow = new QHBoxLayout;
        allBackups = new QCheckBox(QStringLiteral("复制全部备份"), this);
        allBackups->setObjectName(QStringLiteral("allBackups"));
        copyButton = new QPushButton(QStringLiteral("复制到其他位置…"), this);
        copyButton->setObjectName(QStringLiteral("copyButton"));
        allBackups->setEnabled(false);
        copyButton->setEnabled(false);
        copyRow->addStretch(1);
        copyRow->addWidget(allBackups);
        copyRow->addWidget(copyButton);
        layout->addLayout(copyRow);
        connect(Gate, &AdminGate::unlocked, this, guarded(this, [this] {
                    backupNow();
                    allBackups->setEnabled(true);
                    copyButton->setEnabled(true);
                }));
        connect(copyButton, &QPushButton::clicked, this, guarded(this, [this] { copyElsewhere(); }));
    } else {
        resize(640, 400);
        Label1->setText(QStringLiteral("选择一个备份，恢复后程序将重新启动。当前的数据会先另存为一个备份。"));
        ListView1 = new QTableWidget(this);
        ListView1->setObjectName(QStringLiteral("ListView1"));
        SaleTable::prepare(*ListView1);
        BitBtn2 = new QPushButton(QStringLiteral("恢复"), this);
        BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
        BitBtn2->setEnabled(false);
        layout->addWidget(ListView1, 1);
        layout->addWidget(BitBtn2, 0, Qt::AlignRight);
        connect(Gate, &AdminGate::unlocked, this, guarded(this, [this] {
                    ListView1->setEnabled(true);
                    BitBtn2->setEnabled(true);
                    refresh();
                    // Ready for the keyboard: the newest backup is chosen, the arrows
                    // choose another, Tab moves on to "恢复".
                    if (ListView1->rowCount() > 0)
                        ListView1->selectRow(0);
                    ListView1->setFocus();
                }));
        connect(BitBtn2, &QPushButton::clicked, this, guarded(this, [this] { restoreChosen(); }));
    }
    SaleTable::placeWindow(*this);
    show();
}

void Tbackupfm::backupNow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString made;
    try {
        made = backupsOfTheLedger().backup(dmfm->ADOConnection1.get());
    } catch (const std::exception &error) {
        QApplication::restoreOverrideCursor();
        MessageBoxes::reportError(this, QStringLiteral("备份数据失败，账本数据没有受到影响。\n\n") + QString::fromUtf8(error.what()));
        return;
    }
    QApplication::restoreOverrideCursor();
    Label1->setText(QStringLiteral("数据已备份到：") + made);
    MessageBoxes::information(this, QStringLiteral("数据已备份到：\n") + made);
}

void Tbackupfm::refresh()
{
    const std::vector<BackupInfo> backups = backupsOfTheLedger().list();
    ListView1->setRowCount(0);
    ListView1->setColumnCount(4);
    ListView1->setHorizontalHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("大小"), QStringLiteral("销售记录"), QStringLiteral("文件")});
    m_paths.clear();
    for (const BackupInfo &info : backups) {
        QString time = SaleTable::text(info.time);
        if (info.beforeRestore)
            time += QStringLiteral("（恢复前的数据）");
        SaleTable::addRow(*ListView1,
                          {time, sizeText(info.size),
                           info.sales >= 0 ? QString::number(info.sales)
                           : info.keyUnknown ? QStringLiteral("无法打开（已损坏或密钥不同）")
                                             : QStringLiteral("已损坏"), info.fileName},
                          {});
        m_paths.push_back(info.path);
    }
    SaleTable::placeWindow(*this, {ListView1});
}

void Tbackupfm::restoreChosen()
{
    const int row = SaleTable::chosenRow(*ListView1, int(m_paths.size()));
    if (row < 0) {
        showMessage(this, QStringLiteral("请先在列表中选择一个备份！"));
        return;
    }
    const QString path = m_paths[size_t(row)];
    try {
        backupsOfTheLedger().check(path);
    } catch (const BackupError &error) {
        MessageBoxes::reportError(this, QStringLiteral("这个备份不能使用，数据没有改变。\n\n") + error.message());
        return;
    }
    const QString when = ListView1->item(row, 0)->text();
    if (!MessageBoxes::confirm(this, QStringLiteral("确定要用 %1 的备份恢复数据吗？\n当前的数据将先另存为一个备份，然后程序重新启动。")
                                         .arg(when)))
        return;
    m_restarter(path);
}

void Tbackupfm::copyElsewhere()
{
    const QString folder = chooseFolder(this);
    if (folder.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BackupCopyReport report;
    try {
        report = backupsOfTheLedger().copyTo(folder, allBackups->isChecked());
    } catch (const BackupError &error) {
        QApplication::restoreOverrideCursor();
        const QString why = error.kind() == BackupError::Kind::NoRoom
                                ? QStringLiteral("目标位置空间不足，请换一个有足够空间的U盘或文件夹。")
                                : QStringLiteral("无法写入目标位置（U盘是否已拔出？）。");
        MessageBoxes::reportError(this, QStringLiteral("复制备份失败：%1\n没有复制完的文件已删除，账本和原有备份没有受到影响。\n\n%2")
                                            .arg(why, error.message()));
        return;
    }
    QApplication::restoreOverrideCursor();
    QString text = report.copied.isEmpty() && report.alreadyThere.isEmpty()
                       ? QStringLiteral("没有可以复制的备份。")
                       : QStringLiteral("备份已复制到 %1 并检查无误：").arg(QDir::toNativeSeparators(folder));
    for (const QString &file : report.copied)
        text += QStringLiteral("\n  ") + file;
    for (const QString &file : report.alreadyThere)
        text += QStringLiteral("\n  %1（已有，未重复复制）").arg(file);
    if (!report.unusable.isEmpty())
        text += QStringLiteral("\n\n已损坏、没有复制的备份：\n  ") + report.unusable.join(QStringLiteral("\n  "));
    MessageBoxes::information(this, text);
}
