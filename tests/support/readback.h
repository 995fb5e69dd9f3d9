#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Output read back through the programs a person would use: a PDF through pdftotext,
// a worksheet through the spreadsheet program.
namespace ReadBack {

// The text of a PDF as pdftotext reads it, in compatibility form (CJK fonts give
// radical code points) and without any white space, so layouts compare by order.
QString pdfText(const QString &path);

// Fails the running test unless the pieces appear in this order in the text.
void verifyInOrder(const QString &text, const QStringList &pieces);

// The rows of a worksheet as LibreOffice Calc reads it (converted to CSV in a folder
// inside `folder`, with a private profile and the C locale; a .csv file is read as
// UTF-8). Empty, with `error` saying why, when the
// worksheet could not be read.
QList<QStringList> worksheetRows(const QString &sheet, const QString &folder, QString *error);

} // namespace ReadBack
