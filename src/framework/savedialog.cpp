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
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // A name typed without an extension takes the one of the type chosen in the dialog.
    QString name = dialog.selectedFiles().constFirst();
    const QString extension = SaveDialog::extensionOf(dialog.selectedNameFilter());
    if (!name.trimmed().isEmpty() && !extension.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + extension;
    return name;
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

QString extensionOf(const QString &nameFilter)
{
    const qsizetype star = nameFilter.indexOf(QStringLiteral("*."));
    if (star < 0)
        return {};
    qsizetype end = star + 2;
    while (end < nameFilter.size() && nameFilter.at(end).isLetterOrNumber())
        ++end;
    return nameFilter.mid(star + 2, end - star - 2);
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
