#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

// The first-start window: the user's data folder holds no ledger yet, and the user
// creates a new one or copies in one kept elsewhere. Accepted once the folder has a
// ledger; rejected when the user quits.
class FirstStartWindow : public QDialog
{
    Q_OBJECT

public:
    explicit FirstStartWindow(const QString &folder, QWidget *parent = nullptr);

    void createLedger();
    void copyLedger();

    // The file dialog that picks the ledger to copy, behind a seam: tests script the
    // chosen file. An empty text is a cancelled dialog; nullptr restores the desktop's.
    using FileChooser = std::function<QString(QWidget *parent)>;
    static void setFileChooser(FileChooser chooser);

    QLabel *folderLabel = nullptr;
    QPushButton *createButton = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *quitButton = nullptr;

private:
    QString m_folder;
};
