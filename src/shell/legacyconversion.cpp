#include "legacyconversion.h"

#include "apperror.h"
#include "appinfo.h"
#include "exportprogresswindow.h"
#include "legacydatabase.h"
#include "legacyimport.h"
#include "messageboxservice.h"
#include "passwordhash.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTextStream>

namespace LegacyConversion {

Outcome offer(const QString &path)
{
    if (!LegacyDatabase::isAccessFile(path))
        return Outcome::NotNeeded;

    MessageBoxRequest question;
    question.caption = applicationTitle();
    question.text = QStringLiteral("发现旧版本的数据文件 data.mdb，是否转换为新格式？原文件将保留为 data.mdb.old。");
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::Yes;
    if (MessageBoxes::ask(nullptr, question) != QMessageBox::Yes)
        return Outcome::Declined;

    ExportProgressWindow window(1);
    window.setObjectName(QStringLiteral("LegacyConversionWindow"));
    auto show = [&window](const QString &text) {
        window.label()->setText(text);
        window.label()->adjustSize();
        window.label()->repaint();
    };
    show(QStringLiteral("正在转换旧数据，请稍候......"));
    window.showNow();

    LegacyImport::Options options;
    options.hashPassword = PasswordHash::hash;
    options.progress = [&](qint64 done, qint64 total) {
        window.bar()->setMaximum(int(std::max<qint64>(total, 1)));
        window.setProgress(int(std::min(done, total)));
        show(QStringLiteral("正在转换销售记录：%1 / %2").arg(done).arg(total));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    options.stage = [&](LegacyImport::Stage stage) {
        if (stage == LegacyImport::Stage::Checking)
            show(QStringLiteral("正在核对转换结果......"));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
        LegacyImport::convertInPlace(path, options);
    } catch (const std::exception &error) {
        window.hide();
        QTextStream(stderr) << "quillmora: " << errorText(error) << Qt::endl;
        MessageBoxes::reportError(nullptr, QStringLiteral("旧数据文件没有转换，原文件未作改动。\n%1").arg(errorText(error)));
        return Outcome::Failed;
    }
    return Outcome::Converted;
}

} // namespace LegacyConversion
