#include "backupwindow.h"

#include "admingate.h"
#include "guardedcommand.h"
#include "messageboxservice.h"
#include "saletable.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

BackupWindow::FolderChooser &folderChooser()
{
    static BackupWindow::FolderChooser chooser;
    return chooser;
}

QString chooseFolder(QWidget *parent)
{
    if (folderChooser())
        return folderChooser()(parent);
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("选择复制到的位置（例如U盘）"), QDir::homePath());
}

} // namespace

void BackupWindow::setFolderChooser(FolderChooser chooser)
{
    folderChooser() = std::move(chooser);
}

BackupWindow::BackupWindow(QWidget *parent, std::unique_ptr<LedgerBackup> backups, Connection &connection)
    : QWidget(parent, Qt::Window), m_backups(std::move(backups)), m_connection(connection)
{
    setObjectName(QStringLiteral("BackupWindow"));
    setWindowTitle(QStringLiteral("备份数据—(管理员专用)"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(520, 150);
    auto *layout = new QVBoxLayout(this);
    gate = new AdminGate(connection, this);
    layout->addWidget(gate);
    status = new QLabel(QStringLiteral("输入管理员密码后立即备份数据。"), this);
    status->setObjectName(QStringLiteral("status"));
    status->setWordWrap(true);
    layout->addWidget(status);
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
    connect(gate, &AdminGate::unlocked, this, guarded(this, [this] {
                backupNow();
                allBackups->setEnabled(true);
                copyButton->setEnabled(true);
            }));
    connect(copyButton, &QPushButton::clicked, this, guarded(this, [this] { copyElsewhere(); }));
    SaleTable::placeWindow(*this);
}

void BackupWindow::backupNow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString made;
    try {
        made = m_backups->backup(&m_connection);
    } catch (const std::exception &error) {
        QApplication::restoreOverrideCursor();
        MessageBoxes::reportError(this, QStringLiteral("备份数据失败，账本数据没有受到影响。\n\n") + QString::fromUtf8(error.what()));
        return;
    }
    QApplication::restoreOverrideCursor();
    status->setText(QStringLiteral("数据已备份到：") + made);
    MessageBoxes::information(this, QStringLiteral("数据已备份到：\n") + made);
}

void BackupWindow::copyElsewhere()
{
    const QString folder = chooseFolder(this);
    if (folder.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BackupCopyReport report;
    try {
        report = m_backups->copyTo(folder, allBackups->isChecked());
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
