#include "savedialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

SaveDialog::Chooser installedChooser;

std::optional<QString> desktopDialog(QWidget *parent, const SaveDialogRequest &request)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(SaveDialog::qtFilter(request.filter));
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

namespace SaveDialog {

std::optional<QString> choose(QWidget *parent, const SaveDialogRequest &request)
{
    std::optional<QString> name = installedChooser ? installedChooser(parent, request) : desktopDialog(parent, request);
    if (name && !name->trimmed().isEmpty() && !request.defaultExtension.isEmpty()
        && QFileInfo(*name).suffix().isEmpty())
        *name += QLatin1Char('.') + request.defaultExtension;
    return name;
}

void setChooser(Chooser chooser)
{
    installedChooser = std::move(chooser);
}

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts.at(i) + QStringLiteral(" (") + QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' '))
                       + QLatin1Char(')');
    return filters.join(QStringLiteral(";;"));
}

} // namespace SaveDialog
