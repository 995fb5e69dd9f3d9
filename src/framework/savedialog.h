#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// What a save dialog asks: the file filter in the "description|pattern" form (several
// types one after the other: "a|*.a|b|*.b") and the extension added to a name typed
// without one when the dialog does not say which type was chosen.
struct SaveDialogRequest
{
    QString filter;
    QString defaultExtension;
};

// The save dialog, behind a seam: tests script the chosen name.
namespace SaveDialog {

// The chosen name, or nothing when the operator cancels. A name without an extension
// gets the one of the type chosen in the dialog, else the default one. The dialog asks nothing about overwriting: the caller does.
using Chooser = std::function<std::optional<QString>(QWidget *parent, const SaveDialogRequest &request)>;

std::optional<QString> choose(QWidget *parent, const SaveDialogRequest &request);
// nullptr restores the desktop's file dialog.
void setChooser(Chooser chooser);

// "Microsoft Excel xls文件|*.xls" → "Microsoft Excel xls文件 (*.xls)".
QString qtFilter(const QString &filter);
// The extension a Qt name filter names: "CSV (*.csv)" → "csv"; empty when none.
QString extensionOf(const QString &nameFilter);

} // namespace SaveDialog
