#include "firststartwindow.h"

#include "guardedcommand.h"
#include "ledgersetup.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

FirstStartWindow::FileChooser &fileChooser()
{
    static FirstStartWindow::FileChooser chooser;
    return chooser;
}

QString chooseFile(QWidget *parent)
{
    if (fileChooser())
        return fileChooser()(parent);
    return QFileDialog::getOpenFileName(parent, QStringLiteral("选择已有的账本"), QDir::homePath(),
                                        QStringLiteral("账本 (*.mdb);;所有文件 (*)"));
}

QLabel *hint(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setIndent(24);
    return label;
}

} // namespace

FirstStartWindow::FirstStartWindow(const QString &folder, QWidget *parent) : QDialog(parent), m_folder(folder)
{
    setObjectName(QStringLiteral("FirstStartWindow"));
    setWindowTitle(QStringLiteral("Quillmora - 第一次使用"));

    auto *intro = new QLabel(QStringLiteral("还没有账本。账本保存在这个文件夹中："), this);
    folderLabel = new QLabel(QDir::toNativeSeparators(folder), this);
    folderLabel->setObjectName(QStringLiteral("folderLabel"));
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    createButton = new QPushButton(QStringLiteral("新建账本"), this);
    createButton->setObjectName(QStringLiteral("createButton"));
    createButton->setDefault(true);
    copyButton = new QPushButton(QStringLiteral("复制已有账本..."), this);
    copyButton->setObjectName(QStringLiteral("copyButton"));
    quitButton = new QPushButton(QStringLiteral("退出"), this);
    quitButton->setObjectName(QStringLiteral("quitButton"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(folderLabel);
    layout->addSpacing(12);
    layout->addWidget(createButton);
    layout->addWidget(hint(QStringLiteral("新账本只有用户“超级管理员”，初始密码 947。"), this));
    layout->addSpacing(8);
    layout->addWidget(copyButton);
    layout->addWidget(hint(QStringLiteral("选择以前使用的 data.mdb，复制一份到这个文件夹使用；原文件保持不变。"), this));
    layout->addSpacing(12);
    layout->addWidget(quitButton, 0, Qt::AlignRight);
    setMinimumWidth(420);

    connect(createButton, &QPushButton::clicked, this, guarded(this, [this] { createLedger(); }));
    connect(copyButton, &QPushButton::clicked, this, guarded(this, [this] { copyLedger(); }));
    connect(quitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void FirstStartWindow::createLedger()
{
    LedgerSetup::createLedger(m_folder);
    accept();
}

void FirstStartWindow::copyLedger()
{
    const QString source = chooseFile(this);
    if (source.isEmpty())
        return;
    LedgerSetup::copyLedger(source, m_folder, [this](bool again) {
        bool given = false;
        const QString key = QInputDialog::getText(
            this, QStringLiteral("Quillmora - 账本密钥"),
            again ? QStringLiteral("密钥不对，请再输入一次：")
                  : QStringLiteral("所选账本无法用这台电脑已知的密钥打开。\n如果本店设置过自己的账本密钥，请输入它："),
            QLineEdit::Password, QString(), &given);
        return given ? key.trimmed().toUtf8() : QByteArray();
    });
    accept();
}

void FirstStartWindow::setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}
