#pragma once

#include "worksheet.h"

#include <functional>

// Writes an exported sheet to its file in one of the export's types.
namespace WorksheetFile {

// Writes the sheet to `fileName` in `format`: under a temporary name beside it, put in
// place only once complete, so the name never holds a part-written file and a file
// it replaces stays as it was when the write fails. The .xlsx and .csv files carry
// the footer the list shows; the .xls file its fixed texts.
//
// Raises AppError, with the reason in the operator's words, when the sheet does not
// fit the type or the file cannot be written; nothing is left behind then.
void write(const WorksheetContent &content, const QString &fileName, WorksheetFormat format,
           const std::function<void(int written)> &progress = {});

} // namespace WorksheetFile
