#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class AdminGate;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

// "备份数据" and "恢复数据" of the "设置" menu, for the super administrator: locked
// until the password is entered. Backing up makes a backup at once and names its file.
// Restoring lists the backups; the chosen one, checked and confirmed, is handed to the
// restarter, which ends the program and starts it again on the restored ledger (a
// ledger cannot be replaced under the program that has it open).
class Tbackupfm : public QWidget
{
    Q_OBJECT

public:
    enum class Mode { Backup, Restore };
    using Restarter = std::function<void(const QString &backupPath)>;

    Tbackupfm(QWidget *parent, Mode mode, Restarter restarter);

    // Where "复制到其他位置…" copies to: a folder dialog by default; tests answer it.
    using FolderChooser = std::function<QString(QWidget *parent)>;
    static void setFolderChooser(FolderChooser chooser);

    Mode mode() const { return m_mode; }
    void backupNow();
    void refresh();
    void restoreChosen();
    // "复制到其他位置…": the newest backup, or every one when allBackups is ticked.
    void copyElsewhere();

    AdminGate *Gate = nullptr;
    QLabel *Label1 = nullptr;
    QTableWidget *ListView1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *copyButton = nullptr;
    QCheckBox *allBackups = nullptr;

private:
    Mode m_mode;
    Restarter m_restarter;
    std::vector<QString> m_paths;
};
